#include "digestmap.h"

#include <type_traits>

#include "platform.h"

static_assert(std::is_trivially_copyable<DigestMap::Entry>::value, "entries are moved as bytes");

namespace {

// The table is at most four fifths full: short probes, and a third less
// memory than a half-full one.
size_t TableSizeFor(size_t count)
{
    size_t size = 16;
    while (size * 4 < count * 5)
        size *= 2;
    return size;
}

} // namespace

DigestMap::~DigestMap()
{
    Free(m_entries, m_capacity);
    Free(m_cells, m_capacity);
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
    if (TableSizeFor(size_t(count)) <= m_capacity)
        return;
    Entry *oldEntries = m_entries;
    RowHash *oldCells = m_cells;
    const size_t oldCapacity = m_capacity;
    m_capacity = TableSizeFor(size_t(count));
    m_entries = Allocate<Entry>(m_capacity);
    m_cells = m_withCells ? Allocate<RowHash>(m_capacity) : nullptr;
    for (size_t i = 0; i < oldCapacity; ++i) {
        const Entry &entry = oldEntries[i];
        if (entry.m_value) {
            Entry *slot = Slot(entry.key);
            *slot = entry;
            if (m_cells)
                m_cells[slot - m_entries] = oldCells[i];
        }
    }
    Free(oldEntries, oldCapacity);
    Free(oldCells, oldCapacity);
}

DigestMap::Entry *DigestMap::Slot(const RowHash &key)
{
    const size_t mask = m_capacity - 1;
    for (size_t i = size_t(key.a) & mask;; i = (i + 1) & mask) {
        Entry &entry = m_entries[i];
        if (!entry.m_value || entry.key == key)
            return &entry;
    }
}

DigestMap::Entry *DigestMap::Find(const RowHash &key)
{
    if (!m_entries)
        return nullptr;
    Entry *entry = Slot(key);
    return entry->m_value ? entry : nullptr;
}

void DigestMap::Grow()
{
    Reserve(qMax(16, m_size * 2));
}

DigestMap::Entry *DigestMap::Insert(const RowHash &key, Good *good, bool *inserted)
{
    if (TableSizeFor(size_t(m_size + 1)) > m_capacity)
        Grow();
    Entry *entry = Slot(key);
    if (entry->m_value) {
        *inserted = false;
        return entry;
    }
    entry->key = key;
    entry->m_value = reinterpret_cast<quintptr>(good);
    if (m_cells)
        m_cells[entry - m_entries] = RowHash();
    ++m_size;
    *inserted = true;
    return entry;
}
