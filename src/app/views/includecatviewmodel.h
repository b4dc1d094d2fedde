#pragma once

#include <QAbstractListModel>
#include <QList>

#include "categoryrule.h"

// The include or the exclude list of an offer being edited: one rule per
// row, shown in its text form. Works on a copy; the editor writes the rules
// back to the offer. A rule already in the list is refused.
class IncludeCatViewModel : public QAbstractListModel
{
    Q_OBJECT

public:
    IncludeCatViewModel(const QList<CategoryRule> &rules, bool include, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    bool insertRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;

    const QList<CategoryRule> &Rules() const { return m_rules; }

protected:
    // Tells the user that a typed rule is already in the list.
    virtual void WarnDuplicate();

private:
    Q_DISABLE_COPY(IncludeCatViewModel)

    bool IsRow(const QModelIndex &index) const;

    bool IsDuplicate(int row, const CategoryRule &rule) const;

    QList<CategoryRule> m_rules;
    bool m_include;
};
