#include "categoryset.h"

#include "catmodel.h"

#include <QSet>

void CategorySet::insert(const CatModel *category)
{
    if (category)
        m_entries.insert(category, category->serial);
}

void CategorySet::remove(const CatModel *category)
{
    m_entries.remove(category);
}

bool CategorySet::contains(const CatModel *category) const
{
    if (!category)
        return false;
    const auto it = m_entries.constFind(category);
    return it != m_entries.constEnd() && it.value() == category->serial;
}
