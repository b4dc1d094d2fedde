#pragma once

#include <QStringListModel>
#include <QVector>

// A list of strings, each with a check box. The check states run alongside
// the strings, one per row; rows inserted later start unchecked.
class CheckedStringListModel final : public QStringListModel
{
    Q_OBJECT

public:
    CheckedStringListModel(const QStringList &strings, Qt::CheckState initial, QObject *parent = nullptr);

    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

    // Replaces the whole list, every row in the given state.
    void SetStrings(const QStringList &strings, Qt::CheckState initial);
    // The checked strings, in row order.
    QStringList CheckedStrings() const;

private:
    Q_DISABLE_COPY(CheckedStringListModel)

    bool HasState(const QModelIndex &index) const;

    QVector<int> m_checkStates;
    Qt::CheckState m_resetState;
};
