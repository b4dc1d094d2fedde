#include "duplicateremover.h"

#include <algorithm>
#include <mutex>

#include <QCoreApplication>

#include "catmodel.h"
#include "csvmanipulator.h"
#include "csvrowscanner.h"
#include "defaultgoodqueryobject.h"
#include "good.h"
#include "goodidentity.h"
#include "identitykey.h"
#include "iprogress.h"
#include "offer.h"
#include "pipeline.h"
#include "source.h"

bool DuplicateRemover::Run(CatModel *root, IProgress *reportTo)
{
    processedCount = 0;
    removedCount = 0;
    cancelled = false;
    progress = reportTo;
    if (comparedCells)
        seenKeys.KeepCells();
    QList<Good *> walk;
    DefaultGoodQueryObject collect(&walk);
    root->QueryGoods(&collect, nullptr, true);
    DigestAhead(walk);
    FindDuplicates(walk);
    walk = QList<Good *>();
    m_aheadKeys = std::vector<RowHash>();
    m_aheadCells = std::vector<RowHash>();
    m_aheadFlags = std::vector<uchar>();
    // The duplicates found leave their categories in a walk of the same
    // order, which also reports the progress.
    m_next = 0;
    root->QueryGoods(this, nullptr, true);
    m_duplicate = std::vector<uchar>();
    return !cancelled;
}

void DuplicateRemover::FindDuplicates(const QList<Good *> &walk)
{
    const size_t count = m_aheadFlags.size();
    m_duplicate.assign(count, 0);
    seenKeys.Reserve(int(count));
    // Each processor takes the keys of one part of the map, in the order of
    // the walk: the first good of a key met in the walk stays, whichever
    // thread meets it, and the two never touch the same memory.
    const auto fill = [&](int part) {
        for (size_t i = 0; i < count; ++i) {
            const size_t ahead = i + 16;
            if (ahead < count && !(m_aheadFlags[ahead] & kUnique) && DigestMap::PartOf(m_aheadKeys[ahead]) == part)
                seenKeys.Prefetch(m_aheadKeys[ahead]);
            if ((m_aheadFlags[i] & kUnique) || DigestMap::PartOf(m_aheadKeys[i]) != part)
                continue;
            bool inserted;
            DigestMap::Entry *entry = seenKeys.InsertInPart(part, m_aheadKeys[i], walk.at(int(i)), &inserted);
            if (!inserted)
                m_duplicate[i] = 1;
            else if (!m_aheadCells.empty())
                seenKeys.Cells(entry) = m_aheadCells[i];
        }
    };
    // A small catalogue is not worth a second thread.
    if (count < 20000) {
        fill(0);
        fill(1);
    } else {
        Pipeline::Run(2, 2, [&](int part, int) { fill(part); });
    }
}

