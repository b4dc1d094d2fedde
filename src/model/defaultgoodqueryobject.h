#pragma once

#include "igoodqueryobject.h"

// Collects the goods of a walk into a list that the caller owns.
class DefaultGoodQueryObject final : public IGoodQueryObject
{
public:
    explicit DefaultGoodQueryObject(QList<Good *> *target) : m_target(target) {}
    virtual ~DefaultGoodQueryObject() = default;

    void AddGoods(const QList<Good *> &goods) override;
    void AddGood(Good *good) override;

private:
    QList<Good *> *m_target;
};
