#include "offer.h"

#include <algorithm>

QString Offer::MapCategory(const QString &raw) const
{
    // A row without a category is never loaded, whatever the rules say.
    if (raw.isNull())
        return QString();
    if (!include.isEmpty()) {
        for (const CategoryRule &rule : include) {
            if (rule.Matches(raw))
                return raw;
        }
    }
    for (const CategoryRule &rule : exclude) {
        if (rule.Matches(raw))
            return QString();
    }
    for (auto it = rename.constBegin(); it != rename.constEnd(); ++it) {
        if (!it.key().Matches(raw))
            continue;
        if (it.value().merge)
            return it.value().to;
        return it.value().to + raw.mid(it.key().text.size());
    }
    return includeOther ? raw : QString();
}

QList<CategoryRule> Offer::NormalisedRules(const QList<CategoryRule> &rules)
{
    QList<CategoryRule> result;
    result.reserve(rules.size());
    for (const CategoryRule &rule : rules) {
        if (!rule.text.isEmpty())
            result.append(rule);
    }
    std::stable_sort(result.begin(), result.end());
    return result;
}

void Offer::NormaliseRules()
{
    include = NormalisedRules(include);
    exclude = NormalisedRules(exclude);
}
