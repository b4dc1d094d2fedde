#pragma once

#include <array>

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QVector>

#include "model.h"

class Filter;
struct Good;

// The change report: what a base load left in the catalogue, as one
// self-contained HTML page (CSS and SVG charts inline, no script, nothing
// fetched) that any browser opens and that prints on A4. It holds the
// totals and what each base found, each offer's added, changed and deleted
// goods with the offers that would lose every good highlighted, the price
// changes in per cent, the largest price moves, the columns that changed
// most often, and the verdict of the deletion guard, by the same rule and
// numbers as the exports' (Model::DeleteShare). The figures are counted
// over the goods that pass the filter, as an export takes them.
//
// Figures are worked out from the catalogue without reading the feeds (the
// base rows' prices and differing columns were kept by the load), but for
// the names of the largest moves. Runs on the thread that owns the model.
class ChangeReport final
{
    Q_DECLARE_TR_FUNCTIONS(ChangeReport)

public:
    static constexpr int kLargestMoves = 50;
    static constexpr int kShownOffers = 200;
    static constexpr int kShownColumns = 30;
    static constexpr double kLargeMove = 20.0; // per cent
    // Price changes by per cent: below −50, −50…−20, −20…−10, −10…−5,
    // −5…0, then 0…5, 5…10, 10…20, 20…50 and above 50 (upper bounds count in).
    static constexpr int kBins = 10;

    struct OfferFigures
    {
        QString name;
        qint64 added = 0;
        qint64 changed = 0;
        qint64 deleted = 0;
        qint64 unchanged = 0;      // found identical by the bases
        bool wholeDeleted = false; // the export deletes every good the bases hold of it
        qint64 Goods() const { return added + changed + deleted + unchanged; }
        // The share of the offer's goods (data and bases together) that change on the site.
        double ChangedShare() const;
    };
    struct PriceMove
    {
        const Good *good = nullptr;
        QString name;
        QString offer;
        qint32 oldPrice = -1;
        qint32 newPrice = -1;
        double percent = 0;
    };
    struct ColumnCount
    {
        QString column;
        qint64 goods = 0;
    };
    struct Figures
    {
        QDateTime made;
        bool filtered = false;
        qint64 goods = 0;
        qint64 added = 0;
        qint64 changed = 0;
        qint64 deleted = 0;
        qint64 unchanged = 0;         // the bases found identical
        qint64 changedWithoutRow = 0; // changed goods whose base row the catalogue does not know
        QList<Model::BaseSummary> bases;
        QVector<OfferFigures> offers; // most deletions first
        // Changed goods with a price on both sides (the base's above 0).
        qint64 priced = 0;
        qint64 samePrice = 0;
        qint64 rose = 0;
        qint64 fell = 0;
        qint64 roseMuch = 0; // by more than kLargeMove
        qint64 fellMuch = 0;
        std::array<qint64, kBins> histogram{};
        QVector<PriceMove> largest;   // the largest moves by per cent, at most kLargestMoves
        QVector<ColumnCount> columns; // most often changed first
        Model::DeleteShare share;
        double deleteLimit = 50;
        bool refused = false;
    };

    // The figures of the catalogue as it stands, for an export through the
    // filter (null: every good) under a deletion limit in per cent.
    static Figures Compute(const Model &model, const Filter *filter, double deleteLimit);
    static int BinOf(double percent);
    // The page, in the interface's language, numbers in the locale's format.
    static QString Html(const Figures &figures, const QLocale &locale);
    // Writes the page whole or not at all; false with the reason in *error.
    static bool Write(const QString &path, const Figures &figures, const QLocale &locale, QString *error);
    // "changes-2026-12-08-0130.html": the name the window gives a report.
    static QString FileName(const QDateTime &when);

private:
    ChangeReport() = delete;
};
