#include "duplicateremover.h"

#include <algorithm>

#include <QCoreApplication>

#include "catmodel.h"
#include "csvmanipulator.h"
#include "csvrowstream.h"
#include "defaultgoodqueryobject.h"
#include "good.h"
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
        if (dynamic_cast<CsvManipulator *>(good->source->reader))
            items.push_back(Item{good->source, good->rowOffset, i});
    }
    std::sort(items.begin(), items.end(), [](const Item &a, const Item &b) {
        return a.source != b.source ? a.source < b.source : a.offset < b.offset;
    });

    CsvRawRow row;
    size_t at = 0;
    while (at < items.size()) {
        const Source *source = items[at].source;
        auto *csv = static_cast<CsvManipulator *>(source->reader);
        CsvRowStream stream(csv->FilePath(), items[at].offset, source->header.size());
        const CsvRowStream::Batch *batch = stream.Next();
        int rowIndex = 0;
        for (; at < items.size() && items[at].source == source; ++at) {
            // Rows not in the tree are passed over; a good whose row the
            // stream does not reach is read on its own during the walk.
            while (batch && (rowIndex >= batch->Rows() || batch->offsets[size_t(rowIndex)] < items[at].offset)) {
                if (rowIndex >= batch->Rows()) {
                    batch = stream.Next();
                    rowIndex = 0;
                } else {
                    ++rowIndex;
                }
            }
            if (!batch || batch->offsets[size_t(rowIndex)] != items[at].offset)
                continue;
            batch->RowAt(rowIndex, row);
            const Good *good = walk.at(items[at].index);
            m_ahead[size_t(items[at].index)] = DigestRow(good, &row, nullptr);
        }
        while (at < items.size() && items[at].source == source)
            ++at;
    }
}

DuplicateRemover::Digests DuplicateRemover::DigestRow(const Good *good, const CsvRawRow *raw,
                                                      const QStringList *row)
{
    const Source &source = *good->source;
    Digests digests;
    digests.ready = true;
    QString text;
    int tokens;
    if (good->idTemplate) {
        text = good->idTemplate->text;
        tokens = good->idTemplate->tokens;
    } else if (source.idTplColumn >= 0) {
        text = row ? Good::Cell(*row, source.idTplColumn) : (raw ? raw->Text(source.idTplColumn) : QString());
        tokens = IdTemplate::TokensOf(text);
    } else {
        digests.unique = true; // "[p]"
        return digests;
    }
    if ((tokens & IdTemplate::AllTokens) && text.contains(QLatin1String("[p]"))) {
        digests.unique = true;
        return digests;
    }
    if (good->offer != m_offer) {
        m_offer = good->offer;
        m_offerUtf8 = m_offer ? m_offer->name.toUtf8() : QByteArray();
    }
    IdentityKey::Columns columns;
    columns.url = source.urlColumn;
    columns.id = source.idColumn;
    columns.name = source.nameColumn;
    const QString offerName = good->offer ? good->offer->name : QString();
    bool digested;
    if (row)
        digested = IdentityKey::Digest(text, tokens, ListCellView{row}, columns, offerName, m_offerUtf8,
                                       quintptr(good), &digests.key);
    else
        digested = IdentityKey::Digest(text, tokens, RawCellView{raw}, columns, offerName, m_offerUtf8,
                                       quintptr(good), &digests.key);
    if (!digested) {
        digests.unique = true;
        return digests;
    }
    if (comparedCells) {
        const ComparedCells &cells = comparedCells(good->source);
        digests.cells = row ? cells.Digest(*row) : cells.Digest(raw, m_scratch);
    }
    return digests;
}

bool DuplicateRemover::Keep(Good *good)
{
    Digests digests;
    if (m_next < m_ahead.size() && m_ahead[m_next].ready) {
        digests = m_ahead[m_next];
    } else if (auto *csv = dynamic_cast<CsvManipulator *>(good->source->reader)) {
        digests = DigestRow(good, csv->ScanAt(good->rowOffset), nullptr);
    } else {
        const QStringList row = good->Row();
        digests = DigestRow(good, nullptr, &row);
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
    const QString text = QCoreApplication::translate("DuplicateRemover", "Удаление дублей. Обработано ")
            + QString::number(processedCount) + QCoreApplication::translate("DuplicateRemover", " товаров");
    if (!progress->Report(0, 0, text))
        cancelled = true;
}
