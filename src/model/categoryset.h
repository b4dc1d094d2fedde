#pragma once

#include "serialnumbered.h"

#include <QHash>

// A set of categories (CatModel nodes) that can never confuse a destroyed
// category with a new one allocated at the same address: each entry
// remembers the serial number of the node it was made for, and an entry
// whose node is gone matches nothing. Entries are never dereferenced by the
// set.
class CategorySet
{
public:
    void insert(const SerialNumbered *category);
    void remove(const SerialNumbered *category);
    bool contains(const SerialNumbered *category) const;
    bool isEmpty() const { return m_entries.isEmpty(); }
    int size() const { return m_entries.size(); }
    void clear() { m_entries.clear(); }

    bool operator==(const CategorySet &other) const { return m_entries == other.m_entries; }

private:
    QHash<const SerialNumbered *, quint64> m_entries;
};
