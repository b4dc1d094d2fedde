#include "categoryset.h"

void CategorySet::insert(const SerialNumbered *category)
{
    if (category)
        m_entries.insert(category, category->Serial());
}

void CategorySet::remove(const SerialNumbered *category)
{
    m_entries.remove(category);
}

bool CategorySet::contains(const SerialNumbered *category) const
{
    if (!category)
        return false;
    const auto it = m_entries.constFind(category);
    return it != m_entries.constEnd() && it.value() == category->Serial();
}
