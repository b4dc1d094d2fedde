#pragma once

#include <QCoreApplication>
#include <QLocale>
#include <QString>

// How a change is written for people, in the card, the goods list's
// tooltip and the change report alike: numbers in the interface language's
// format ("1 200" or "1,200"), shares with their sign ("−17,5 %"), and one
// value's old and new text side by side ("1 200 → 990 (−17,5 %)").
class ChangeFormat final
{
    Q_DECLARE_TR_FUNCTIONS(ChangeFormat)

public:
    static QString Number(qint64 value, const QLocale &locale);
    // A share in per cent with one decimal (or as many as asked); with
    // sign, "+" or "−" before it.
    static QString Percent(double percent, const QLocale &locale, bool sign = false, int decimals = 1);
    // A limit in per cent as the user wrote it: "50 %", "12,5 %".
    static QString Limit(double percent, const QLocale &locale);
    // The change of percent from old to new, or NaN when old is not above 0.
    static double PercentChange(double oldValue, double newValue);
    // "old → new". A column of amounts (prices) whose texts are both
    // numbers gets them in the locale's format and the change in per cent;
    // codes and names stay as written. A text longer than maxLength (0: no
    // limit) is cut with "…".
    static QString Change(const QString &oldText, const QString &newText, const QLocale &locale, bool amounts,
                          int maxLength = 0);
    // Whether the feed's column holds amounts (a price or an old price).
    static bool IsAmount(const QString &column);
    // The cell as a number: "990", "1200.50", "1 200,5"; false when it is none.
    static bool ToNumber(const QString &text, double *value);

private:
    ChangeFormat() = delete;

    static QString Value(const QString &text, int maxLength);
    static QString NumberText(double value, const QLocale &locale);
};
