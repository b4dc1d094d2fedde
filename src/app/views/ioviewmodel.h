#pragma once

#include <QAbstractListModel>
#include <QList>

#include "stablelist.h"

struct Source;

// The loaded feeds, by name, for the list of files. Reads the model's list
// of sources through a pointer and copies nothing; it is rebuilt whenever
// the list changes.
class IOViewModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit IOViewModel(StableList<Source> *sources);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    Q_DISABLE_COPY(IOViewModel)

    StableList<Source> *m_sources;
};
