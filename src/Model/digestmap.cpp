#include "digestmap.h"

#include <cstdlib>
#include <type_traits>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

static_assert(std::is_trivially_copyable<DigestMap::Entry>::value, "entries are moved as bytes");

namespace {

size_t TableSizeFor(size_t count)
{
    size_t size = 16;
    while (size < count * 2)
        size *= 2;
    return size;
}

} // namespace

DigestMap::~DigestMap()
{
    Free(m_entries, m_capacity);
}

DigestMap::Entry *DigestMap::Allocate(size_t count)
{
    const size_t bytes = count * sizeof(Entry);
#ifdef Q_OS_LINUX
    // A table of a million goods spans many pages; large pages spare the
    // lookups most of their address translation misses.
    if (bytes >= (size_t(2) << 20)) {
        void *memory = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory != MAP_FAILED) {
            ::madvise(memory, bytes, MADV_HUGEPAGE);
            return static_cast<Entry *>(memory); // anonymous pages arrive zeroed: every entry unused
        }
    }
#endif
    return static_cast<Entry *>(std::calloc(count, sizeof(Entry)));
}

void DigestMap::Free(Entry *entries, size_t count)
{
    if (!entries)
        return;
#ifdef Q_OS_LINUX
    const size_t bytes = count * sizeof(Entry);
    if (bytes >= (size_t(2) << 20)) {
        ::munmap(entries, bytes);
        return;
    }
#endif
    std::free(entries);
}

void DigestMap::Reserve(int count)
{
    if (size_t(count) * 2 <= m_capacity)
        return;
    Entry *old = m_entries;
    const size_t oldCapacity = m_capacity;
    m_capacity = TableSizeFor(size_t(count));
    m_entries = Allocate(m_capacity);
    m_used = 0;
    m_size = 0;
    for (size_t i = 0; i < oldCapacity; ++i) {
        const Entry &entry = old[i];
        if (entry.used && entry.good) {
            Entry *slot = Slot(entry.key);
            *slot = entry;
            ++m_used;
            ++m_size;
        }
    }
    Free(old, oldCapacity);
}

DigestMap::Entry *DigestMap::Slot(const RowHash &key)
{
    const size_t mask = m_capacity - 1;
    for (size_t i = size_t(key.a) & mask;; i = (i + 1) & mask) {
        Entry &entry = m_entries[i];
        if (!entry.used || entry.key == key)
            return &entry;
    }
}

DigestMap::Entry *DigestMap::Find(const RowHash &key)
{
    if (!m_entries)
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
    if (size_t(m_used + 1) * 2 > m_capacity)
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
