#include "digestmap.h"

#include <type_traits>

#include "platform.h"

static_assert(std::is_trivially_copyable<DigestMap::Entry>::value, "entries are moved as bytes");

namespace {

// A table is at most four fifths full: short probes, and a third less
// memory than a half-full one. Its size is not rounded up to a power of
// two (a slot is chosen by a multiplication, not a mask): a million keys
// would otherwise take a table for two million, tens of megabytes more.
size_t TableSizeFor(size_t count)
{
    return qMax<size_t>(16, (count * 5 + 3) / 4);
}

} // namespace

DigestMap::~DigestMap() = default;

DigestMap::Part::~Part()
{
    Free(entries, capacity);
    Free(cells, capacity);
}

template<typename T>
T *DigestMap::Allocate(size_t count)
{
    // Zeroed: every entry free. A large table gets pages of its own.
    return static_cast<T *>(Platform::AllocateTable(count * sizeof(T)));
}

template<typename T>
void DigestMap::Free(T *items, size_t count)
{
    Platform::FreeTable(items, count * sizeof(T));
}

void DigestMap::Reserve(int count)
{
    // A random split puts half the keys in each part, give or take a
    // standard deviation of sqrt(count) / 2: the margin is eight of them,
    // since a part that gets more grows to twice its keys (a million keys
    // split 501193 to 498807, past a margin of two).
    qint64 margin = 16;
    while (margin * margin < qint64(count) * 16)
        margin *= 2;
    for (Part &part : m_parts)
        part.Reserve(int(count / 2 + margin), m_withCells);
}

void DigestMap::Part::Reserve(int count, bool withCells)
{
    if (TableSizeFor(size_t(count)) <= capacity)
        return;
    Entry *oldEntries = entries;
    RowHash *oldCells = cells;
    const size_t oldCapacity = capacity;
    capacity = TableSizeFor(size_t(count));
    entries = Allocate<Entry>(capacity);
    cells = withCells ? Allocate<RowHash>(capacity) : nullptr;
    for (size_t i = 0; i < oldCapacity; ++i) {
        const Entry &entry = oldEntries[i];
        if (entry.m_value) {
            Entry *slot = Slot(entry.key);
            *slot = entry;
            if (cells)
                cells[slot - entries] = oldCells[i];
        }
    }
    Free(oldEntries, oldCapacity);
    Free(oldCells, oldCapacity);
}

DigestMap::Entry *DigestMap::Part::Slot(const RowHash &key)
{
    for (size_t i = Home(key);; i = i + 1 == capacity ? 0 : i + 1) {
        Entry &entry = entries[i];
        if (!entry.m_value || entry.key == key)
            return &entry;
    }
}

DigestMap::Entry *DigestMap::Part::Find(const RowHash &key)
{
    if (!entries)
        return nullptr;
    Entry *entry = Slot(key);
    return entry->m_value ? entry : nullptr;
}

DigestMap::Entry *DigestMap::Part::Insert(const RowHash &key, Good *good, bool *inserted, bool withCells)
{
    if (TableSizeFor(size_t(size + 1)) > capacity)
        Reserve(qMax(16, size * 2), withCells);
    Entry *entry = Slot(key);
    if (entry->m_value) {
        *inserted = false;
        return entry;
    }
    entry->key = key;
    entry->m_value = reinterpret_cast<quintptr>(good);
    if (cells)
        cells[entry - entries] = RowHash();
    ++size;
    *inserted = true;
    return entry;
}
