#pragma once

#include "rowhash.h"

#include <utility>

struct Good;

// Goods by the digest of their identity key, for the duplicate removal and
// the base load that follows it: flat tables, so that a lookup among a
// million goods costs one memory access instead of a walk through separately
// allocated nodes. A base load also keeps the digest of each good's compared
// cells, in a second table beside the first (only then: a plain duplicate
// removal spares the memory). The map itself is only read while a base
// loads: one thread looks keys up while another marks the goods found.
//
// The keys are split by a bit of their digest into two parts, each a table
// of its own that grows by itself (PartOf): two threads, each inserting only
// the keys of its own part with InsertInPart(), never touch the same memory,
// so that both processors fill the map at once.
class DigestMap
{
public:
    struct Entry
    {
        RowHash key;

        Good *Value() const { return reinterpret_cast<Good *>(m_value); }

    private:
        friend class DigestMap;
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
        m_parts[0].Swap(other.m_parts[0]);
        m_parts[1].Swap(other.m_parts[1]);
        std::swap(m_withCells, other.m_withCells);
    }

    // Keep the digests of the compared cells too; before the first Insert().
    void KeepCells() { m_withCells = true; }
    // Room for count keys without growing, as many as a random split puts
    // in each part.
    void Reserve(int count);
    // The entry of the key, or null when there is none.
    Entry *Find(const RowHash &key) { return m_parts[PartOf(key)].Find(key); }
    const Entry *Find(const RowHash &key) const { return m_parts[PartOf(key)].Find(key); }
    // The entry of the key; a new one (holding good, not null) when the key
    // is new. inserted tells which. May move every entry of the key's part.
    Entry *Insert(const RowHash &key, Good *good, bool *inserted)
    {
        return m_parts[PartOf(key)].Insert(key, good, inserted, m_withCells);
    }
    // The part of the map that holds the key: 0 or 1.
    static int PartOf(const RowHash &key) { return int(key.b >> 63); }
    // Insert() for one of two threads that fill the map at once: each may
    // insert only the keys of its own part.
    Entry *InsertInPart(int part, const RowHash &key, Good *good, bool *inserted)
    {
        return m_parts[part].Insert(key, good, inserted, m_withCells);
    }
    // Asks the processor to fetch where the key's entry would lie, ahead of
    // a lookup.
    void Prefetch(const RowHash &key) const { m_parts[PartOf(key)].Prefetch(key); }
    // The digest of the compared cells of an entry (KeepCells() only).
    RowHash &Cells(const Entry *entry)
    {
        const Part &part = PartHolding(entry);
        return part.cells[entry - part.entries];
    }
    const RowHash &Cells(const Entry *entry) const
    {
        const Part &part = PartHolding(entry);
        return part.cells[entry - part.entries];
    }
    int Size() const { return m_parts[0].size + m_parts[1].size; }
    Good *Value(const RowHash &key)
    {
        Entry *entry = Find(key);
        return entry ? entry->Value() : nullptr;
    }

private:
    struct Part
    {
        Entry *entries = nullptr; // capacity of them
        RowHash *cells = nullptr; // as many, with KeepCells()
        size_t capacity = 0;
        int size = 0;

        Part() = default;
        ~Part();
        Part(const Part &) = delete;
        Part &operator=(const Part &) = delete;
        void Swap(Part &other) noexcept
        {
            std::swap(entries, other.entries);
            std::swap(cells, other.cells);
            std::swap(capacity, other.capacity);
            std::swap(size, other.size);
        }
        Entry *Find(const RowHash &key);
        const Entry *Find(const RowHash &key) const { return const_cast<Part *>(this)->Find(key); }
        Entry *Insert(const RowHash &key, Good *good, bool *inserted, bool withCells);
        void Reserve(int count, bool withCells);
        bool Holds(const Entry *entry) const { return entry >= entries && entry < entries + capacity; }
        void Prefetch(const RowHash &key) const
        {
            if (!entries)
                return;
            const size_t slot = Home(key);
            __builtin_prefetch(entries + slot);
            if (cells)
                __builtin_prefetch(cells + slot);
        }
        Entry *Slot(const RowHash &key);
        // The slot where the key's probe begins: the high bits of the
        // product of the digest's low half and the capacity, so that any
        // capacity spreads the keys evenly.
        size_t Home(const RowHash &key) const
        {
#ifdef __SIZEOF_INT128__
            return size_t(static_cast<unsigned __int128>(key.a) * capacity >> 64);
#else
            const quint64 low = quint64(quint32(key.a)) * capacity;
            const quint64 high = (key.a >> 32) * capacity;
            return size_t((high + (low >> 32)) >> 32);
#endif
        }
    };

    const Part &PartHolding(const Entry *entry) const { return m_parts[0].Holds(entry) ? m_parts[0] : m_parts[1]; }

    template<typename T>
    static T *Allocate(size_t count);
    template<typename T>
    static void Free(T *items, size_t count);

    Part m_parts[2];
    bool m_withCells = false;
};
