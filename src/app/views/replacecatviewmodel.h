#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QMap>

#include "categoryrule.h"

// The rename table of an offer being edited: per row the rule, the new path
// and whether the matched subcategories merge into it. Works on a copy; the
// editor builds the offer's rename map from the rows.
class ReplaceCatViewModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    struct Row
    {
        CategoryRule rule;
        QString to;
        bool merge = false;
    };

    explicit ReplaceCatViewModel(const QMap<CategoryRule, RenameTarget> &rename, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    bool insertRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;

    const QList<Row> &Rows() const { return m_rows; }

private:
    Q_DISABLE_COPY(ReplaceCatViewModel)

    bool IsRow(const QModelIndex &index) const;

    QList<Row> m_rows;
};
