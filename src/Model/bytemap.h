#pragma once

#include <cstring>
#include <vector>

#include <QByteArray>
#include <QtGlobal>

// A small map from byte strings to values for the loader's per-row lookups
// (a row's category, offer and vendor cells): looked up straight from the
// reader's buffer, without building a string for the key, in one flat table.
template<typename Value>
class ByteMap
{
public:
    static quint64 HashOf(const char *data, int size)
    {
        quint64 hash = 0x9E3779B97F4A7C15ULL ^ quint64(size);
        while (size >= 8) {
            quint64 word;
            std::memcpy(&word, data, 8);
            hash = Mix(hash ^ word);
            data += 8;
            size -= 8;
        }
        quint64 word = 0;
        std::memcpy(&word, data, size_t(size));
        return Mix(hash ^ word ^ 0xFF);
    }

    int Size() const { return int(m_size); }

    // The value of the key, or null when it is not in the map.
    Value *Find(const char *data, int size, quint64 hash)
    {
        if (m_entries.empty())
            return nullptr;
        const size_t mask = m_entries.size() - 1;
        for (size_t i = size_t(hash) & mask;; i = (i + 1) & mask) {
            Entry &entry = m_entries[i];
            if (!entry.used)
                return nullptr;
            if (entry.hash == hash && entry.key.size() == size
                    && std::memcmp(entry.key.constData(), data, size_t(size)) == 0)
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
        while (m_entries[i].used)
            i = (i + 1) & mask;
        Entry &entry = m_entries[i];
        entry.used = true;
        entry.hash = hash;
        entry.key = QByteArray(data, size);
        entry.value = value;
        ++m_size;
        return entry.value;
    }

private:
    struct Entry
    {
        quint64 hash = 0;
        QByteArray key;
        Value value{};
        bool used = false;
    };

    static quint64 Mix(quint64 x)
    {
        const unsigned __int128 product = static_cast<unsigned __int128>(x) * 0xA0761D6478BD642FULL;
        return quint64(product) ^ quint64(product >> 64);
    }

    void Grow()
    {
        std::vector<Entry> old;
        old.swap(m_entries);
        m_entries.resize(old.empty() ? 64 : old.size() * 2);
        const size_t mask = m_entries.size() - 1;
        for (Entry &entry : old) {
            if (!entry.used)
                continue;
            size_t i = size_t(entry.hash) & mask;
            while (m_entries[i].used)
                i = (i + 1) & mask;
            m_entries[i] = std::move(entry);
        }
    }

    std::vector<Entry> m_entries;
    size_t m_size = 0;
};
