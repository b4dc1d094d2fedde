#pragma once

#include "igoodqueryobject.h"

#include <limits>

#include <QtGlobal>

// The price range of a set of goods. While nothing has been included the
// lowest price is above the highest. A good without a price counts as -1.
class CommonGoodInfo : public IGoodQueryObject
{
public:
    CommonGoodInfo() = default;
    virtual ~CommonGoodInfo() = default;

    void AddGoods(const QList<Good *> &goods) override;
    void AddGood(Good *good) override;
    virtual void Include(const Good *good);

    void Reset();
    void Merge(const CommonGoodInfo &other);
    bool IsEmpty() const { return minPrice > maxPrice; }

    qint32 minPrice = std::numeric_limits<qint32>::max();
    qint32 maxPrice = std::numeric_limits<qint32>::min();
};
