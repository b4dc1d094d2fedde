#pragma once

#include "categoryset.h"

#include <QSet>
#include <QString>

struct Good;

// Which goods take part in a view or an export: a price range, the discount
// switch, a set of vendors, a search text (found, case aside, in a good's
// name, vendor or id) and the categories whose own goods are left out. The tree walk asks the filter about each category and good;
// the filter never walks goods itself. Vendors are pointers into the model's
// vendor registry. FilterOptions reads a filter from the project's options
// and stores it there.
class Filter
{
public:
    Filter() = default;
    virtual ~Filter() = default;

    // The test of one good; unchecked categories are the walk's business.
    bool Accepts(const Good *good) const;
    // True when any test but the unchecked categories is set.
    bool IsActive() const;

    CategorySet uncheckedCategories;
    QString searchText;
    QSet<const QString *> vendors;
    qint32 priceLow = -1;
    qint32 priceHigh = -1;
    bool discountOnly = false;
};
