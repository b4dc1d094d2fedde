#pragma once

#include <QMetaType>
#include <QString>

// One category rule of an offer: a path text and how it matches a category
// path. The match is a plain prefix test on the whole string, with no regard
// to the "/" separator.
struct CategoryRule
{
    enum RuleMode { Subtree = 0, Exact = 1, Below = 2 };

    QString text;
    RuleMode mode = Subtree;

    CategoryRule() = default;
    CategoryRule(const QString &ruleText, RuleMode ruleMode) : text(ruleText), mode(ruleMode) {}

    // "!" before a path gives an exact rule, "?" a rule for what lies below
    // it; anything else is a subtree rule with the whole text.
    static CategoryRule FromText(const QString &textForm);
    QString ToText() const;

    bool Matches(const QString &path) const;

    bool operator==(const CategoryRule &other) const { return mode == other.mode && text == other.text; }
    bool operator!=(const CategoryRule &other) const { return !(*this == other); }
    // By mode first, then by text.
    bool operator<(const CategoryRule &other) const
    {
        return mode != other.mode ? mode < other.mode : text < other.text;
    }
};

// Where a rename rule sends a category: with merge off the matched prefix is
// replaced by "to" and the rest of the path kept; with merge on the whole
// path becomes "to".
struct RenameTarget
{
    QString to;
    bool merge = false;

    bool operator==(const RenameTarget &other) const { return merge == other.merge && to == other.to; }
    bool operator!=(const RenameTarget &other) const { return !(*this == other); }
};

Q_DECLARE_METATYPE(CategoryRule)
