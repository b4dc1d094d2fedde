#include "feedname.h"

#include <QFileInfo>
#include <QSet>

namespace {

// Words that name no shop: what export scripts and feed services call
// their files.
const QSet<QString> &GenericWords()
{
    static const QSet<QString> words{
            QStringLiteral("export"),   QStringLiteral("exports"),   QStringLiteral("feed"),
            QStringLiteral("feeds"),    QStringLiteral("yml"),       QStringLiteral("yandex"),
            QStringLiteral("market"),   QStringLiteral("catalog"),   QStringLiteral("catalogue"),
            QStringLiteral("catalogs"), QStringLiteral("price"),     QStringLiteral("prices"),
            QStringLiteral("pricelist"), QStringLiteral("list"),     QStringLiteral("product"),
            QStringLiteral("products"), QStringLiteral("offer"),     QStringLiteral("offers"),
            QStringLiteral("goods"),    QStringLiteral("xml"),       QStringLiteral("csv"),
            QStringLiteral("data"),     QStringLiteral("file"),      QStringLiteral("full"),
            QStringLiteral("all"),      QStringLiteral("new"),       QStringLiteral("latest"),
            QStringLiteral("выгрузка"), QStringLiteral("экспорт"),   QStringLiteral("фид"),
            QStringLiteral("каталог"),  QStringLiteral("прайс"),     QStringLiteral("товары"),
            QStringLiteral("яндекс"),   QStringLiteral("маркет")};
    return words;
}

// "127_0_0_1_920254905.csv": a download without a name of its own.
bool IsHostAndNumber(const QFileInfo &info)
{
    if (info.suffix() != QLatin1String("csv"))
        return false;
    const QString base = info.completeBaseName();
    const int last = base.lastIndexOf(QLatin1Char('_'));
    if (last <= 0 || last == base.size() - 1)
        return false;
    for (int i = last + 1; i < base.size(); ++i) {
        if (!base.at(i).isDigit())
            return false;
    }
    return true;
}

} // namespace

bool FeedName::SaysNothing(const QString &fileName, bool downloaded)
{
    const QFileInfo info(fileName);
    if (downloaded && IsHostAndNumber(info))
        return true;
    // Runs of letters are words; digits and everything else separate them.
    const QString base = info.completeBaseName().toLower();
    QString word;
    for (int i = 0; i <= base.size(); ++i) {
        if (i < base.size() && base.at(i).isLetter()) {
            word += base.at(i);
            continue;
        }
        if (!word.isEmpty() && !GenericWords().contains(word))
            return false;
        word.clear();
    }
    return true;
}

QString FeedName::OfferNameOf(const QString &shopName)
{
    QString name = shopName.simplified();
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    return name;
}
