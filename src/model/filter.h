#pragma once

#include "categoryset.h"

#include <QSet>
#include <QString>

class Model;
struct Good;

// Which goods take part in a view or an export: a price range, the discount
// switch, a set of vendors, a search text and the categories whose own goods
// are left out. The tree walk asks the filter about each category and good;
// the filter never walks goods itself. Vendors are pointers into the model's
// vendor registry.
class Filter
{
public:
    Filter() = default;
    // The filter stored in the model's options under a prefix. Categories it
    // names are found or created, and its vendors registered.
    Filter(Model &model, const QString &prefix);
    virtual ~Filter() = default;
    // Writes the filter into the model's options under a prefix, replacing
    // whatever was stored there: the other side of the constructor above.
    void Store(Model &model, const QString &prefix) const;

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
