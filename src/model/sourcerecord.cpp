#include "sourcerecord.h"

#include <QDir>

#include "schema.h"
#include "shownaddress.h"

QString SourceRecord::KindName(Kind kind)
{
    switch (kind) {
    case File:
        return Schema::Project::KindFile;
    case Url:
        return Schema::Project::KindUrl;
    case Site:
        return Schema::Project::KindSite;
    case OfferFeed:
        return Schema::Project::KindOffer;
    }
    return QString();
}

bool SourceRecord::KindOfName(const QString &name, Kind *kind)
{
    for (const Kind candidate : {File, Url, Site, OfferFeed}) {
        if (name == KindName(candidate)) {
            *kind = candidate;
            return true;
        }
    }
    return false;
}

QString SourceRecord::Shown() const
{
    switch (kind) {
    case File:
        return QDir::toNativeSeparators(location);
    case Url:
    case Site:
        return ShownAddress::Address(location);
    case OfferFeed:
        return tr("фид оффера «%1»").arg(location);
    }
    return location;
}
