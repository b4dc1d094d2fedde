#include "digestmap.h"

#include <type_traits>

#include "platform.h"

static_assert(std::is_trivially_copyable<DigestMap::Entry>::value, "entries are moved as bytes");

namespace {

// A table is at most four fifths full: short probes, and a third less
// memory than a half-full one.
size_t TableSizeFor(size_t count)
{
    size_t size = 16;
    while (size * 4 < count * 5)
        size *= 2;
    return size;
}

} // namespace

DigestMap::~DigestMap() = default;

DigestMap::Part::~Part()
{
    Free(entries, capacity);
    Free(cells, capacity);
    Free(marks, capacity);
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

void DigestMap::KeepMarks()
{
    for (Part &part : m_parts) {
        if (!part.marks && part.capacity > 0)
            part.marks = Allocate<uchar>(part.capacity);
    }
    m_withMarks = true;
}

void DigestMap::Reserve(int count)
{
    // A random split puts half the keys in each part, give or take a few
    // standard deviations (sqrt(count) / 2 each); a part that still gets
    // more grows by itself.
    int margin = 16;
    while (margin * margin < count)
        margin *= 2;
    for (Part &part : m_parts)
        part.Reserve(count / 2 + margin, m_withCells, m_withMarks);
}

void DigestMap::Part::Reserve(int count, bool withCells, bool withMarks)
{
    if (TableSizeFor(size_t(count)) <= capacity)
        return;
    Entry *oldEntries = entries;
    RowHash *oldCells = cells;
    uchar *oldMarks = marks;
    const size_t oldCapacity = capacity;
    capacity = TableSizeFor(size_t(count));
    entries = Allocate<Entry>(capacity);
    cells = withCells ? Allocate<RowHash>(capacity) : nullptr;
    marks = withMarks ? Allocate<uchar>(capacity) : nullptr;
    for (size_t i = 0; i < oldCapacity; ++i) {
        const Entry &entry = oldEntries[i];
        if (entry.m_value) {
            Entry *slot = Slot(entry.key);
            *slot = entry;
            if (cells)
                cells[slot - entries] = oldCells[i];
            if (marks && oldMarks)
                marks[slot - entries] = oldMarks[i];
        }
    }
    Free(oldEntries, oldCapacity);
    Free(oldCells, oldCapacity);
    Free(oldMarks, oldCapacity);
}

DigestMap::Entry *DigestMap::Part::Slot(const RowHash &key)
{
    const size_t mask = capacity - 1;
    for (size_t i = size_t(key.a) & mask;; i = (i + 1) & mask) {
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

DigestMap::Entry *DigestMap::Part::Insert(const RowHash &key, Good *good, bool *inserted, bool withCells,
                                          bool withMarks)
{
    if (TableSizeFor(size_t(size + 1)) > capacity)
        Reserve(qMax(16, size * 2), withCells, withMarks);
    Entry *entry = Slot(key);
    if (entry->m_value) {
        *inserted = false;
        return entry;
    }
    entry->key = key;
    entry->m_value = reinterpret_cast<quintptr>(good);
    if (cells)
        cells[entry - entries] = RowHash();
    if (marks)
        marks[entry - entries] = 0;
    ++size;
    *inserted = true;
    return entry;
}
