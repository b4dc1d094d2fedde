#pragma once

#include <QAbstractListModel>
#include <QList>

#include "stablelist.h"

struct Offer;

// The offers for the offer list: the name, with " (+)" while the offer's own
// feed can still be loaded, grey while the offer has no goods. Reads the
// model's list of offers through a pointer; rebuilt whenever it changes.
class OfferViewModel final : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit OfferViewModel(StableList<Offer> *offers);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    Q_DISABLE_COPY(OfferViewModel)

    StableList<Offer> *m_offers;
};
