#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

class Model;
struct Good;

// What the good's card and the goods list's tooltip say of a good after a
// base: for a changed good one line per compared column that differs
// ("Цена: 1 200 → 990 (−17,5 %)"), for a deleted good that only the base
// holds it. Numbers are written in the interface language's format.
class GoodChangeText final
{
    Q_DECLARE_TR_FUNCTIONS(GoodChangeText)

public:
    // The window's own word for a feed column, or the column's name.
    static QString Caption(const QString &column);
    // The lines of a changed good (empty for any other); values longer
    // than maxLength (0: no limit) are cut.
    static QStringList Lines(const Model &model, const Good *good, int maxLength = 0);
    // For a deleted good, that it is only in the base; empty otherwise.
    static QString OnlyInBase(const Good *good);

private:
    GoodChangeText() = delete;
};
