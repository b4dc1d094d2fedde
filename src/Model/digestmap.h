#pragma once

#include "rowhash.h"

#include <utility>

struct Good;

// Goods by the digest of their identity key, for the duplicate removal and
// the base load that follows it: one flat table, so that a lookup among a
// million goods costs one memory access instead of a walk through separately
// allocated nodes. Each entry also holds the digest of the good's compared
// cells. A removed entry keeps its place and no longer matches.
class DigestMap
{
public:
    struct Entry
    {
        RowHash key;
        RowHash cells;
        Good *good = nullptr;
        bool used = false;
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
        std::swap(m_capacity, other.m_capacity);
        std::swap(m_size, other.m_size);
        std::swap(m_used, other.m_used);
    }

    void Reserve(int count);
    // The entry of the key, or null when there is none (or it was removed).
    Entry *Find(const RowHash &key);
    // The entry of the key; a new one (holding good) when the key is new.
    // inserted tells which.
    Entry *Insert(const RowHash &key, Good *good, bool *inserted);
    void Remove(Entry *entry);
    int Size() const { return m_size; }
    Good *Value(const RowHash &key)
    {
        Entry *entry = Find(key);
        return entry ? entry->good : nullptr;
    }

private:
    Entry *Slot(const RowHash &key);
    void Grow();

    static Entry *Allocate(size_t count);
    static void Free(Entry *entries, size_t count);

    Entry *m_entries = nullptr; // a power of two of them
    size_t m_capacity = 0;
    int m_size = 0;
    int m_used = 0;
};
