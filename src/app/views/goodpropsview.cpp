#include "goodpropsview.h"

#include <algorithm>

#include <QColor>
#include <QFont>

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
    if (!index.isValid() || index.row() >= m_properties.size())
        return QVariant();
    const auto note = m_notes.constFind(index.row());
    if (note != m_notes.constEnd()) {
        switch (role) {
        case Qt::FontRole: {
            QFont font;
            font.setBold(true);
            return font;
        }
        case Qt::BackgroundRole:
            // A wash of amber that dark and light themes both read through.
            return QColor(249, 168, 37, 80);
        case Qt::ToolTipRole:
            return note.value();
        default:
            break;
        }
    }
    if (role != Qt::DisplayRole)
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

void GoodPropsView::Mark(int row, const QString &note)
{
    if (row < 0 || row >= m_properties.size())
        return;
    m_notes.insert(row, note);
    emit dataChanged(index(row, 0), index(row, 1));
}

QString GoodPropsView::Text(const QModelIndexList &cells) const
{
    QModelIndexList sorted = cells;
    std::sort(sorted.begin(), sorted.end());
    QString text;
    int row = -1;
    for (const QModelIndex &cell : qAsConst(sorted)) {
        if (row >= 0)
            text += cell.row() == row ? QLatin1Char('\t') : QLatin1Char('\n');
        row = cell.row();
        text += data(cell, Qt::DisplayRole).toString();
    }
    return text;
}
