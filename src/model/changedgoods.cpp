#include "changedgoods.h"

#include <algorithm>

#include "catmodel.h"
#include "csvmanipulator.h"
#include "good.h"
#include "igoodqueryobject.h"
#include "source.h"

namespace {

bool ByGood(const ChangedGoods::Entry &a, const ChangedGoods::Entry &b)
{
    return std::less<const Good *>()(a.good, b.good);
}

} // namespace

ChangedGoods::ChangedGoods() = default;
ChangedGoods::~ChangedGoods() = default;

ChangedGoods::BaseRow ChangedGoods::Find(const Good *good) const
{
    BaseRow row;
    Entry probe;
    probe.good = good;
    const auto at = std::lower_bound(m_entries.begin(), m_entries.end(), probe, ByGood);
    if (at == m_entries.end() || at->good != good)
        return row;
    row.base = m_bases[size_t(at->place >> kOffsetBits)];
    row.offset = qint64(at->place & kOffsetMask);
    row.columns = at->columns;
    row.oldPrice = at->oldPrice;
    return row;
}

void ChangedGoods::Record(const Source *base, std::vector<Entry> entries)
{
    if (entries.empty())
        return;
    size_t number = 0;
    while (number < m_bases.size() && m_bases[number] != base)
        ++number;
    if (number == m_bases.size()) {
        // A number left free by a base whose entries are all gone is taken again.
        number = 0;
        while (number < m_bases.size() && m_bases[number])
            ++number;
        if (number == m_bases.size())
            m_bases.push_back(base);
        m_bases[number] = base;
    }
    for (Entry &entry : entries)
        entry.place = (entry.place & kOffsetMask) | (quint64(number) << kOffsetBits);
    std::sort(entries.begin(), entries.end(), ByGood);

    // Both sorted: one merge, the newer entry winning where a good has two.
    std::vector<Entry> merged;
    merged.reserve(m_entries.size() + entries.size());
    auto older = m_entries.cbegin();
    auto newer = entries.cbegin();
    while (older != m_entries.cend() || newer != entries.cend()) {
        if (newer == entries.cend() || (older != m_entries.cend() && ByGood(*older, *newer))) {
            merged.push_back(*older++);
        } else {
            if (older != m_entries.cend() && older->good == newer->good)
                ++older;
            merged.push_back(*newer++);
        }
    }
    m_entries.swap(merged);
}

void ChangedGoods::Sweep(const CatModel &root)
{
    if (m_entries.empty())
        return;
    struct Collector final : IGoodQueryObject
    {
        virtual ~Collector() = default;
        std::vector<const Good *> changed;
        void AddGoods(const QList<Good *> &goods) override
        {
            for (const Good *good : goods)
                AddGood(const_cast<Good *>(good));
        }
        void AddGood(Good *good) override
        {
            if (good->status == Changed)
                changed.push_back(good);
        }
    } collector;
    const_cast<CatModel &>(root).QueryGoods(&collector, nullptr, true);
    std::sort(collector.changed.begin(), collector.changed.end(), std::less<const Good *>());

    // The entries whose good is no longer there (or no longer changed) go;
    // their addresses are compared, never followed.
    std::vector<bool> named(m_bases.size(), false);
    auto live = collector.changed.cbegin();
    size_t kept = 0;
    for (const Entry &entry : m_entries) {
        while (live != collector.changed.cend() && std::less<const Good *>()(*live, entry.good))
            ++live;
        if (live == collector.changed.cend() || *live != entry.good)
            continue;
        m_entries[kept++] = entry;
        named[size_t(entry.place >> kOffsetBits)] = true;
    }
    m_entries.resize(kept);
    for (size_t number = 0; number < m_bases.size(); ++number) {
        if (!named[number])
            m_bases[number] = nullptr;
    }
    if (m_entries.empty()) {
        m_entries.shrink_to_fit();
        m_bases.clear();
    }
}

bool ChangedGoods::Refers(const Source *source) const
{
    return source && std::find(m_bases.begin(), m_bases.end(), source) != m_bases.end();
}

void ChangedGoods::Clear()
{
    std::vector<Entry>().swap(m_entries);
    m_bases.clear();
}

QStringList ChangedGoods::ColumnNames(const QStringList &baseHeader, quint64 columns)
{
    QStringList names;
    for (int bit = 0; bit < kColumnBits && columns; ++bit, columns >>= 1) {
        if (!(columns & 1))
            continue;
        if (bit < kColumnBits - 1) {
            names.append(baseHeader.value(bit));
        } else {
            // The last bit stands for every column after the others.
            for (int column = bit; column < baseHeader.size(); ++column)
                names.append(baseHeader.at(column));
        }
    }
    return names;
}

QList<ChangedGoods::Difference> ChangedGoods::Differences(const Good *good) const
{
    QList<Difference> differences;
    const BaseRow base = Find(good);
    if (!base.base || !base.base->reader || good->status != Changed)
        return differences;
    const QStringList row = good->Row();
    const QStringList baseRow = base.base->reader->RowAt(base.offset);
    if (row.isEmpty() || baseRow.isEmpty())
        return differences;
    // The columns a base load compares: the base's, but for its category,
    // that the good's feed has under the same name.
    const QStringList &baseHeader = base.base->header;
    const QStringList &header = good->source->header;
    for (int column = 0; column < baseHeader.size() && column < baseRow.size(); ++column) {
        if (column == base.base->categoryColumn)
            continue;
        const int own = header.indexOf(baseHeader.at(column));
        if (own < 0 || own >= row.size() || row.at(own) == baseRow.at(column))
            continue;
        differences.append({baseHeader.at(column), baseRow.at(column), row.at(own)});
    }
    return differences;
}
