#pragma once

#include <cstring>
#include <vector>

#include <QtGlobal>

#define XXH_INLINE_ALL
#include <xxhash.h>

// A small map from byte strings to values for the loader's per-row lookups
// (a row's category, offer and vendor cells): looked up straight from the
// feed's bytes, without building a string for the key, in one flat table
// whose keys lie one after another in one block.
template<typename Value>
class ByteMap
{
public:
    static quint64 HashOf(const char *data, int size) { return XXH3_64bits(data, size_t(size)); }

    int Size() const { return int(m_size); }

    // The value of the key, or null when it is not in the map.
    Value *Find(const char *data, int size, quint64 hash)
    {
        if (m_entries.empty())
            return nullptr;
        const size_t mask = m_entries.size() - 1;
        for (size_t i = size_t(hash) & mask;; i = (i + 1) & mask) {
            Entry &entry = m_entries[i];
            if (entry.size < 0)
                return nullptr;
            // (An empty key may lie where no key bytes were stored yet: no
            // bytes to compare, and none to hand memcmp.)
            if (entry.hash == hash && entry.size == size
                    && (size == 0 || std::memcmp(m_keys.data() + entry.offset, data, size_t(size)) == 0))
                return &entry.value;
        }
    }

    // Stores a copy of the key; the key must not be in the map yet.
    Value &Insert(const char *data, int size, quint64 hash, const Value &value)
    {
        if ((m_size + 1) * 2 > m_entries.size())
            Grow();
        const size_t mask = m_entries.size() - 1;
        size_t i = size_t(hash) & mask;
        while (m_entries[i].size >= 0)
            i = (i + 1) & mask;
        Entry &entry = m_entries[i];
        entry.hash = hash;
        entry.offset = m_keys.size();
        entry.size = size;
        entry.value = value;
        m_keys.insert(m_keys.end(), data, data + size);
        ++m_size;
        return entry.value;
    }

private:
    struct Entry
    {
        quint64 hash = 0;
        size_t offset = 0;
        int size = -1; // -1: a free slot
        Value value{};
    };

    void Grow()
    {
        std::vector<Entry> old;
        old.swap(m_entries);
        m_entries.resize(old.empty() ? 64 : old.size() * 2);
        const size_t mask = m_entries.size() - 1;
        for (const Entry &entry : old) {
            if (entry.size < 0)
                continue;
            size_t i = size_t(entry.hash) & mask;
            while (m_entries[i].size >= 0)
                i = (i + 1) & mask;
            m_entries[i] = entry;
        }
    }

    std::vector<Entry> m_entries;
    std::vector<char> m_keys;
    size_t m_size = 0;
};
