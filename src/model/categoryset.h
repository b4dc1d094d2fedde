#pragma once

#include <QHash>
#include <QList>

struct CatModel;

// A set of categories that can never confuse a destroyed category with a new
// one allocated at the same address: each entry remembers the serial number
// of the node it was made for, and an entry whose node is gone matches
// nothing. Entries are never dereferenced by the set.
class CategorySet
{
public:
    void insert(const CatModel *category);
    void remove(const CatModel *category);
    bool contains(const CatModel *category) const;
    bool isEmpty() const { return m_entries.isEmpty(); }
    int size() const { return m_entries.size(); }
    void clear() { m_entries.clear(); }

    bool operator==(const CategorySet &other) const { return m_entries == other.m_entries; }

private:
    QHash<const CatModel *, quint64> m_entries;
};