void DuplicateRemover::DigestAhead(const QList<Good *> &walk)
{
    m_aheadKeys.assign(size_t(walk.size()), RowHash());
    m_aheadFlags.assign(size_t(walk.size()), 0);
    if (comparedCells)
        m_aheadCells.assign(size_t(walk.size()), RowHash());

    struct Item
    {
        const Source *source;
        qint64 offset;
        int index;
    };
    // The digests the load worked out serve where they are what is needed:
    // the key of a good identified by its url, the whole row where the base
    // has the same columns. Only the other goods' rows are read again.
    // Both processors take them, a stretch of the walk at a time: each good
    // leads to its source's tables anywhere in memory.
    const int kPiece = 1 << 15;
    const int pieces = int((walk.size() + kPiece - 1) / kPiece);
    std::vector<std::vector<Item>> unread(static_cast<size_t>(pieces));
    Pipeline::Run(pieces, pieces, [&](int piece, int) {
        CellsCache cache;
        const int end = std::min(int(walk.size()), (piece + 1) * kPiece);
        for (int i = piece * kPiece; i < end; ++i) {
            // A walk of the tree meets the goods, and their digests, all
            // over memory: a good is fetched well ahead, its digests once
            // the good is at hand.
            if (i + 16 < end)
                __builtin_prefetch(walk.at(i + 16));
            if (i + 8 < end)
                PrefetchDigests(*walk.at(i + 8));
            const Good *good = walk.at(i);
            if (!Digested(good, size_t(i), cache))
                unread[size_t(piece)].push_back(Item{good->source, good->rowOffset, i});
        }
    });
    std::vector<Item> items;
    for (const std::vector<Item> &some : unread)
        items.insert(items.end(), some.begin(), some.end());
    unread = std::vector<std::vector<Item>>();
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

    // A stretch's rows are digested as the scanner finds them, where the
    // file is mapped and while each row is in the cache; rows of the file
    // that are not in the tree are passed over. A good whose row is not
    // reached here is read on its own during the walk.
    class StretchDigester final : public CsvRowPreparer
    {
    public:
        StretchDigester(DuplicateRemover &remover, const std::vector<Item> &items, const Stretch &stretch,
                        const QList<Good *> &walk, Context &context, const ComparedCells *compared)
            : m_remover(remover)
            , m_items(items)
            , m_next(stretch.first)
            , m_last(stretch.last)
            , m_walk(walk)
            , m_context(context)
            , m_compared(compared)
        {
        }
        void Begin(CsvRowBatch &) override {}
        void Prepare(const CsvRawRow &row, CsvRowBatch &batch) override
        {
            const qint64 offset = batch.offsets.back();
            while (m_next < m_last && m_items[m_next].offset < offset)
                ++m_next;
            if (m_next < m_last && m_items[m_next].offset == offset) {
                const int index = m_items[m_next].index;
                m_remover.Store(size_t(index), m_remover.DigestRow(m_context, m_walk.at(index), &row, m_compared));
                ++m_next;
            }
        }

    private:
        DuplicateRemover &m_remover;
        const std::vector<Item> &m_items;
        size_t m_next;
        const size_t m_last;
        const QList<Good *> &m_walk;
        Context &m_context;
        const ComparedCells *m_compared;
    };
    const auto digestStretch = [&](const Stretch &stretch, Context &context) {
        const Source *source = items[stretch.first].source;
        StretchDigester digester(*this, items, stretch, walk, context,
                                 comparedCells ? &comparedCells(source) : nullptr);
        CsvRowScanner scanner(source->reader->FilePath(), items[stretch.first].offset, source->header.size(),
                              source->reader->CrLineEnds(), stretch.stop, &digester, CsvRowScanner::Mode::Mapped);
        CsvRowBatch batch;
        while (scanner.Fill(batch)) {
        }
    };

    // The stretches are shared between this thread and a helper, each
    // thread with a context of its own; nothing is handed over in order.
    Context helperContext;
    const int count = int(stretches.size());
    Pipeline::Run(count, count, [&](int stretch, int worker) {
        digestStretch(stretches[size_t(stretch)], worker == 0 ? m_context : helperContext);
    });

    // A good whose row was not reached there is read on its own.
    for (size_t i = 0; i < m_aheadFlags.size(); ++i) {
        if (m_aheadFlags[i] & kReady)
            continue;
        const Good *good = walk.at(int(i));
        const ComparedCells *compared = comparedCells ? &comparedCells(good->source) : nullptr;
        Store(i, DigestRow(m_context, good, good->source->reader->ReadAt(good->rowOffset), compared));
    }
}

void DuplicateRemover::PrefetchDigests(const Good &good) const
{
    const Source::Digests &digests = good.source->digests;
    const quint32 at = good.digestIndex;
    if (at >= digests.keyReady.size())
        return;
    __builtin_prefetch(&digests.keyReady[at]);
    __builtin_prefetch(&digests.keys[at]);
    if (comparedCells)
        __builtin_prefetch(&digests.rows[at]);
}

bool DuplicateRemover::Digested(const Good *good, size_t index, CellsCache &cache)
{
    const Source &source = *good->source;
    const quint32 at = good->digestIndex;
    if (at == Good::kNoDigests || at >= source.digests.keyReady.size() || !source.digests.keyReady[at])
        return false;
    Digests digests;
    digests.key = source.digests.keys[at];
    if (comparedCells) {
        // The caller's columns are looked up under a lock, once a source
        // for each thread.
        if (cache.source != &source) {
            std::lock_guard<std::mutex> lock(m_cellsMutex);
            cache.cells = &comparedCells(&source);
            cache.source = &source;
        }
        const ComparedCells &compared = *cache.cells;
        if (!compared.whole || compared.skipped != source.categoryColumn)
            return false;
        digests.cells = source.digests.rows[at];
    }
    Store(index, digests);
    return true;
}

void DuplicateRemover::Store(size_t index, const Digests &digests)
{
    m_aheadKeys[index] = digests.key;
    if (!m_aheadCells.empty())
        m_aheadCells[index] = digests.cells;
    m_aheadFlags[index] = uchar(kReady | (digests.unique ? kUnique : 0));
}

DuplicateRemover::Digests DuplicateRemover::DigestRow(Context &context, const Good *good, const CsvRawRow *raw,
                                                      const ComparedCells *compared) const
{
    const Source &source = *good->source;
    Digests digests;
    IdTemplate storage;
    const IdTemplate *tpl = GoodIdentity::TemplateOf(
            *good,
            [&]() { return raw ? raw->Text(source.idTplColumn) : QString(); }, &storage);
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
    const bool digested = IdentityKey::Digest(*tpl, RawCellView{raw}, columns, offerName, context.offerUtf8,
                                              quintptr(good), &digests.key);
    if (!digested) {
        digests.unique = true;
        return digests;
    }
    if (compared)
        digests.cells = compared->Digest(raw, context.scratch);
    return digests;
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
        if (m_duplicate[m_next++]) {
            duplicate[i] = true;
            any = true;
            ++removedCount;
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
    if (m_duplicate[m_next++]) {
        ++removedCount;
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
