#include "digestmap.h"

namespace {

size_t TableSizeFor(size_t count)
{
    size_t size = 16;
    while (size < count * 2)
        size *= 2;
    return size;
}

} // namespace

void DigestMap::Reserve(int count)
{
    if (size_t(count) * 2 <= m_entries.size())
        return;
    std::vector<Entry> old;
    old.swap(m_entries);
    m_entries.assign(TableSizeFor(size_t(count)), Entry());
    m_used = 0;
    m_size = 0;
    for (const Entry &entry : old) {
        if (entry.used && entry.good) {
            Entry *slot = Slot(entry.key);
            *slot = entry;
            ++m_used;
            ++m_size;
        }
    }
}

DigestMap::Entry *DigestMap::Slot(const RowHash &key)
{
    const size_t mask = m_entries.size() - 1;
    for (size_t i = size_t(key.a) & mask;; i = (i + 1) & mask) {
        Entry &entry = m_entries[i];
        if (!entry.used || entry.key == key)
            return &entry;
    }
}

DigestMap::Entry *DigestMap::Find(const RowHash &key)
{
    if (m_entries.empty())
        return nullptr;
    Entry *entry = Slot(key);
    return entry->used && entry->good ? entry : nullptr;
}

void DigestMap::Grow()
{
    Reserve(qMax(16, m_used * 2));
}

DigestMap::Entry *DigestMap::Insert(const RowHash &key, Good *good, bool *inserted)
{
    if (size_t(m_used + 1) * 2 > m_entries.size())
        Grow();
    Entry *entry = Slot(key);
    if (entry->used && entry->good) {
        *inserted = false;
        return entry;
    }
    if (!entry->used)
        ++m_used;
    entry->used = true;
    entry->key = key;
    entry->good = good;
    entry->cells = RowHash();
    ++m_size;
    *inserted = true;
    return entry;
}

void DigestMap::Remove(Entry *entry)
{
    if (entry && entry->good) {
        entry->good = nullptr;
        --m_size;
    }
}
