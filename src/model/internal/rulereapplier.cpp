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

// One good of the offer: where its row lies, what its category cell reads
// (its number among the texts one reading thread met) and where it goes.
struct Entry
{
    const Source *source;
    qint64 offset;
    Good *good;
    qint32 text;   // -1 until the row is read
    qint32 reader; // the thread that numbered the text: 0 or 1
    CatModel *target;
    bool moved;
};

// What one reading thread keeps from row to row, on cache lines of its own:
// its row buffers and the category texts it met, each numbered once.
struct alignas(64) CellReader
{
    CsvRawRow raw;
    QByteArray buffer;
    QByteArray scratch;
    ByteMap<int> known;
    std::vector<QByteArray> texts;

    void Number(Entry &entry, const CsvRawRow &row, int reader)
    {
        const char *data = nullptr;
        int size = 0;
        row.View(entry.source->categoryColumn, &data, &size, scratch);
        const quint64 hash = ByteMap<int>::HashOf(data, size);
        entry.reader = reader;
        if (const int *found = known.Find(data, size, hash)) {
            entry.text = *found;
            return;
        }
        entry.text = int(texts.size());
        known.Insert(data, size, hash, entry.text);
        texts.emplace_back(data, size);
    }
};

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
    : m_root(root), m_offer(offer), m_progress(progress)
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
    // are then read as the file lies, not all over it.
    std::vector<Entry> entries;
    std::vector<CatModel *> stack{&m_root};
    while (!stack.empty()) {
        CatModel *node = stack.back();
        stack.pop_back();
        for (CatModel *child : qAsConst(node->children))
            stack.push_back(child);
        if (!node->offers.contains(m_offer))
            continue;
        for (Good *good : qAsConst(node->goods)) {
            if (good->offer == m_offer && good->source && good->source->categoryColumn >= 0)
                entries.push_back(Entry{good->source, good->rowOffset, good, -1, 0, nullptr, false});
        }
    }
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.source != b.source ? std::less<const Source *>()(a.source, b.source) : a.offset < b.offset;
    });
    const int total = int(entries.size());
    result.goods = total;

    // The category cells. Mapped feeds are read on two processors at once;
    // a feed the system could not map, through its reader on this thread.
    CellReader readers[2];
    bool allMapped = true;
    for (const Entry &entry : entries) {
        if (!entry.source->reader->IsMapped()) {
            allMapped = false;
            break;
        }
    }
    const QString reading = tr("Правила оффера %1: чтение категорий товаров").arg(name);
    bool finished = true;
    if (allMapped) {
        const int kChunk = 4096;
        const int chunks = (total + kChunk - 1) / kChunk;
        const auto read = [&](int chunk, int worker) {
            CellReader &reader = readers[worker];
            const int first = chunk * kChunk;
            const int last = qMin(total, first + kChunk);
            for (int i = first; i < last; ++i) {
                if (i + 8 < last)
                    entries[size_t(i + 8)].source->reader->Prefetch(entries[size_t(i + 8)].offset);
                Entry &entry = entries[size_t(i)];
                if (entry.source->reader->ReadMappedRow(entry.offset, reader.raw, reader.buffer))
                    reader.Number(entry, reader.raw, worker);
            }
        };
        const auto deliver = [&](int chunk) {
            return !m_progress || m_progress->Report(qMin(total, (chunk + 1) * kChunk), total, reading);
        };
        finished = Pipeline::Run(chunks, 4, read, deliver);
    } else {
        for (int i = 0; i < total && finished; ++i) {
            if (m_progress && i % 1024 == 0 && !m_progress->Report(i, total, reading))
                finished = false;
            Entry &entry = entries[size_t(i)];
            if (const CsvRawRow *row = entry.source->reader->ScanAt(entry.offset))
                readers[0].Number(entry, *row, 0);
        }
    }
    if (!finished) {
        result.error = tr("Применение правил оффера %1 отменено").arg(name);
        return result;
    }
    for (const Entry &entry : entries) {
        if (entry.text < 0) {
            result.error = tr("Строку товара оффера %1 не удалось прочитать: файл %2 изменился, загрузите его заново")
                                   .arg(name, entry.source->name);
            return result;
        }
    }
    // Every row is read: from here on the tree changes, and nothing stops it.

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
        const int list = entry.source->categoryIsList ? 1 : 0;
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
        const Source *source = entries[from].source;
        size_t to = from;
        QSet<QString> tops;
        while (to < entries.size() && entries[to].source == source) {
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
    for (Entry &entry : entries) {
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
        int kept = 0;
        for (int i = 0; i < goods.size(); ++i) {
            if (goods.at(i)->category == node)
                goods[kept++] = goods.at(i);
        }
        goods.erase(goods.begin() + kept, goods.end());
    }
    m_offer->priceInfo.Reset();
    const CatModel *lastEntered = nullptr;
    for (Entry &entry : entries) {
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
