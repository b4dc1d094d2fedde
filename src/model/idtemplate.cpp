#include "idtemplate.h"

namespace {

const QLatin1String kUrlToken("[u]");
const QLatin1String kOfferToken("[a]");
const QLatin1String kIdToken("[i]");
const QLatin1String kNameToken("[n]");
const QLatin1String kUniqueToken("[p]");

} // namespace

int IdTemplate::TokensOf(const QString &text)
{
    if (text.contains(kUniqueToken))
        return AllTokens;
    int tokens = 0;
    if (text.contains(kUrlToken))
        tokens |= Url;
    if (text.contains(kOfferToken))
        tokens |= OfferName;
    if (text.contains(kIdToken))
        tokens |= Id;
    if (text.contains(kNameToken))
        tokens |= Name;
    return tokens;
}

IdTemplate::Shape IdTemplate::ShapeOf(const QString &text, int tokens)
{
    if (!(tokens & AllTokens))
        return NoTokens;
    if (text.contains(kUniqueToken))
        return Unique;
    if (tokens == Url && text == kUrlToken)
        return UrlOnly;
    if (tokens == (OfferName | Id) && text == QLatin1String("[a][i]"))
        return OfferAndId;
    if (tokens == (OfferName | Name) && text == QLatin1String("[a][n]"))
        return OfferAndName;
    return General;
}

IdTemplate IdTemplate::FromText(const QString &text)
{
    IdTemplate tpl;
    tpl.text = text;
    tpl.tokens = TokensOf(text);
    tpl.shape = ShapeOf(text, tpl.tokens);
    return tpl;
}

QString IdTemplate::Resolve(const QString &text, int tokens, const QString &url, const QString &offerName,
                            const QString &id, const QString &name, quintptr unique)
{
    if (!(tokens & AllTokens))
        return text;
    // The usual default templates, answered without a search when no value
    // could itself hold a token.
    const auto plain = [](const QString &value) { return !value.contains(QLatin1Char('[')); };
    if (tokens == Url && text == kUrlToken && plain(url))
        return url;
    if (tokens == (OfferName | Id) && text == QLatin1String("[a][i]") && plain(offerName) && plain(id))
        return offerName + id;
    if (tokens == (OfferName | Name) && text == QLatin1String("[a][n]") && plain(offerName) && plain(name))
        return offerName + name;

    QString key = text;
    if (tokens & Url)
        key.replace(kUrlToken, url);
    if (tokens & OfferName)
        key.replace(kOfferToken, offerName);
    if (tokens & Id)
        key.replace(kIdToken, id);
    if (tokens & Name)
        key.replace(kNameToken, name);
    key.replace(kUniqueToken, QString::number(quint64(unique)));
    return key;
}
