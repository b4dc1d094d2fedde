#include "defaultgoodqueryobject.h"

void DefaultGoodQueryObject::AddGoods(const QList<Good *> &goods)
{
    m_target->reserve(m_target->size() + goods.size() + 50);
    m_target->append(goods);
}

void DefaultGoodQueryObject::AddGood(Good *good)
{
    m_target->append(good);
}
