#include "offerviewmodel.h"

#include "offer.h"

#include <QColor>

OfferViewModel::OfferViewModel(StableList<Offer> *offers)
    : m_offers(offers)
{
}

int OfferViewModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_offers)
        return 0;
    return m_offers->size();
}

QVariant OfferViewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_offers || index.row() >= m_offers->size())
        return QVariant();
    const Offer &offer = m_offers->at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        if (!offer.exportUrl.isEmpty() && !offer.exportLoaded)
            return QString(offer.name + QLatin1String(" (+)"));
        return offer.name;
    case Qt::ForegroundRole:
        return offer.hasGoods ? QColor(Qt::black) : QColor(110, 110, 110);
    default:
        return QVariant();
    }
}

QVariant OfferViewModel::headerData(int, Qt::Orientation, int) const
{
    return QVariant();
}
