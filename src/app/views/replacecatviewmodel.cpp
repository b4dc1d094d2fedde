#include "replacecatviewmodel.h"

namespace {

enum Column { RuleColumn = 0, ToColumn = 1, MergeColumn = 2, ColumnCount = 3 };

} // namespace

ReplaceCatViewModel::ReplaceCatViewModel(const QMap<CategoryRule, RenameTarget> &rename, QObject *parent)
    : QAbstractListModel(parent)
{
    m_rows.reserve(rename.size());
    for (auto it = rename.cbegin(); it != rename.cend(); ++it)
        m_rows.append(Row{it.key(), it.value().to, it.value().merge});
}

bool ReplaceCatViewModel::IsRow(const QModelIndex &index) const
{
    return index.isValid() && index.model() == this && index.row() < m_rows.size() && index.column() < ColumnCount;
}

int ReplaceCatViewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows.size();
}

int ReplaceCatViewModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

Qt::ItemFlags ReplaceCatViewModel::flags(const QModelIndex &index) const
{
    const Qt::ItemFlags base = QAbstractListModel::flags(index);
    if (!IsRow(index))
        return base;
    return index.column() == MergeColumn ? base | Qt::ItemIsUserCheckable : base | Qt::ItemIsEditable;
}

QVariant ReplaceCatViewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    switch (section) {
    case RuleColumn:
        return tr("Категория оффера");
    case ToColumn:
        return tr("Переименованная категория");
    case MergeColumn:
        return tr("Объединить подкатегории");
    default:
        return QVariant();
    }
}

QVariant ReplaceCatViewModel::data(const QModelIndex &index, int role) const
{
    if (!IsRow(index))
        return QVariant();
    const Row &row = m_rows.at(index.row());
    const bool text = role == Qt::DisplayRole || role == Qt::EditRole;
    switch (index.column()) {
    case RuleColumn:
        return text ? row.rule.ToText() : QVariant();
    case ToColumn:
        return text ? row.to : QVariant();
    case MergeColumn:
        return role == Qt::CheckStateRole ? (row.merge ? Qt::Checked : Qt::Unchecked) : QVariant();
    default:
        return QVariant();
    }
}

bool ReplaceCatViewModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!IsRow(index))
        return false;
    Row &row = m_rows[index.row()];
    if (role == Qt::CheckStateRole && index.column() == MergeColumn) {
        row.merge = value.toInt() == Qt::Checked;
    } else if (role == Qt::EditRole && index.column() == RuleColumn) {
        row.rule = CategoryRule::FromText(value.toString());
    } else if (role == Qt::EditRole && index.column() == ToColumn) {
        row.to = value.toString();
    } else {
        return false;
    }
    if (role == Qt::CheckStateRole)
        emit dataChanged(index, index, {Qt::CheckStateRole});
    else
        emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

bool ReplaceCatViewModel::insertRows(int row, int count, const QModelIndex &parent)
{
    if (count < 1 || row < 0 || row > m_rows.size() || parent.isValid())
        return false;
    beginInsertRows(parent, row, row + count - 1);
    const Row empty{CategoryRule::FromText(QString()), QString(), false};
    for (int i = 0; i < count; ++i)
        m_rows.insert(row, empty);
    endInsertRows();
    return true;
}

bool ReplaceCatViewModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (count < 1 || row < 0 || row + count > m_rows.size() || parent.isValid())
        return false;
    beginRemoveRows(parent, row, row + count - 1);
    m_rows.erase(m_rows.begin() + row, m_rows.begin() + row + count);
    endRemoveRows();
    return true;
}
