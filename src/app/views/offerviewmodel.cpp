#include "offerviewmodel.h"

#include "offer.h"

#include <QGuiApplication>
#include <QPalette>

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
        // From the palette, so that a dark theme stays readable: the usual
        // text colour, or the dimmed one for an offer without goods.
        return offer.hasGoods ? QVariant()
                              : QVariant(QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text));
    case Qt::ToolTipRole:
        if (!offer.exportUrl.isEmpty() && !offer.exportLoaded)
            return tr("(+): у оффера есть фид, он ещё не загружен. Загрузите его из контекстного меню оффера");
        return QVariant();
    default:
        return QVariant();
    }
}

QVariant OfferViewModel::headerData(int, Qt::Orientation, int) const
{
    return QVariant();
}
