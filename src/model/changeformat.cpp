#include "changeformat.h"

#include <cmath>

#include "schema.h"

namespace {

// The minus sign of typesetting: a hyphen reads as a dash next to a number.
const QChar kMinus(0x2212);

} // namespace

QString ChangeFormat::Number(qint64 value, const QLocale &locale)
{
    return locale.toString(value);
}

QString ChangeFormat::Percent(double percent, const QLocale &locale, bool sign, int decimals)
{
    // Rounded first, so that a share of −0.04 % is not written "−0,0 %".
    const double scale = std::pow(10.0, decimals);
    const double rounded = std::round(percent * scale) / scale;
    QString text = locale.toString(std::fabs(rounded), 'f', decimals);
    if (sign && rounded < 0)
        text.prepend(kMinus);
    else if (sign && rounded > 0)
        text.prepend(QLatin1Char('+'));
    // Russian puts a narrow gap before the sign of per cent, English none.
    if (locale.language() != QLocale::English)
        text += QChar(0x00A0);
    return text + QLatin1Char('%');
}

QString ChangeFormat::Limit(double percent, const QLocale &locale)
{
    return Percent(percent, locale, false, percent == std::round(percent) ? 0 : 1);
}

double ChangeFormat::PercentChange(double oldValue, double newValue)
{
    if (!(oldValue > 0))
        return std::nan("");
    return (newValue - oldValue) * 100.0 / oldValue;
}

bool ChangeFormat::ToNumber(const QString &text, double *value)
{
    QString plain = text.trimmed();
    if (plain.isEmpty() || plain.size() > 32)
        return false;
    plain.remove(QLatin1Char(' '));
    plain.remove(QChar(0x00A0));
    plain.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double number = plain.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return false;
    *value = number;
    return true;
}

QString ChangeFormat::NumberText(double value, const QLocale &locale)
{
    // Whole prices stay whole; kopecks and cents keep two places.
    if (value == std::floor(value) && std::fabs(value) < 1e15)
        return locale.toString(qint64(value));
    QString text = locale.toString(value, 'f', 2);
    return text;
}

QString ChangeFormat::Value(const QString &text, int maxLength)
{
    if (text.isEmpty())
        return tr("(пусто)");
    if (maxLength > 0 && text.size() > maxLength)
        return text.left(maxLength - 1) + QChar(0x2026);
    return text;
}

bool ChangeFormat::IsAmount(const QString &column)
{
    return column == Schema::Column::Price || column == Schema::Column::OldPrice;
}

QString ChangeFormat::Change(const QString &oldText, const QString &newText, const QLocale &locale, bool amounts,
                             int maxLength)
{
    const QChar arrow(0x2192);
    double oldValue = 0;
    double newValue = 0;
    if (amounts && ToNumber(oldText, &oldValue) && ToNumber(newText, &newValue)) {
        QString text = NumberText(oldValue, locale) + QLatin1Char(' ') + arrow + QLatin1Char(' ')
                       + NumberText(newValue, locale);
        const double percent = PercentChange(oldValue, newValue);
        if (!std::isnan(percent))
            text += QLatin1String(" (") + Percent(percent, locale, true) + QLatin1Char(')');
        return text;
    }
    return Value(oldText, maxLength) + QLatin1Char(' ') + arrow + QLatin1Char(' ') + Value(newText, maxLength);
}
