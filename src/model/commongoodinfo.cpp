#include "commongoodinfo.h"

#include "good.h"

void CommonGoodInfo::AddGoods(const QList<Good *> &goods)
{
    for (const Good *good : goods)
        Include(good);
}

void CommonGoodInfo::AddGood(Good *good)
{
    Include(good);
}

void CommonGoodInfo::Include(const Good *good)
{
    minPrice = qMin(minPrice, good->price);
    maxPrice = qMax(maxPrice, good->price);
}

void CommonGoodInfo::Reset()
{
    minPrice = std::numeric_limits<qint32>::max();
    maxPrice = std::numeric_limits<qint32>::min();
}

void CommonGoodInfo::Merge(const CommonGoodInfo &other)
{
    minPrice = qMin(minPrice, other.minPrice);
    maxPrice = qMax(maxPrice, other.maxPrice);
}
