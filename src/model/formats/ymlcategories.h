#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include <QtGlobal>

// The categories of a YML catalogue: declared by id with a parent and a
// name, then resolved into paths of names from the top category down,
// joined by "/" ("Еда/Пицца/Острая"). Text is UTF-8. Used by one thread.
class YmlCategories final
{
public:
    // A later declaration of the same id replaces the earlier one.
    void Declare(const std::string &id, const std::string &parent, const std::string &name);
    // Gives every category its path. A parent may be declared after its
    // child; a parent that is not declared, or a loop of parents, makes a
    // top category. Unnamed categories add no level.
    void Resolve();
    // After Resolve(): the category's path, null when it is not declared.
    const std::string *Find(const std::string &id) const;
    int Count() const { return int(m_order.size()); }

private:
    struct Entry
    {
        std::string name;
        std::string parent;
        std::string path;
        int state = 0; // 0 not resolved, 1 being resolved, 2 resolved
    };
    std::unordered_map<std::string, Entry> m_byId;
    std::vector<std::string> m_order; // ids in the order of their first declaration

    // The index Find() reads: flat arrays, so that the lookup of every
    // offer's category stays in the processor's cache.
    struct Slot
    {
        quint64 hash = 0;
        int entry = -1;
    };
    std::vector<Slot> m_slots;    // a power of two, at most half full
    std::string m_ids;            // every id, one after another
    std::vector<size_t> m_starts; // where each id begins in m_ids, and the end
    std::vector<const std::string *> m_paths;
};
