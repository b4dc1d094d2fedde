#include "statuscounts.h"

#include "catmodel.h"
#include "igoodqueryobject.h"

StatusCounts StatusCounts::Of(const CatModel &category, const Filter *filter)
{
    struct Counter final : IGoodQueryObject
    {
        virtual ~Counter() = default;
        void AddGoods(const QList<Good *> &goods) override
        {
            for (const Good *good : goods)
                counts.Count(good);
        }
        void AddGood(Good *good) override { counts.Count(good); }
        StatusCounts counts;
    } counter;
    // The walk does not change the tree when the visitor only counts.
    const_cast<CatModel &>(category).QueryGoods(&counter, filter, true);
    return counter.counts;
}
