#include "rulereapplier.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include <QByteArray>
#include <QSet>

#include "bytemap.h"
#include "catmodel.h"
#include "csvmanipulator.h"
#include "csvrawrow.h"
#include "good.h"
#include "iprogress.h"
#include "offer.h"
#include "pipeline.h"
#include "source.h"

namespace {

// One good of the offer: where its row lies (its feed's number among the
// offer's feeds above the row's offset, so that one number orders the goods
// as their rows lie), what its category cell reads (the cell's number among
// the texts one reading thread met) and where it goes.
struct Entry
{
    quint64 order;
    Good *good;
    CatModel *target;
    qint32 text;   // -1 until the row is read
    quint8 reader; // the thread that numbered the text: 0 or 1
    bool moved;
};
static_assert(sizeof(Entry) <= 32, "an entry of a million grew past 32 bytes");

const int kOffsetBits = 47;
const quint64 kOffsetMask = (quint64(1) << kOffsetBits) - 1;

// What one reading thread keeps from row to row, on cache lines of its own:
// its row buffers and the category texts it met, each numbered once.
struct alignas(64) CellReader
{
    CsvRawRow raw;
    QByteArray cell;
    ByteMap<int> known;
    std::vector<QByteArray> texts;

    void Number(Entry &entry, int reader)
    {
        const int size = cell.size();
        const quint64 hash = ByteMap<int>::HashOf(cell.constData(), size);
        entry.reader = quint8(reader);
        if (const int *found = known.Find(cell.constData(), size, hash)) {
            entry.text = *found;
            return;
        }
        entry.text = int(texts.size());
        known.Insert(cell.constData(), size, hash, entry.text);
        texts.emplace_back(cell.constData(), size);
    }
};

// Sorts the entries by their order, a digit of 11 bits a pass from the
// lowest (a million entries in a few passes over memory, where a comparison
// sort takes twenty); entries of equal order keep their places.
void SortByOrder(std::vector<Entry> &entries)
{
    quint64 highest = 0;
    for (const Entry &entry : entries)
        highest |= entry.order;
    const int kDigit = 11;
    const size_t kBuckets = size_t(1) << kDigit;
    std::vector<Entry> other(entries.size());
    std::vector<size_t> counts(kBuckets);
    for (int shift = 0; shift < 64 && (highest >> shift) != 0; shift += kDigit) {
        std::fill(counts.begin(), counts.end(), 0);
        for (const Entry &entry : entries)
            ++counts[size_t(entry.order >> shift) & (kBuckets - 1)];
        size_t at = 0;
        for (size_t &count : counts) {
            const size_t here = count;
            count = at;
            at += here;
        }
        for (const Entry &entry : entries)
            other[counts[size_t(entry.order >> shift) & (kBuckets - 1)]++] = entry;
        entries.swap(other);
    }
}

// The node of a path below a node, as far as it exists.
CatModel *FindBelow(CatModel *top, const QString &path)
{
    CatModel *node = top;
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        node = node->FindChild(part);
        if (!node)
            return nullptr;
    }
    return node;
}

// The node of a mapped path below the place a load of the source merges
// into, created when missing. A path of nothing but "/" files a load's goods
// in its temporary tree's root, which the merge destroys: none, here too.
CatModel *FindOrCreateBelow(CatModel *top, const QString &path)
{
    const QString text = path.isEmpty() ? QStringLiteral("No name") : path;
    const QStringList parts = text.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return nullptr;
    CatModel *node = top;
    for (const QString &part : parts) {
        CatModel *child = node->FindChild(part);
        if (!child) {
            child = new CatModel(part);
            node->AppendChild(child);
            child->UpdatePath(false);
        }
        node = child;
    }
    return node;
}

} // namespace

RuleReapplier::RuleReapplier(CatModel &root, Offer *offer, IProgress *progress)
    : m_root(root)
    , m_offer(offer)
    , m_progress(progress)
{
}

