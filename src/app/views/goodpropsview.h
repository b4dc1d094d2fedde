#pragma once

#include <QAbstractListModel>
#include <QHash>
#include <QModelIndexList>
#include <QPair>
#include <QString>
#include <QVector>

// The properties of one good as a two-column table: name and value.
class GoodPropsView final : public QAbstractListModel
{
    Q_OBJECT

public:
    using Property = QPair<QString, QString>;

    GoodPropsView(const QVector<Property> &properties, QObject *parent);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Marks a row whose value differs from the base's; the note (what the
    // base held) is its tooltip.
    void Mark(int row, const QString &note);
    bool IsMarked(int row) const { return m_notes.contains(row); }
    // The cells as text, a row a line and a tab between the cells of a row.
    QString Text(const QModelIndexList &cells) const;

private:
    Q_DISABLE_COPY(GoodPropsView)

    QVector<Property> m_properties;
    QHash<int, QString> m_notes; // marked rows
};
