#include "ioviewmodel.h"

#include "source.h"

IOViewModel::IOViewModel(StableList<Source> *sources)
    : m_sources(sources)
{
}

int IOViewModel::rowCount(const QModelIndex &parent) const
{
    // A list: no row has children.
    if (parent.isValid() || !m_sources)
        return 0;
    return m_sources->size();
}

QVariant IOViewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_sources || index.row() >= m_sources->size())
        return QVariant();
    if (role == Qt::DisplayRole)
        return m_sources->at(index.row()).name;
    return QVariant();
}

QVariant IOViewModel::headerData(int, Qt::Orientation, int) const
{
    return QVariant();
}
