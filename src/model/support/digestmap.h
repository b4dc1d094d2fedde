#pragma once

#include "rowhash.h"

#include <utility>

struct Good;

// Goods by the digest of their identity key, for the duplicate removal and
// the base load that follows it: one flat table, so that a lookup among a
// million goods costs one memory access instead of a walk through separately
// allocated nodes. A base load also keeps the digest of each good's compared
// cells, in a second table beside the first (only then: a plain duplicate
// removal spares the memory), and marks the keys its rows have met: a later
// base row with such a key repeats one before it.
class DigestMap
{
public:
    struct Entry
    {
        RowHash key;

        Good *Value() const { return reinterpret_cast<Good *>(m_value & ~kMetBit); }
        bool Met() const { return (m_value & kMetBit) != 0; }

    private:
        friend class DigestMap;
        // A good lies at an even address: the lowest bit is the mark, so
        // that an entry stays as small as a digest and a pointer.
        static const quintptr kMetBit = 1;
        quintptr m_value = 0; // 0: a free slot
    };

    DigestMap() = default;
    ~DigestMap();
    DigestMap(const DigestMap &) = delete;
    DigestMap &operator=(const DigestMap &) = delete;
    DigestMap(DigestMap &&other) noexcept { Swap(other); }
    DigestMap &operator=(DigestMap &&other) noexcept
    {
        Swap(other);
        return *this;
    }
    void Swap(DigestMap &other) noexcept
    {
        std::swap(m_entries, other.m_entries);
        std::swap(m_cells, other.m_cells);
        std::swap(m_withCells, other.m_withCells);
        std::swap(m_capacity, other.m_capacity);
        std::swap(m_size, other.m_size);
    }

    // Keep the digests of the compared cells too; before the first Insert().
    void KeepCells() { m_withCells = true; }
    void Reserve(int count);
    // The entry of the key, or null when there is none.
    Entry *Find(const RowHash &key);
    // The entry of the key; a new one (holding good, not null) when the key
    // is new. inserted tells which. May move every entry.
    Entry *Insert(const RowHash &key, Good *good, bool *inserted);
    static void MarkMet(Entry *entry) { entry->m_value |= Entry::kMetBit; }
    // Asks the processor to fetch where the key's entry would lie, ahead of
    // a lookup.
    void Prefetch(const RowHash &key) const
    {
        if (!m_entries)
            return;
        const size_t slot = size_t(key.a) & (m_capacity - 1);
        __builtin_prefetch(m_entries + slot);
        if (m_cells)
            __builtin_prefetch(m_cells + slot);
    }
    // The digest of the compared cells of an entry (KeepCells() only).
    RowHash &Cells(const Entry *entry) { return m_cells[entry - m_entries]; }
    int Size() const { return m_size; }
    Good *Value(const RowHash &key)
    {
        Entry *entry = Find(key);
        return entry ? entry->Value() : nullptr;
    }

private:
    Entry *Slot(const RowHash &key);
    void Grow();

    template<typename T>
    static T *Allocate(size_t count);
    template<typename T>
    static void Free(T *items, size_t count);

    Entry *m_entries = nullptr; // a power of two of them
    RowHash *m_cells = nullptr; // as many, with KeepCells()
    bool m_withCells = false;
    size_t m_capacity = 0;
    int m_size = 0;
};
