#include "categoryrule.h"

CategoryRule CategoryRule::FromText(const QString &textForm)
{
    if (textForm.startsWith(QLatin1Char('!')))
        return CategoryRule(textForm.mid(1), Exact);
    if (textForm.startsWith(QLatin1Char('?')))
        return CategoryRule(textForm.mid(1), Below);
    return CategoryRule(textForm, Subtree);
}

QString CategoryRule::ToText() const
{
    switch (mode) {
    case Exact:
        return QLatin1Char('!') + text;
    case Below:
        return QLatin1Char('?') + text;
    case Subtree:
        break;
    }
    return text;
}

bool CategoryRule::Matches(const QString &path) const
{
    if (!path.startsWith(text))
        return false;
    switch (mode) {
    case Exact:
        return path.size() == text.size();
    case Below:
        return path.size() > text.size();
    case Subtree:
        break;
    }
    return true;
}
