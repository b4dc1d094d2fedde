#include "shownaddress.h"

#include <QRegularExpression>
#include <QUrl>

namespace {

const QLatin1String kMask("***");

// The user name, the colon and the password of an address's authority: the
// authority ends at the path, the query, the fragment or white space, and
// the password runs to its last "@", so that a password typed with a bare
// "@" in it is masked whole.
const QRegularExpression &WithScheme()
{
    static const QRegularExpression pattern(
            QStringLiteral("([A-Za-z][A-Za-z0-9+.\\-]*://[^\\s/?#@:]*):[^\\s/?#]+@"));
    return pattern;
}

// An address typed without its scheme, as a whole text.
const QRegularExpression &WithoutScheme()
{
    static const QRegularExpression pattern(QStringLiteral("^(\\s*[^\\s/?#@:]*):[^\\s/?#]+@"));
    return pattern;
}

} // namespace

QString ShownAddress::Masked(const QString &text)
{
    // Most texts hold no address at all: they are given back untouched.
    if (!text.contains(QLatin1String("://")) || !text.contains(QLatin1Char('@')))
        return text;
    QString masked = text;
    masked.replace(WithScheme(), QStringLiteral("\\1:") + kMask + QLatin1Char('@'));
    return masked;
}

QString ShownAddress::Address(const QString &address)
{
    if (address.contains(QLatin1String("://")))
        return Masked(address);
    QString masked = address;
    masked.replace(WithoutScheme(), QStringLiteral("\\1:") + kMask + QLatin1Char('@'));
    return masked;
}

QString ShownAddress::Of(const QUrl &url)
{
    if (url.password().isEmpty())
        return url.toDisplayString();
    QUrl masked(url);
    masked.setPassword(kMask);
    return masked.toString();
}

bool ShownAddress::HasPassword(const QString &address)
{
    const QRegularExpression &pattern = address.contains(QLatin1String("://")) ? WithScheme() : WithoutScheme();
    return pattern.match(address).hasMatch();
}
