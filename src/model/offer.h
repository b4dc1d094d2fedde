#pragma once

#include "categoryrule.h"
#include "commongoodinfo.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QString>

// One advertiser: its feed settings, its category rules and what the
// catalogue learnt of it while loading. The model keeps offers at stable
// addresses; goods and the offer index point at them.
struct Offer
{
    QString name;
    QString exportUrl;  // address of the offer's own CSV feed
    QString url;        // root of the advertiser's site: scheme, "://" and host
    QString prefix;     // site domain taken from feed file names
    QString format;     // export format text, stored and saved only
    QString exportFile; // local file into which the feed was last downloaded
    bool autoload = false;
    QList<CategoryRule> include;
    QList<CategoryRule> exclude;
    QMap<CategoryRule, RenameTarget> rename;
    bool includeOther = true;
    bool hasGoods = false;
    bool exportLoaded = false;
    QSet<QString> categories; // raw categories of the loaded data goods
    // Raw categories of data rows that the rules left out when they were
    // loaded: rules that take them later can bring their goods only with
    // a new load.
    QSet<QString> droppedCategories;
    CommonGoodInfo priceInfo;

    // The category path under which a good with this raw category is filed,
    // or a null string when the offer's rules drop it.
    QString MapCategory(const QString &raw) const;
    bool HasNoRules() const { return include.isEmpty() && exclude.isEmpty() && rename.isEmpty(); }

    // The rules of a list as an offer keeps them: by mode, then by text. A
    // rule without a path is left out: it would match every category and
    // keep (or drop) the whole feed.
    static QList<CategoryRule> NormalisedRules(const QList<CategoryRule> &rules);
    void NormaliseRules();
};
