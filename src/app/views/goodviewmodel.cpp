#include "goodviewmodel.h"

#include "catmodel.h"
#include "good.h"

GoodViewModel::GoodViewModel(QObject *parent)
    : QAbstractListModel(parent)
{
    qRegisterMetaType<Good *>("Good *");
    // A row's display value converts to the good's name, for whatever reads
    // the list as text (type-ahead search, accessibility).
    if (!QMetaType::hasRegisteredConverterFunction<Good *, QString>()) {
        QMetaType::registerConverter<Good *, QString>([](Good *good) {
            return good && good->source ? good->Name(good->Row()) : QString();
        });
    }
}

int GoodViewModel::rowCount(const QModelIndex &parent) const
{
    // A list: no row has children.
    return parent.isValid() ? 0 : m_goods.size();
}

QVariant GoodViewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole || index.row() >= m_goods.size())
        return QVariant();
    return QVariant::fromValue(m_goods.at(index.row()));
}

QVariant GoodViewModel::headerData(int, Qt::Orientation, int) const
{
    return QVariant();
}

Qt::ItemFlags GoodViewModel::flags(const QModelIndex &index) const
{
    // Nothing can be done with the invisible root item.
    if (!index.isValid())
        return Qt::NoItemFlags;
    return QAbstractListModel::flags(index) | Qt::ItemIsEnabled;
}

void GoodViewModel::AddGoods(const QList<Good *> &goods)
{
    if (goods.isEmpty())
        return;
    const int first = m_goods.size();
    if (!m_filling)
        beginInsertRows(QModelIndex(), first, first + goods.size() - 1);
    // Grow geometrically: a walk calls this once per category.
    const int needed = first + goods.size();
    if (needed > m_goods.capacity())
        m_goods.reserve(qMax(needed, 2 * m_goods.capacity()));
    for (Good *good : goods)
        m_goods.append(good);
    if (!m_filling)
        endInsertRows();
}

void GoodViewModel::AddGood(Good *good)
{
    const int row = m_goods.size();
    if (!m_filling)
        beginInsertRows(QModelIndex(), row, row);
    m_goods.append(good);
    if (!m_filling)
        endInsertRows();
}

void GoodViewModel::Fill(CatModel *category, const Filter *filter, bool recursive)
{
    beginResetModel();
    m_goods.clear();
    if (category) {
        m_goods.reserve(category->GoodCount(recursive));
        m_filling = true;
        category->QueryGoods(this, filter, recursive);
        m_filling = false;
    }
    endResetModel();
}

void GoodViewModel::SetGoods(const QVector<Good *> &goods)
{
    beginResetModel();
    m_goods = goods;
    endResetModel();
}

void GoodViewModel::ClearGoods()
{
    beginResetModel();
    m_goods.clear();
    endResetModel();
}

void GoodViewModel::RepaintAll()
{
    if (!m_goods.isEmpty())
        emit dataChanged(index(0), index(m_goods.size() - 1));
}

QModelIndex GoodViewModel::IndexOfGood(Good *good) const
{
    if (!good)
        return QModelIndex();
    const int row = m_goods.indexOf(good);
    return row < 0 ? QModelIndex() : index(row);
}
