#include "ymlcategories.h"

#include <cstring>
#include <string_view>

void YmlCategories::Declare(const std::string &id, const std::string &parent, const std::string &name)
{
    const auto added = m_byId.emplace(id, Entry());
    if (added.second)
        m_order.push_back(id);
    added.first->second.parent = parent;
    added.first->second.name = name;
}

void YmlCategories::Resolve()
{
    std::vector<Entry *> chain;
    for (const std::string &id : m_order) {
        Entry *entry = &m_byId[id];
        if (entry->state == 2)
            continue;
        // Up to a resolved ancestor, a top category or a loop...
        chain.clear();
        const std::string *above = nullptr;
        for (;;) {
            entry->state = 1;
            chain.push_back(entry);
            const auto parent = entry->parent.empty() ? m_byId.end() : m_byId.find(entry->parent);
            if (parent == m_byId.end() || parent->second.state == 1)
                break;
            if (parent->second.state == 2) {
                above = &parent->second.path;
                break;
            }
            entry = &parent->second;
        }
        // ...and down again, each path from the one above.
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            Entry *node = *it;
            node->path = above ? *above : std::string();
            if (!node->name.empty()) {
                if (!node->path.empty())
                    node->path += '/';
                node->path += node->name;
            }
            node->state = 2;
            above = &node->path;
        }
    }

    size_t size = 16;
    while (size < m_order.size() * 2)
        size *= 2;
    m_slots.assign(size, Slot());
    m_ids.clear();
    m_starts.clear();
    m_paths.clear();
    for (const std::string &id : m_order) {
        const int entry = int(m_paths.size());
        m_starts.push_back(m_ids.size());
        m_ids += id;
        m_paths.push_back(&m_byId.at(id).path);
        const quint64 hash = std::hash<std::string_view>()(id);
        size_t slot = size_t(hash) & (size - 1);
        while (m_slots[slot].entry >= 0)
            slot = (slot + 1) & (size - 1);
        m_slots[slot] = {hash, entry};
    }
    m_starts.push_back(m_ids.size());
}

const std::string *YmlCategories::Find(const std::string &id) const
{
    if (m_slots.empty())
        return nullptr;
    const quint64 hash = std::hash<std::string_view>()(id);
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = size_t(hash) & mask;; slot = (slot + 1) & mask) {
        const Slot &at = m_slots[slot];
        if (at.entry < 0)
            return nullptr;
        const size_t start = m_starts[size_t(at.entry)];
        if (at.hash == hash && m_starts[size_t(at.entry) + 1] - start == id.size()
                && std::memcmp(m_ids.data() + start, id.data(), id.size()) == 0)
            return m_paths[size_t(at.entry)];
    }
}
