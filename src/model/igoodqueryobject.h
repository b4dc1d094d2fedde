#pragma once

#include <QList>

struct Good;

// A visitor of goods: the category tree hands it the goods of a walk, a
// whole category list at once when nothing is tested per good, otherwise
// each good that passed the filter. Both calls mean the same. The list given
// to AddGoods() is the category's live list: a visitor that removes goods
// must not iterate it while it changes. Visitors are never deleted through
// this interface.
class IGoodQueryObject
{
public:
    virtual void AddGoods(const QList<Good *> &goods) = 0;
    virtual void AddGood(Good *good) = 0;

protected:
    ~IGoodQueryObject() = default;
};
