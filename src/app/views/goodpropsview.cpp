#include "goodpropsview.h"

GoodPropsView::GoodPropsView(const QVector<Property> &properties, QObject *parent)
    : QAbstractListModel(parent)
    , m_properties(properties)
{
}

int GoodPropsView::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_properties.size();
}

int GoodPropsView::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant GoodPropsView::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || index.row() >= m_properties.size())
        return QVariant();
    const Property &property = m_properties.at(index.row());
    switch (index.column()) {
    case 0:
        return property.first;
    case 1:
        return property.second;
    default:
        return QVariant();
    }
}

QVariant GoodPropsView::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case 0:
        return tr("Свойство");
    case 1:
        return tr("Значение");
    default:
        return QVariant();
    }
}
