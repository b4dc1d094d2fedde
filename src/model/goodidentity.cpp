#include "goodidentity.h"

GoodIdentity::Default GoodIdentity::DefaultFor(bool hasUrl, bool hasId, bool hasName)
{
    if (hasUrl)
        return ByUrl;
    if (hasId)
        return ByOfferAndId;
    if (hasName)
        return ByOfferAndName;
    return ByOfferAndGood;
}

IdTemplate GoodIdentity::DefaultTemplate(Default which)
{
    static const char *const texts[DefaultCount] = {"[u]", "[a][i]", "[a][n]", "[a][p]"};
    return IdTemplate::FromText(QLatin1String(texts[which]));
}

const IdTemplate &GoodIdentity::UniqueTemplate()
{
    static const IdTemplate unique = IdTemplate::FromText(QStringLiteral("[p]"));
    return unique;
}
