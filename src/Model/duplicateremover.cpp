#include "duplicateremover.h"

#include <algorithm>

#include <QCoreApplication>

#include "catmodel.h"
#include "csvmanipulator.h"
#include "csvrowscanner.h"
#include "defaultgoodqueryobject.h"
#include "good.h"
#include "helperthread.h"
#include "goodidentity.h"
#include "identitykey.h"
#include "iprogress.h"
#include "offer.h"
#include "source.h"

bool DuplicateRemover::Run(CatModel *root, IProgress *reportTo)
{
    processedCount = 0;
    cancelled = false;
    progress = reportTo;
    DigestAhead(root);
    seenKeys.Reserve(int(m_ahead.size()));
    m_next = 0;
    root->QueryGoods(this, nullptr, true);
    m_ahead.clear();
    m_ahead.shrink_to_fit();
    return !cancelled;
}

void DuplicateRemover::DigestAhead(CatModel *root)
{
    QList<Good *> walk;
    DefaultGoodQueryObject collect(&walk);
    root->QueryGoods(&collect, nullptr, true);
    m_ahead.assign(size_t(walk.size()), Digests());

    struct Item
    {
        const Source *source;
        qint64 offset;
        int index;
    };
    std::vector<Item> items;
    items.reserve(size_t(walk.size()));
    for (int i = 0; i < walk.size(); ++i) {
        const Good *good = walk.at(i);
        items.push_back(Item{good->source, good->rowOffset, i});
    }
    std::sort(items.begin(), items.end(), [](const Item &a, const Item &b) {
        return a.source != b.source ? a.source < b.source : a.offset < b.offset;
    });

    // Each source's goods are read in file order; a large source is split
    // in two stretches read at once on the two processors. A stretch begins
    // at a good's row, so it always begins at the start of a row.
    struct Stretch
    {
        size_t first;
        size_t last; // one past
        qint64 stop; // the offset at which the next stretch begins, or -1
    };
    std::vector<Stretch> stretches;
    for (size_t begin = 0; begin < items.size();) {
        size_t end = begin;
        while (end < items.size() && items[end].source == items[begin].source)
            ++end;
        if (comparedCells)
            comparedCells(items[begin].source); // prepared here: the stretches only read it
        const size_t middle = begin + (end - begin) / 2;
        if (end - begin >= 20000 && items[middle].offset > items[begin].offset) {
            stretches.push_back(Stretch{begin, middle, items[middle].offset});
            stretches.push_back(Stretch{middle, end, -1});
        } else {
            stretches.push_back(Stretch{begin, end, -1});
        }
        begin = end;
    }

    const auto digestStretch = [&](const Stretch &stretch, Context &context) {
        const Source *source = items[stretch.first].source;
        CsvRowScanner scanner(source->reader->FilePath(), items[stretch.first].offset, source->header.size(),
                              source->reader->CrLineEnds(), stretch.stop);
        const ComparedCells *compared = comparedCells ? &comparedCells(source) : nullptr;
        CsvRowBatch batch;
        CsvRawRow row;
        bool filled = scanner.Fill(batch);
        int at = 0;
        for (size_t i = stretch.first; i < stretch.last && filled; ++i) {
            // Rows not in the tree are passed over; a good whose row is not
            // reached here is read on its own during the walk.
            while (filled && (at >= batch.Rows() || batch.offsets[size_t(at)] < items[i].offset)) {
                if (at >= batch.Rows()) {
                    filled = scanner.Fill(batch);
                    at = 0;
                } else {
                    ++at;
                }
            }
            if (!filled || batch.offsets[size_t(at)] != items[i].offset)
                continue;
            batch.RowAt(at, row);
            m_ahead[size_t(items[i].index)] = DigestRow(context, walk.at(items[i].index), &row, nullptr, compared);
        }
    };

    HelperThread helper;
    Context helperContext;
    if (stretches.size() > 1) {
        helper.Start([&]() {
            for (size_t i = 1; i < stretches.size(); i += 2)
                digestStretch(stretches[i], helperContext);
        });
    }
    for (size_t i = 0; i < stretches.size(); i += 2)
        digestStretch(stretches[i], m_context);
    helper.Join();
}

