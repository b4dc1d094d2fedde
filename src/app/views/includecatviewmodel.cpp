#include "includecatviewmodel.h"

#include <QColor>
#include <QMessageBox>

IncludeCatViewModel::IncludeCatViewModel(const QList<CategoryRule> &rules, bool include, QObject *parent)
    : QAbstractListModel(parent)
    , m_rules(rules)
    , m_include(include)
{
}

bool IncludeCatViewModel::IsRow(const QModelIndex &index) const
{
    return index.isValid() && index.model() == this && index.row() < m_rules.size() && index.column() == 0;
}

int IncludeCatViewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rules.size();
}

Qt::ItemFlags IncludeCatViewModel::flags(const QModelIndex &index) const
{
    if (!IsRow(index))
        return QAbstractListModel::flags(index);
    return QAbstractListModel::flags(index) | Qt::ItemIsEditable;
}

QVariant IncludeCatViewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section != 0 || orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    return m_include ? tr("Оставить") : tr("Удалить");
}

QVariant IncludeCatViewModel::data(const QModelIndex &index, int role) const
{
    if (!IsRow(index))
        return QVariant();
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return m_rules.at(index.row()).ToText();
    case Qt::BackgroundRole: {
        // A row still waiting for its rule stands out.
        static const QColor filled(Qt::white);
        static const QColor empty(255, 200, 200);
        return m_rules.at(index.row()).ToText().isEmpty() ? empty : filled;
    }
    default:
        return QVariant();
    }
}

bool IncludeCatViewModel::IsDuplicate(int row, const CategoryRule &rule) const
{
    // Empty rows are placeholders, not rules: any number of them may wait.
    if (rule.ToText().isEmpty())
        return false;
    if (m_rules.at(row) == rule)
        return m_rules.count(rule) > 1;
    return m_rules.contains(rule);
}

bool IncludeCatViewModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !IsRow(index))
        return false;
    const CategoryRule rule = CategoryRule::FromText(value.toString());
    if (IsDuplicate(index.row(), rule)) {
        WarnDuplicate();
        return false;
    }
    m_rules[index.row()] = rule;
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole, Qt::BackgroundRole});
    return true;
}

void IncludeCatViewModel::WarnDuplicate()
{
    QMessageBox::warning(nullptr, tr("Ошибка"), tr("Эта категория уже есть в списке"));
}

bool IncludeCatViewModel::insertRows(int row, int count, const QModelIndex &parent)
{
    if (count < 1 || row < 0 || row > m_rules.size() || parent.isValid())
        return false;
    beginInsertRows(parent, row, row + count - 1);
    const CategoryRule empty = CategoryRule::FromText(QString());
    for (int i = 0; i < count; ++i)
        m_rules.insert(row, empty);
    endInsertRows();
    return true;
}

bool IncludeCatViewModel::removeRows(int row, int count, const QModelIndex &parent)
{
    if (count < 1 || row < 0 || row + count > m_rules.size() || parent.isValid())
        return false;
    beginRemoveRows(parent, row, row + count - 1);
    m_rules.erase(m_rules.begin() + row, m_rules.begin() + row + count);
    endRemoveRows();
    return true;
}
