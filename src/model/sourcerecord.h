#pragma once

#include <QCoreApplication>
#include <QString>

// One load that the project remembers, so that the day's feeds and bases can
// be loaded again in the same order: a feed file, a feed's address, a shop
// site or an offer's own feed, as data or as base. A site's password is
// never kept here: it comes from the site's own keys of the project (or
// the environment) when the load is done again.
struct SourceRecord
{
    Q_DECLARE_TR_FUNCTIONS(SourceRecord)

public:
    enum Kind { File, Url, Site, OfferFeed };

    Kind kind = File;
    bool isBase = false;
    QString location; // the file's path, the address, the site or the offer's name
    QString login;    // a site's login

    bool operator==(const SourceRecord &other) const
    {
        return kind == other.kind && isBase == other.isBase && location == other.location && login == other.login;
    }
    bool operator!=(const SourceRecord &other) const { return !(*this == other); }

    // The kind's name in a project file, and back; false for a name that is
    // not a kind.
    static QString KindName(Kind kind);
    static bool KindOfName(const QString &name, Kind *kind);
    // The source as messages name it: the file or the offer by name, an
    // address without its password.
    QString Shown() const;
};