DuplicateRemover::Digests DuplicateRemover::DigestRow(Context &context, const Good *good, const CsvRawRow *raw,
                                                      const QStringList *row, const ComparedCells *compared) const
{
    const Source &source = *good->source;
    Digests digests;
    digests.ready = true;
    IdTemplate storage;
    const IdTemplate *tpl = GoodIdentity::TemplateOf(
            *good,
            [&]() {
                return row ? Good::Cell(*row, source.idTplColumn) : (raw ? raw->Text(source.idTplColumn) : QString());
            },
            &storage);
    if (tpl->shape == IdTemplate::Unique) {
        digests.unique = true;
        return digests;
    }
    if (good->offer != context.offer) {
        context.offer = good->offer;
        context.offerUtf8 = context.offer ? context.offer->name.toUtf8() : QByteArray();
    }
    IdentityKey::Columns columns;
    columns.url = source.urlColumn;
    columns.id = source.idColumn;
    columns.name = source.nameColumn;
    const QString offerName = good->offer ? good->offer->name : QString();
    bool digested;
    if (row)
        digested = IdentityKey::Digest(*tpl, ListCellView{row}, columns, offerName, context.offerUtf8,
                                       quintptr(good), &digests.key);
    else
        digested = IdentityKey::Digest(*tpl, RawCellView{raw}, columns, offerName, context.offerUtf8,
                                       quintptr(good), &digests.key);
    if (!digested) {
        digests.unique = true;
        return digests;
    }
    if (compared)
        digests.cells = row ? compared->Digest(*row) : compared->Digest(raw, context.scratch);
    return digests;
}

bool DuplicateRemover::Keep(Good *good)
{
    Digests digests;
    if (m_next < m_ahead.size() && m_ahead[m_next].ready) {
        digests = m_ahead[m_next];
    } else {
        const ComparedCells *compared = comparedCells ? &comparedCells(good->source) : nullptr;
        digests = DigestRow(m_context, good, good->source->reader->ScanAt(good->rowOffset), nullptr, compared);
    }
    ++m_next;
    if (digests.unique)
        return true;
    bool inserted;
    DigestMap::Entry *entry = seenKeys.Insert(digests.key, good, &inserted);
    if (!inserted)
        return false;
    entry->cells = digests.cells;
    return true;
}

void DuplicateRemover::AddGoods(const QList<Good *> &goods)
{
    if (goods.isEmpty())
        return;
    // Duplicates are dropped from the category in one pass: the survivors
    // keep their order, and a large category costs no more than a small one.
    CatModel *category = goods.first()->category;
    const int count = goods.size();
    bool any = false;
    QVector<bool> duplicate(count, false);
    for (int i = 0; i < count; ++i) {
        if (!Keep(goods.at(i))) {
            duplicate[i] = true;
            any = true;
        }
    }
    if (any) {
        int i = 0;
        category->RemoveGoodsIf([&duplicate, &i](const Good *) { return duplicate.at(i++); });
    }
    processedCount += count;
    ReportProgress();
}

void DuplicateRemover::AddGood(Good *good)
{
    if (!Keep(good)) {
        CatModel *category = good->category;
        category->RemoveGoodsIf([good](const Good *g) { return g == good; });
    }
    ++processedCount;
    ReportProgress();
}

void DuplicateRemover::ReportProgress()
{
    if (!progress)
        return;
    const QString text = QCoreApplication::translate("DuplicateRemover", "Удаление дублей. Обработано %1 товаров")
                                 .arg(processedCount);
    if (!progress->Report(0, 0, text))
        cancelled = true;
}