RuleReapplier::Result RuleReapplier::Run()
{
    Result result;
    const QString name = m_offer->name;
    if (m_progress && !m_progress->Report(0, 0, tr("Правила оффера %1: поиск товаров").arg(name))) {
        result.error = tr("Применение правил оффера %1 отменено").arg(name);
        return result;
    }

    // The offer's goods, in the order of their rows in each feed: the rows
    // are then read as the file lies, not all over it, and goods that move
    // arrive in their new categories in that order, as a load files them.
    std::vector<const Source *> sources;
    std::vector<Entry> entries;
    std::vector<CatModel *> nodes;
    std::vector<CatModel *> stack{&m_root};
    size_t most = 0;
    while (!stack.empty()) {
        CatModel *node = stack.back();
        stack.pop_back();
        for (CatModel *child : qAsConst(node->children))
            stack.push_back(child);
        if (node->offers.contains(m_offer)) {
            nodes.push_back(node);
            most += size_t(node->goods.size());
        }
    }
    entries.reserve(most);
    const Source *lastSource = nullptr;
    quint64 slot = 0;
    for (const CatModel *node : nodes) {
        const QList<Good *> &goods = node->goods;
        const int count = goods.size();
        for (int i = 0; i < count; ++i) {
            // The goods lie all over memory: each is fetched a few ahead.
            if (i + 8 < count)
                __builtin_prefetch(goods.at(i + 8));
            Good *good = goods.at(i);
            if (good->offer != m_offer || !good->source || good->source->categoryColumn < 0)
                continue;
            if (good->source != lastSource) {
                lastSource = good->source;
                const auto known = std::find(sources.begin(), sources.end(), lastSource);
                slot = quint64(known - sources.begin());
                if (known == sources.end())
                    sources.push_back(lastSource);
            }
            entries.push_back(Entry{(slot << kOffsetBits) | (quint64(good->rowOffset) & kOffsetMask), good, nullptr, -1,
                                    0, false});
        }
    }
    SortByOrder(entries);
    const int total = int(entries.size());
    result.goods = total;
    const auto sourceOf = [&sources](const Entry &entry) { return sources[size_t(entry.order >> kOffsetBits)]; };
    const auto offsetOf = [](const Entry &entry) { return qint64(entry.order & kOffsetMask); };

    // A feed rewritten since it was loaded would give other rows at the
    // goods' offsets.
    for (const Source *source : sources) {
        if (!source->reader->Unchanged()) {
            result.error = tr("Файл %1 изменился после загрузки: загрузите его заново").arg(source->name);
            return result;
        }
    }

    // The category cells. Mapped feeds are read on two processors at once,
    // each row only up to its category cell; a feed the system could not
    // map, through its reader on this thread.
    CellReader readers[2];
    bool allMapped = true;
    for (const Source *source : sources)
        allMapped = allMapped && source->reader->IsMapped();
    const QString reading = tr("Правила оффера %1: чтение категорий товаров").arg(name);
    bool finished = true;
    if (allMapped && total > 0) {
        const int kChunk = 4096;
        const int chunks = (total + kChunk - 1) / kChunk;
        const auto read = [&](int chunk, int worker) {
            CellReader &reader = readers[worker];
            const int first = chunk * kChunk;
            const int last = qMin(total, first + kChunk);
            for (int i = first; i < last; ++i) {
                if (i + 8 < last)
                    sourceOf(entries[size_t(i + 8)])->reader->Prefetch(offsetOf(entries[size_t(i + 8)]));
                Entry &entry = entries[size_t(i)];
                const Source *source = sourceOf(entry);
                if (source->reader->ReadMappedCell(offsetOf(entry), source->categoryColumn, reader.raw, reader.cell))
                    reader.Number(entry, worker);
            }
        };
        const auto deliver = [&](int chunk) {
            return !m_progress || m_progress->Report(qMin(total, (chunk + 1) * kChunk), total, reading);
        };
        finished = Pipeline::Run(chunks, 4, read, deliver);
    } else {
        QByteArray scratch;
        for (int i = 0; i < total && finished; ++i) {
            if (m_progress && i % 1024 == 0 && !m_progress->Report(i, total, reading))
                finished = false;
            Entry &entry = entries[size_t(i)];
            const Source *source = sourceOf(entry);
            if (const CsvRawRow *row = source->reader->ScanAt(offsetOf(entry))) {
                const char *data = nullptr;
                int size = 0;
                row->View(source->categoryColumn, &data, &size, scratch);
                readers[0].cell = QByteArray(data, size);
                readers[0].Number(entry, 0);
            }
        }
    }
    if (!finished) {
        result.error = tr("Применение правил оффера %1 отменено").arg(name);
        return result;
    }
    for (const Entry &entry : entries) {
        if (entry.text < 0) {
            result.error = tr("Строку товара оффера %1 не удалось прочитать: файл %2 изменился, загрузите его заново")
                                   .arg(name, sourceOf(entry)->name);
            return result;
        }
    }

    // Each distinct cell is mapped once (twice at most: a feed whose cell
    // lists several categories is filed by the first).
    struct Mapping
    {
        bool done = false;
        QString raw;  // the raw category the rules see
        QString path; // null: the rules leave it out
    };
    std::vector<Mapping> mappings[2][2];
    for (int r = 0; r < 2; ++r) {
        for (int list = 0; list < 2; ++list)
            mappings[r][list].resize(readers[r].texts.size());
    }
    const auto mappingOf = [&](const Entry &entry) -> const Mapping & {
        const int list = sourceOf(entry)->categoryIsList ? 1 : 0;
        Mapping &mapping = mappings[entry.reader][list][size_t(entry.text)];
        if (!mapping.done) {
            const QByteArray &bytes = readers[entry.reader].texts[size_t(entry.text)];
            mapping.raw = CsvRawRow::Decoded(bytes.constData(), bytes.size());
            if (list)
                mapping.raw = Good::FirstPart(mapping.raw, QStringLiteral(", "));
            mapping.path = m_offer->MapCategory(mapping.raw);
            mapping.done = true;
        }
        return mapping;
    };

    // The goods of each feed go where a load of it under the new rules would
    // put them: below the ghost node its load made for its offer, or, with
    // none, below the root unless they now fall into two or more top-level
    // categories, which a load groups under a new ghost node.
    std::vector<uchar> keptData[2][2]; // texts whose category a data good keeps
    for (int r = 0; r < 2; ++r) {
        for (int list = 0; list < 2; ++list)
            keptData[r][list].assign(readers[r].texts.size(), 0);
    }
    for (size_t from = 0; from < entries.size();) {
        const Source *source = sourceOf(entries[from]);
        size_t to = from;
        QSet<QString> tops;
        while (to < entries.size() && sourceOf(entries[to]) == source) {
            const Mapping &mapping = mappingOf(entries[to]);
            if (!mapping.path.isNull() && tops.size() < 2) {
                const QStringList parts = mapping.path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
                tops.insert(parts.isEmpty() ? QString() : parts.first());
            }
            ++to;
        }
        CatModel *top = FindBelow(&m_root, source->offerName);
        if (!top || !top->ghost || top == &m_root) {
            top = &m_root;
            if (tops.size() >= 2) {
                top = m_root.FindOrCreatePath(source->offerName);
                if (!top->ghost) {
                    top->ghost = true;
                    top->UpdatePath(true);
                }
            }
        }
        // Most goods share a few categories: each distinct cell finds its
        // node once for this feed.
        const int list = source->categoryIsList ? 1 : 0;
        std::vector<CatModel *> nodes[2];
        std::vector<uchar> resolved[2];
        for (int r = 0; r < 2; ++r) {
            nodes[r].assign(readers[r].texts.size(), nullptr);
            resolved[r].assign(readers[r].texts.size(), 0);
        }
        for (size_t i = from; i < to; ++i) {
            Entry &entry = entries[i];
            const size_t text = size_t(entry.text);
            if (!resolved[entry.reader][text]) {
                const Mapping &mapping = mappingOf(entry);
                nodes[entry.reader][text] = mapping.path.isNull() ? nullptr : FindOrCreateBelow(top, mapping.path);
                resolved[entry.reader][text] = 1;
            }
            entry.target = nodes[entry.reader][text];
            if (entry.target && entry.good->status != Deleted)
                keptData[entry.reader][list][text] = 1;
        }
        from = to;
    }

    // Out of the old categories in one pass each, then into the new ones in
    // file order; the goods of other offers keep their places.
    QSet<CatModel *> touched;
    const CatModel *lastLeft = nullptr;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i + 8 < entries.size())
            __builtin_prefetch(entries[i + 8].good);
        Entry &entry = entries[i];
        entry.moved = entry.target != entry.good->category;
        if (!entry.moved)
            continue;
        // Rows of one category mostly follow each other in a feed.
        if (entry.good->category != lastLeft) {
            lastLeft = entry.good->category;
            touched.insert(entry.good->category);
        }
        entry.good->category = entry.target;
    }
    for (CatModel *node : qAsConst(touched)) {
        QList<Good *> &goods = node->goods;
        const int count = goods.size();
        int kept = 0;
        for (int i = 0; i < count; ++i) {
            if (i + 8 < count)
                __builtin_prefetch(goods.at(i + 8));
            Good *good = goods.at(i);
            if (good->category == node)
                goods[kept++] = good;
        }
        goods.erase(goods.begin() + kept, goods.end());
    }
    m_offer->priceInfo.Reset();
    const CatModel *lastEntered = nullptr;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (i + 8 < entries.size())
            __builtin_prefetch(entries[i + 8].good);
        Entry &entry = entries[i];
        Good *good = entry.good;
        if (!entry.target) {
            ++result.dropped;
            delete good;
            continue;
        }
        m_offer->priceInfo.Include(good);
        if (!entry.moved)
            continue;
        ++result.moved;
        entry.target->goods.append(good);
        if (entry.target != lastEntered) {
            lastEntered = entry.target;
            touched.insert(entry.target);
        }
    }
    for (CatModel *node : qAsConst(touched))
        node->RebuildOffers(false);
    // Categories left empty go, as a load leaves none.
    m_root.Prune();

    // What the offer knows of its raw categories follows its rules: those
    // they now leave out are no longer the catalogue's, and those they now
    // take but whose rows no load took in are said, for only a new load
    // brings their goods.
    QSet<QString> categories;
    QSet<QString> dropped = m_offer->droppedCategories;
    for (const QString &raw : qAsConst(m_offer->categories)) {
        if (m_offer->MapCategory(raw).isNull())
            dropped.insert(raw);
        else
            categories.insert(raw);
    }
    for (int r = 0; r < 2; ++r) {
        for (int list = 0; list < 2; ++list) {
            for (size_t t = 0; t < keptData[r][list].size(); ++t) {
                if (keptData[r][list][t])
                    categories.insert(mappings[r][list][t].raw);
            }
        }
    }
    QStringList waiting;
    for (auto it = dropped.begin(); it != dropped.end();) {
        if (categories.contains(*it)) {
            it = dropped.erase(it);
            continue;
        }
        if (!m_offer->MapCategory(*it).isNull())
            waiting.append(*it);
        ++it;
    }
    m_offer->categories = categories;
    m_offer->droppedCategories = dropped;

    if (result.dropped > 0) {
        result.warnings.append(tr("Оффер %1: по новым правилам убрано товаров: %2").arg(name).arg(result.dropped));
    }
    if (!waiting.isEmpty()) {
        waiting.sort();
        const int shown = qMin(5, waiting.size());
        QString list = waiting.mid(0, shown).join(QStringLiteral(", "));
        if (waiting.size() > shown)
            list += QStringLiteral(", …");
        result.warnings.append(tr("Оффер %1: новые правила берут категории, товары которых при загрузке не взяты "
                                  "(%2: %3); они появятся, когда фиды загрузят снова")
                                       .arg(name)
                                       .arg(waiting.size())
                                       .arg(list));
    }
    result.finished = true;
    return result;
}
