#pragma once

#include <QAbstractListModel>
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

private:
    Q_DISABLE_COPY(GoodPropsView)

    QVector<Property> m_properties;
};
