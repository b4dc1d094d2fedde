#include "checkedstringlistmodel.h"

CheckedStringListModel::CheckedStringListModel(const QStringList &strings, Qt::CheckState initial,
                                               QObject *parent)
    : QStringListModel(strings, parent)
    , m_checkStates(strings.size(), initial)
    , m_resetState(initial)
{
    // Connected before any view, so the states follow the strings before a
    // view hears of the change.
    connect(this, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &, int first, int last) {
        m_checkStates.insert(first, last - first + 1, Qt::Unchecked);
    });
    connect(this, &QAbstractItemModel::rowsRemoved, this, [this](const QModelIndex &, int first, int last) {
        m_checkStates.remove(first, last - first + 1);
    });
    connect(this, &QAbstractItemModel::rowsMoved, this,
            [this](const QModelIndex &, int first, int last, const QModelIndex &, int destination) {
        const QVector<int> moved = m_checkStates.mid(first, last - first + 1);
        m_checkStates.remove(first, moved.size());
        const int to = destination > first ? destination - moved.size() : destination;
        for (int i = 0; i < moved.size(); ++i)
            m_checkStates.insert(to + i, moved.at(i));
    });
    connect(this, &QAbstractItemModel::modelReset, this, [this] {
        m_checkStates.fill(m_resetState, rowCount());
    });
}

bool CheckedStringListModel::HasState(const QModelIndex &index) const
{
    return index.isValid() && index.row() < m_checkStates.size();
}

Qt::ItemFlags CheckedStringListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return QStringListModel::flags(index);
    return QStringListModel::flags(index) | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled;
}

QVariant CheckedStringListModel::data(const QModelIndex &index, int role) const
{
    if (role == Qt::CheckStateRole && HasState(index))
        return m_checkStates.at(index.row());
    return QStringListModel::data(index, role);
}

bool CheckedStringListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role == Qt::CheckStateRole && HasState(index)) {
        m_checkStates[index.row()] = value.toInt();
        emit dataChanged(index, index, {Qt::CheckStateRole});
        return true;
    }
    return QStringListModel::setData(index, value, role);
}

void CheckedStringListModel::SetStrings(const QStringList &strings, Qt::CheckState initial)
{
    m_resetState = initial;
    setStringList(strings);
}

QStringList CheckedStringListModel::CheckedStrings() const
{
    const QStringList strings = stringList();
    QStringList checked;
    for (int row = 0; row < strings.size() && row < m_checkStates.size(); ++row) {
        if (m_checkStates.at(row) == Qt::Checked)
            checked.append(strings.at(row));
    }
    return checked;
}
