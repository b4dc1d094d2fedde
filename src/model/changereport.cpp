#include "changereport.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

#include <QDir>
#include <QHash>
#include <QSaveFile>
#include <QSet>

#include "changeformat.h"
#include "changedgoods.h"
#include "filter.h"
#include "good.h"
#include "igoodqueryobject.h"
#include "offer.h"
#include "source.h"

namespace {

// The upper bounds of the histogram's bins but the last, in per cent.
const double kEdges[ChangeReport::kBins - 1] = {-50, -20, -10, -5, 0, 5, 10, 20, 50};

const char kAddedColour[] = "#2e7d32";
const char kChangedColour[] = "#f9a825";
const char kDeletedColour[] = "#c62828";
const char kUnchangedColour[] = "#cfd8dc";

struct OfferCounts
{
    qint64 added = 0;
    qint64 changed = 0;
    qint64 deleted = 0;
};

// One walk over the goods that pass the filter: the counts by status and
// offer, the price changes and the columns that changed.
struct Walker final : IGoodQueryObject
{
    virtual ~Walker() = default;

    explicit Walker(const ChangedGoods &changes)
        : m_changes(changes)
    {
    }

    void AddGoods(const QList<Good *> &goods) override
    {
        for (Good *good : goods)
            AddGood(good);
    }

    void AddGood(Good *good) override
    {
        ++goods;
        // Goods of one offer mostly stand together in a category.
        if (good->offer != m_lastOffer || !m_lastCounts) {
            m_lastOffer = good->offer;
            m_lastCounts = &offers[m_lastOffer];
        }
        switch (good->status) {
        case Added:
            ++m_lastCounts->added;
            break;
        case Deleted:
            ++m_lastCounts->deleted;
            break;
        case Changed:
            ++m_lastCounts->changed;
            CountChange(good);
            break;
        default:
            break;
        }
    }

    void CountChange(const Good *good)
    {
        const ChangedGoods::BaseRow base = m_changes.Find(good);
        if (!base.base) {
            ++withoutRow;
            return;
        }
        if (base.base != m_lastBase) {
            m_lastBase = base.base;
            m_lastColumns = &columns[base.base];
        }
        for (quint64 bits = base.columns; bits; bits &= bits - 1)
            ++(*m_lastColumns)[size_t(__builtin_ctzll(bits))];
        if (base.oldPrice <= 0 || good->price < 0)
            return;
        ChangeReport::PriceMove move;
        move.good = good;
        move.oldPrice = base.oldPrice;
        move.newPrice = good->price;
        move.percent = ChangeFormat::PercentChange(base.oldPrice, good->price);
        moves.push_back(move);
    }

    const ChangedGoods &m_changes;
    qint64 goods = 0;
    qint64 withoutRow = 0;
    std::unordered_map<const Offer *, OfferCounts> offers;
    std::unordered_map<const Source *, std::array<qint64, ChangedGoods::kColumnBits>> columns;
    std::vector<ChangeReport::PriceMove> moves;

private:
    const Offer *m_lastOffer = nullptr;
    OfferCounts *m_lastCounts = nullptr;
    const Source *m_lastBase = nullptr;
    std::array<qint64, ChangedGoods::kColumnBits> *m_lastColumns = nullptr;
};

QString Escaped(const QString &text)
{
    QString escaped = text.toHtmlEscaped();
    // A feed's names may hold control characters, which no HTML or XML
    // reader takes: they are shown as the sign of a character lost.
    for (QChar &c : escaped) {
        if (c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            c = QChar(QChar::ReplacementCharacter);
    }
    return escaped;
}

// A name cut for a chart's label; the whole name goes into its <title>.
QString Cut(const QString &text, int length)
{
    return text.size() > length ? text.left(length - 1) + QChar(0x2026) : text;
}

QString Signed(double value, const QLocale &locale)
{
    const QString number = locale.toString(std::fabs(value), 'g', 6);
    if (value < 0)
        return QChar(0x2212) + number;
    return value > 0 ? QStringLiteral("+") + number : number;
}

QString Coordinate(double value)
{
    return QString::number(value, 'f', 1);
}

} // namespace

double ChangeReport::OfferFigures::ChangedShare() const
{
    const qint64 all = Goods();
    return all > 0 ? 100.0 * double(added + changed + deleted) / double(all) : 0.0;
}

int ChangeReport::BinOf(double percent)
{
    // Below 0 a bin holds its lower bound (−20 falls into −20…−10), above 0
    // its upper one (+20 into 10…20): "by more than 20 %" is then whole bins.
    int bin = 0;
    if (percent < 0) {
        while (bin < kBins / 2 - 1 && percent >= kEdges[bin])
            ++bin;
        return bin;
    }
    bin = kBins / 2;
    while (bin < kBins - 1 && percent > kEdges[bin])
        ++bin;
    return bin;
}

ChangeReport::Figures ChangeReport::Compute(const Model &model, const Filter *filter, double deleteLimit)
{
    Figures figures;
    figures.made = QDateTime::currentDateTime();
    figures.filtered = filter && filter->IsActive();
    Walker walker(model.Changes());
    // The walk does not change the tree when the visitor only counts.
    const_cast<CatModel &>(model.Root()).QueryGoods(&walker, filter, true);

    figures.goods = walker.goods;
    figures.changedWithoutRow = walker.withoutRow;
    figures.bases = model.BaseSummaries();
    figures.share = model.DeletedShare(filter);
    figures.deleteLimit = deleteLimit;
    figures.refused = figures.share.Exceeds(deleteLimit);
    QSet<QString> whole;
    for (const Model::DeleteShare::WholeOffer &offer : figures.share.wholeOffers)
        whole.insert(offer.name);

    for (const Offer &offer : model.Offers()) {
        OfferFigures row;
        row.name = offer.name;
        const auto counts = walker.offers.find(&offer);
        if (counts != walker.offers.end()) {
            row.added = counts->second.added;
            row.changed = counts->second.changed;
            row.deleted = counts->second.deleted;
        }
        row.unchanged = model.UnchangedOfOffer(&offer);
        row.wholeDeleted = whole.contains(offer.name);
        figures.added += row.added;
        figures.changed += row.changed;
        figures.deleted += row.deleted;
        figures.unchanged += row.unchanged;
        if (row.Goods() > 0)
            figures.offers.append(row);
    }
    std::stable_sort(figures.offers.begin(), figures.offers.end(), [](const OfferFigures &a, const OfferFigures &b) {
        if (a.deleted != b.deleted)
            return a.deleted > b.deleted;
        return a.ChangedShare() > b.ChangedShare();
    });

    for (const PriceMove &move : walker.moves) {
        ++figures.priced;
        if (move.newPrice == move.oldPrice) {
            ++figures.samePrice;
            continue;
        }
        ++figures.histogram[size_t(BinOf(move.percent))];
        if (move.percent > 0) {
            ++figures.rose;
            figures.roseMuch += move.percent > kLargeMove ? 1 : 0;
        } else {
            ++figures.fell;
            figures.fellMuch += move.percent < -kLargeMove ? 1 : 0;
        }
    }
    std::vector<PriceMove> &moves = walker.moves;
    const auto larger = [](const PriceMove &a, const PriceMove &b) {
        const double pa = std::fabs(a.percent);
        const double pb = std::fabs(b.percent);
        if (pa != pb)
            return pa > pb;
        const qint64 da = std::llabs(qint64(a.newPrice) - a.oldPrice);
        const qint64 db = std::llabs(qint64(b.newPrice) - b.oldPrice);
        if (da != db)
            return da > db;
        return a.good->rowOffset < b.good->rowOffset;
    };
    moves.erase(std::remove_if(moves.begin(), moves.end(),
                               [](const PriceMove &move) { return move.newPrice == move.oldPrice; }),
                moves.end());
    const size_t shown = std::min(moves.size(), size_t(kLargestMoves));
    std::partial_sort(moves.begin(), moves.begin() + qptrdiff(shown), moves.end(), larger);
    for (size_t i = 0; i < shown; ++i) {
        PriceMove move = moves[i];
        // The only rows the report reads: the names of the few it lists.
        move.name = move.good->Name(move.good->Row());
        move.offer = move.good->offer ? move.good->offer->name : QString();
        figures.largest.append(move);
    }

    // The columns by the bases' names; a base of more columns than the
    // entries tell apart counts the rest together.
    QHash<QString, qint64> byName;
    QStringList order;
    for (const auto &base : walker.columns) {
        const QStringList &header = base.first->header;
        for (int bit = 0; bit < ChangedGoods::kColumnBits; ++bit) {
            if (base.second[size_t(bit)] == 0)
                continue;
            QString name = header.value(bit);
            if (bit == ChangedGoods::kColumnBits - 1 && header.size() > ChangedGoods::kColumnBits)
                name = tr("столбцы с %1-го по %2-й").arg(bit + 1).arg(header.size());
            if (!byName.contains(name))
                order.append(name);
            byName[name] += base.second[size_t(bit)];
        }
    }
    for (const QString &name : qAsConst(order))
        figures.columns.append({name, byName.value(name)});
    std::stable_sort(figures.columns.begin(), figures.columns.end(),
                     [](const ColumnCount &a, const ColumnCount &b) { return a.goods > b.goods; });
    return figures;
}

QString ChangeReport::FileName(const QDateTime &when)
{
    return QStringLiteral("changes-") + when.toString(QStringLiteral("yyyy-MM-dd-HHmm")) + QStringLiteral(".html");
}

QString ChangeReport::Html(const Figures &f, const QLocale &locale)
{
    const auto n = [&locale](qint64 value) { return ChangeFormat::Number(value, locale); };
    const auto pct = [&locale](double value) { return ChangeFormat::Percent(value, locale); };
    const bool english = locale.language() == QLocale::English;
    QString page;
    page.reserve(64 * 1024);

    page += QStringLiteral("<!DOCTYPE html>\n<html lang=\"") + (english ? QLatin1String("en") : QLatin1String("ru"))
            + QStringLiteral("\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>") + Escaped(tr("Отчёт об изменениях"))
            + QStringLiteral("</title>\n<style>\n"
                             "@page { size: A4; margin: 14mm; }\n"
                             "body { font-family: 'DejaVu Sans', Arial, sans-serif; font-size: 10.5pt; color: #212121;"
                             " max-width: 182mm; margin: 0 auto; padding: 8px; }\n"
                             "h1 { font-size: 18pt; margin: 0 0 4px; }\n"
                             "h2 { font-size: 13pt; margin: 18px 0 6px; border-bottom: 1px solid #b0bec5; }\n"
                             "h3 { font-size: 11pt; margin: 12px 0 4px; }\n"
                             "p.meta { color: #607d8b; margin: 0 0 8px; }\n"
                             "table { border-collapse: collapse; width: 100%; }\n"
                             "th, td { padding: 2px 6px; text-align: left; vertical-align: top; }\n"
                             "td.n, th.n { text-align: right; white-space: nowrap; }\n"
                             "table:not(.figures) tr:nth-child(even) td { background: #f5f7f8; }\n"
                             "thead th { border-bottom: 1px solid #90a4ae; }\n"
                             "table.figures { width: auto; }\n"
                             "table.figures td.n { font-weight: bold; font-size: 12pt; }\n"
                             "svg { display: block; max-width: 100%; height: auto; }\n"
                             "svg text { font-family: 'DejaVu Sans', Arial, sans-serif; }\n"
                             ".verdict { border: 2px solid; border-radius: 4px; padding: 6px 10px; margin: 12px 0; }\n"
                             ".verdict.ok { border-color: #2e7d32; background: #e8f5e9; }\n"
                             ".verdict.refused { border-color: #c62828; background: #ffebee; }\n"
                             ".whole { color: #c62828; font-weight: bold; }\n"
                             ".legend span { display: inline-block; margin-right: 14px; }\n"
                             ".legend i { display: inline-block; width: 10px; height: 10px; margin-right: 4px; }\n"
                             ".note { color: #607d8b; font-size: 9pt; }\n"
                             "section { break-inside: avoid-page; }\n"
                             "section.long { break-inside: auto; }\n"
                             "tr { break-inside: avoid; }\n"
                             "</style>\n</head>\n<body>\n");

    page += QStringLiteral("<h1>") + Escaped(tr("Отчёт об изменениях")) + QStringLiteral("</h1>\n<p class=\"meta\">")
            + Escaped(tr("Составлен %1").arg(locale.toString(f.made, QLocale::ShortFormat)));
    if (f.filtered)
        page += QStringLiteral(" · ") + Escaped(tr("с учётом фильтра"));
    page += QStringLiteral("</p>\n");

    const auto legend = [&]() -> QString {
        return QStringLiteral("<p class=\"legend\"><span><i style=\"background:") + QLatin1String(kAddedColour)
               + QStringLiteral("\"></i>") + Escaped(tr("добавлено"))
               + QStringLiteral("</span><span><i style=\"background:") + QLatin1String(kChangedColour)
               + QStringLiteral("\"></i>") + Escaped(tr("изменено"))
               + QStringLiteral("</span><span><i style=\"background:") + QLatin1String(kDeletedColour)
               + QStringLiteral("\"></i>") + Escaped(tr("удалено"))
               + QStringLiteral("</span><span><i style=\"background:") + QLatin1String(kUnchangedColour)
               + QStringLiteral("\"></i>") + Escaped(tr("без изменений")) + QStringLiteral("</span></p>\n");
    };
    // A bar of the four parts, scaled to width.
    const auto stacked = [](qint64 added, qint64 changed, qint64 deleted, qint64 unchanged, double x, double y,
                            double width, double height, const QStringList &titles) {
        const qint64 all = added + changed + deleted + unchanged;
        QString bar;
        if (all <= 0)
            return bar;
        const qint64 parts[4] = {added, changed, deleted, unchanged};
        const char *colours[4] = {kAddedColour, kChangedColour, kDeletedColour, kUnchangedColour};
        double at = x;
        for (int i = 0; i < 4; ++i) {
            if (parts[i] <= 0)
                continue;
            const double w = width * double(parts[i]) / double(all);
            bar += QStringLiteral("<rect x=\"") + Coordinate(at) + QStringLiteral("\" y=\"") + Coordinate(y)
                   + QStringLiteral("\" width=\"") + Coordinate(std::max(w, 0.5)) + QStringLiteral("\" height=\"")
                   + Coordinate(height) + QStringLiteral("\" fill=\"") + QLatin1String(colours[i])
                   + QStringLiteral("\"><title>") + Escaped(titles.value(i)) + QStringLiteral("</title></rect>");
            at += w;
        }
        return bar;
    };

    // Totals.
    page += QStringLiteral("<section id=\"totals\">\n<h2>") + Escaped(tr("Итоги")) + QStringLiteral("</h2>\n");
    page += QStringLiteral("<table class=\"figures\">\n");
    const auto figure = [&](const char *key, const QString &caption, qint64 value) {
        page += QStringLiteral("<tr><th>") + Escaped(caption) + QStringLiteral("</th><td class=\"n\" data-figure=\"")
                + QLatin1String(key) + QStringLiteral("\" data-value=\"") + QString::number(value)
                + QStringLiteral("\">") + n(value) + QStringLiteral("</td></tr>\n");
    };
    figure("added", tr("Добавлено"), f.added);
    figure("changed", tr("Изменено"), f.changed);
    figure("deleted", tr("Удалено"), f.deleted);
    figure("unchanged", tr("Без изменений (совпали с базой)"), f.unchanged);
    figure("goods", tr("Товаров в каталоге"), f.goods);
    page += QStringLiteral("</table>\n");
    {
        const QStringList titles = {tr("Добавлено: %1").arg(n(f.added)), tr("Изменено: %1").arg(n(f.changed)),
                                    tr("Удалено: %1").arg(n(f.deleted)), tr("Без изменений: %1").arg(n(f.unchanged))};
        page += QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 720 28\" width=\"720\" "
                               "height=\"28\" role=\"img\">")
                + stacked(f.added, f.changed, f.deleted, f.unchanged, 0, 4, 720, 20, titles)
                + QStringLiteral("</svg>\n");
        page += legend();
    }
    if (f.changedWithoutRow > 0) {
        page += QStringLiteral("<p class=\"note\">")
                + Escaped(tr("Изменённых товаров без сохранённой строки базы (не входят в разделы о ценах и "
                             "столбцах): %1")
                                  .arg(n(f.changedWithoutRow)))
                + QStringLiteral("</p>\n");
    }
    if (!f.bases.isEmpty()) {
        page += QStringLiteral("<h3>") + Escaped(tr("По базам")) + QStringLiteral("</h3>\n<table>\n<thead><tr><th>")
                + Escaped(tr("База")) + QStringLiteral("</th><th class=\"n\">") + Escaped(tr("Строк"))
                + QStringLiteral("</th><th class=\"n\">") + Escaped(tr("Изменено"))
                + QStringLiteral("</th><th class=\"n\">") + Escaped(tr("Без изменений"))
                + QStringLiteral("</th><th class=\"n\">") + Escaped(tr("Удалено"))
                + QStringLiteral("</th><th class=\"n\">") + Escaped(tr("Повторов"))
                + QStringLiteral("</th></tr></thead>\n<tbody>\n");
        for (const Model::BaseSummary &base : f.bases) {
            page += QStringLiteral("<tr data-base=\"") + Escaped(base.name) + QStringLiteral("\"><td>")
                    + Escaped(base.name) + QStringLiteral("</td><td class=\"n\">") + n(base.rows)
                    + QStringLiteral("</td><td class=\"n\">") + n(base.changed)
                    + QStringLiteral("</td><td class=\"n\">") + n(base.unchanged)
                    + QStringLiteral("</td><td class=\"n\">") + n(base.deleted)
                    + QStringLiteral("</td><td class=\"n\">") + n(base.repeats) + QStringLiteral("</td></tr>\n");
        }
        page += QStringLiteral("</tbody>\n</table>\n<p class=\"note\">")
                + Escaped(tr("Числа по базам — на момент загрузки каждой базы; итоги выше — каталог сейчас."))
                + QStringLiteral("</p>\n");
    } else {
        page += QStringLiteral("<p class=\"note\">")
                + Escaped(tr("База не загружалась: все товары каталога — добавленные.")) + QStringLiteral("</p>\n");
    }
    page += QStringLiteral("</section>\n");

    // The deletion guard.
    page += QStringLiteral("<section id=\"guard\" class=\"verdict ")
            + (f.refused ? QLatin1String("refused") : QLatin1String("ok")) + QStringLiteral("\" data-refused=\"")
            + (f.refused ? QLatin1String("1") : QLatin1String("0")) + QStringLiteral("\">\n<h2>")
            + Escaped(tr("Защита от удаления")) + QStringLiteral("</h2>\n<p>");
    const QString deletedText = tr("Удаляется %1 из %2 товаров базы (%3).")
                                        .arg(n(f.share.deleted), n(f.share.baseRows), pct(f.share.Percent()));
    QString verdict;
    if (f.deleteLimit >= 100)
        verdict = tr("Ограничение выключено: экспорт не проверяется.");
    else if (f.refused)
        verdict = tr("Это больше допустимых %1: экспорт будет отклонён (в окне — только после подтверждения).")
                          .arg(ChangeFormat::Limit(f.deleteLimit, locale));
    else
        verdict = tr("Это не больше допустимых %1: экспорт разрешён.").arg(ChangeFormat::Limit(f.deleteLimit, locale));
    page += Escaped(deletedText) + QLatin1Char(' ') + QStringLiteral("<strong>") + Escaped(verdict)
            + QStringLiteral("</strong></p>\n");
    if (!f.share.wholeOffers.isEmpty()) {
        page += QStringLiteral("<p class=\"whole\">")
                + Escaped(tr("Офферы, у которых удаляются все товары базы (чаще всего — фид не загрузился или "
                             "пришёл пустым):"))
                + QStringLiteral("</p>\n<table id=\"whole-offers\">\n<thead><tr><th>") + Escaped(tr("Оффер"))
                + QStringLiteral("</th><th class=\"n\">") + Escaped(tr("В базе"))
                + QStringLiteral("</th><th class=\"n\">") + Escaped(tr("В данных"))
                + QStringLiteral("</th></tr></thead>\n<tbody>\n");
        for (const Model::DeleteShare::WholeOffer &offer : f.share.wholeOffers) {
            page += QStringLiteral("<tr data-whole-offer=\"") + Escaped(offer.name)
                    + QStringLiteral("\"><td class=\"whole\">") + Escaped(offer.name)
                    + QStringLiteral("</td><td class=\"n\">") + n(offer.inBase)
                    + QStringLiteral("</td><td class=\"n\">") + n(offer.inData) + QStringLiteral("</td></tr>\n");
        }
        page += QStringLiteral("</tbody>\n</table>\n");
    }
    page += QStringLiteral("</section>\n");

    // Offers.
    page += QStringLiteral("<section id=\"offers\" class=\"long\">\n<h2>") + Escaped(tr("По офферам"))
            + QStringLiteral("</h2>\n");
    if (f.offers.isEmpty()) {
        page += QStringLiteral("<p class=\"note\">") + Escaped(tr("Товаров нет.")) + QStringLiteral("</p>\n");
    } else {
        page += QStringLiteral("<p class=\"note\">")
                + Escaped(tr("Офферы по числу удалений; полоса — все товары оффера в данных и базе, справа — доля "
                             "тех, что меняются на сайте."))
                + QStringLiteral("</p>\n") + legend();
        const int shown = std::min(int(f.offers.size()), kShownOffers);
        const double rowHeight = 18;
        const double height = rowHeight * shown + 4;
        page += QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 720 ") + Coordinate(height)
                + QStringLiteral("\" width=\"720\" height=\"") + Coordinate(height)
                + QStringLiteral("\" role=\"img\">\n");
        for (int i = 0; i < shown; ++i) {
            const OfferFigures &offer = f.offers.at(i);
            const double y = 2 + rowHeight * i;
            page += QStringLiteral("<g data-offer=\"") + Escaped(offer.name) + QStringLiteral("\" data-added=\"")
                    + QString::number(offer.added) + QStringLiteral("\" data-changed=\"")
                    + QString::number(offer.changed) + QStringLiteral("\" data-deleted=\"")
                    + QString::number(offer.deleted) + QStringLiteral("\" data-unchanged=\"")
                    + QString::number(offer.unchanged) + QStringLiteral("\" data-whole=\"")
                    + (offer.wholeDeleted ? QLatin1String("1") : QLatin1String("0")) + QStringLiteral("\">");
            page += QStringLiteral("<title>")
                    + Escaped(tr("%1: добавлено %2, изменено %3, удалено %4, без изменений %5")
                                      .arg(offer.name, n(offer.added), n(offer.changed), n(offer.deleted),
                                           n(offer.unchanged)))
                    + QStringLiteral("</title>");
            page += QStringLiteral("<text x=\"0\" y=\"") + Coordinate(y + 12) + QStringLiteral("\" font-size=\"11\"")
                    + (offer.wholeDeleted ? QStringLiteral(" fill=\"#c62828\" font-weight=\"bold\"") : QString())
                    + QStringLiteral(">") + Escaped(Cut(offer.name, 34)) + QStringLiteral("</text>");
            if (offer.wholeDeleted) {
                page += QStringLiteral("<rect x=\"239\" y=\"") + Coordinate(y)
                        + QStringLiteral("\" width=\"402\" height=\"16\" "
                                         "fill=\"none\" stroke=\"#c62828\" stroke-width=\"2\"/>");
            }
            page += stacked(offer.added, offer.changed, offer.deleted, offer.unchanged, 240, y + 1, 400, 14,
                            QStringList());
            page += QStringLiteral("<text x=\"716\" y=\"") + Coordinate(y + 12)
                    + QStringLiteral("\" font-size=\"11\" text-anchor=\"end\">") + Escaped(pct(offer.ChangedShare()))
                    + QStringLiteral("</text></g>\n");
        }
        page += QStringLiteral("</svg>\n");
        if (f.offers.size() > shown) {
            page += QStringLiteral("<p class=\"note\" data-figure=\"offers-left-out\" data-value=\"")
                    + QString::number(f.offers.size() - shown) + QStringLiteral("\">")
                    + Escaped(tr("Ещё офферов, не показанных здесь (у них меньше удалений): %1")
                                      .arg(n(f.offers.size() - shown)))
                    + QStringLiteral("</p>\n");
        }
    }
    page += QStringLiteral("</section>\n");

    // Prices.
    page += QStringLiteral("<section id=\"prices\">\n<h2>") + Escaped(tr("Изменения цен")) + QStringLiteral("</h2>\n");
    page += QStringLiteral("<table class=\"figures\">\n");
    figure("priced", tr("Изменённых товаров с ценой в данных и в базе"), f.priced);
    figure("same-price", tr("Цена та же (изменилось другое)"), f.samePrice);
    figure("rose", tr("Подорожали"), f.rose);
    figure("fell", tr("Подешевели"), f.fell);
    figure("rose-much", tr("Подорожали больше чем на %1").arg(ChangeFormat::Limit(kLargeMove, locale)), f.roseMuch);
    figure("fell-much", tr("Подешевели больше чем на %1").arg(ChangeFormat::Limit(kLargeMove, locale)), f.fellMuch);
    page += QStringLiteral("</table>\n");
    {
        qint64 highest = 1;
        for (const qint64 count : f.histogram)
            highest = std::max(highest, count);
        const double left = 10;
        const double slot = 70;
        const double top = 18;
        const double chart = 150;
        page += QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 720 210\" width=\"720\" "
                               "height=\"210\" role=\"img\">\n");
        page += QStringLiteral("<line x1=\"") + Coordinate(left) + QStringLiteral("\" y1=\"") + Coordinate(top + chart)
                + QStringLiteral("\" x2=\"") + Coordinate(left + slot * kBins) + QStringLiteral("\" y2=\"")
                + Coordinate(top + chart) + QStringLiteral("\" stroke=\"#90a4ae\"/>\n");
        for (int bin = 0; bin < kBins; ++bin) {
            const qint64 count = f.histogram[size_t(bin)];
            const double h = chart * double(count) / double(highest);
            const double x = left + slot * bin + 8;
            QString label;
            if (bin == 0)
                label = QStringLiteral("< ") + Signed(kEdges[0], locale);
            else if (bin == kBins - 1)
                label = QStringLiteral("> ") + Signed(kEdges[kBins - 2], locale);
            else
                label = Signed(kEdges[bin - 1], locale) + QChar(0x2026) + Signed(kEdges[bin], locale);
            page += QStringLiteral("<g data-bin=\"") + QString::number(bin) + QStringLiteral("\" data-count=\"")
                    + QString::number(count) + QStringLiteral("\"><rect x=\"") + Coordinate(x)
                    + QStringLiteral("\" y=\"") + Coordinate(top + chart - h) + QStringLiteral("\" width=\"")
                    + Coordinate(slot - 16) + QStringLiteral("\" height=\"") + Coordinate(h)
                    + QStringLiteral("\" fill=\"") + QLatin1String(bin < kBins / 2 ? kDeletedColour : kAddedColour)
                    + QStringLiteral("\"/><text x=\"") + Coordinate(x + (slot - 16) / 2) + QStringLiteral("\" y=\"")
                    + Coordinate(top + chart - h - 4) + QStringLiteral("\" font-size=\"11\" text-anchor=\"middle\">")
                    + n(count) + QStringLiteral("</text><text x=\"") + Coordinate(x + (slot - 16) / 2)
                    + QStringLiteral("\" y=\"") + Coordinate(top + chart + 16)
                    + QStringLiteral("\" font-size=\"10\" text-anchor=\"middle\">") + Escaped(label)
                    + QStringLiteral("</text></g>\n");
        }
        page += QStringLiteral("<text x=\"360\" y=\"204\" font-size=\"10\" text-anchor=\"middle\" fill=\"#607d8b\">")
                + Escaped(tr("изменение цены, %")) + QStringLiteral("</text>\n</svg>\n");
    }
    page += QStringLiteral("</section>\n");

    // The largest moves.
    page += QStringLiteral("<section id=\"moves\" class=\"long\">\n<h2>") + Escaped(tr("Самые большие изменения цены"))
            + QStringLiteral("</h2>\n");
    if (f.largest.isEmpty()) {
        page += QStringLiteral("<p class=\"note\">") + Escaped(tr("Цены не менялись.")) + QStringLiteral("</p>\n");
    } else {
        page += QStringLiteral("<table>\n<thead><tr><th class=\"n\">№</th><th>") + Escaped(tr("Товар"))
                + QStringLiteral("</th><th>") + Escaped(tr("Оффер")) + QStringLiteral("</th><th class=\"n\">")
                + Escaped(tr("Было")) + QStringLiteral("</th><th class=\"n\">") + Escaped(tr("Стало"))
                + QStringLiteral("</th><th class=\"n\">") + Escaped(tr("Изменение"))
                + QStringLiteral("</th></tr></thead>\n<tbody>\n");
        for (int i = 0; i < f.largest.size(); ++i) {
            const PriceMove &move = f.largest.at(i);
            page += QStringLiteral("<tr data-old=\"") + QString::number(move.oldPrice)
                    + QStringLiteral("\" data-new=\"") + QString::number(move.newPrice)
                    + QStringLiteral("\"><td class=\"n\">") + n(i + 1) + QStringLiteral("</td><td>")
                    + Escaped(move.name) + QStringLiteral("</td><td>") + Escaped(move.offer)
                    + QStringLiteral("</td><td class=\"n\">") + n(move.oldPrice)
                    + QStringLiteral("</td><td class=\"n\">") + n(move.newPrice)
                    + QStringLiteral("</td><td class=\"n\">")
                    + Escaped(ChangeFormat::Percent(move.percent, locale, true)) + QStringLiteral("</td></tr>\n");
        }
        page += QStringLiteral("</tbody>\n</table>\n");
    }
    page += QStringLiteral("</section>\n");

    // Columns.
    page += QStringLiteral("<section id=\"columns\">\n<h2>") + Escaped(tr("Чаще всего менялись столбцы"))
            + QStringLiteral("</h2>\n");
    if (f.columns.isEmpty()) {
        page += QStringLiteral("<p class=\"note\">") + Escaped(tr("Изменённых товаров нет."))
                + QStringLiteral("</p>\n");
    } else {
        const int shown = std::min(int(f.columns.size()), kShownColumns);
        const qint64 highest = std::max<qint64>(1, f.columns.first().goods);
        const double rowHeight = 18;
        const double height = rowHeight * shown + 4;
        page += QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 720 ") + Coordinate(height)
                + QStringLiteral("\" width=\"720\" height=\"") + Coordinate(height)
                + QStringLiteral("\" role=\"img\">\n");
        for (int i = 0; i < shown; ++i) {
            const ColumnCount &column = f.columns.at(i);
            const double y = 2 + rowHeight * i;
            const double w = 440.0 * double(column.goods) / double(highest);
            page += QStringLiteral("<g data-column=\"") + Escaped(column.column) + QStringLiteral("\" data-count=\"")
                    + QString::number(column.goods) + QStringLiteral("\"><text x=\"0\" y=\"") + Coordinate(y + 12)
                    + QStringLiteral("\" font-size=\"11\">") + Escaped(Cut(column.column, 30))
                    + QStringLiteral("</text><rect x=\"200\" y=\"") + Coordinate(y + 1) + QStringLiteral("\" width=\"")
                    + Coordinate(std::max(w, 0.5)) + QStringLiteral("\" height=\"14\" fill=\"")
                    + QLatin1String(kChangedColour) + QStringLiteral("\"/><text x=\"") + Coordinate(206 + w)
                    + QStringLiteral("\" y=\"") + Coordinate(y + 12) + QStringLiteral("\" font-size=\"11\">")
                    + n(column.goods) + QStringLiteral("</text></g>\n");
        }
        page += QStringLiteral("</svg>\n");
        if (f.columns.size() > shown) {
            page += QStringLiteral("<p class=\"note\">")
                    + Escaped(tr("Ещё столбцов, менявшихся реже: %1").arg(n(f.columns.size() - shown)))
                    + QStringLiteral("</p>\n");
        }
        page += QStringLiteral("<p class=\"note\">")
                + Escaped(tr("Сравниваются столбцы, которые есть и в данных, и в базе, кроме категории; товар "
                             "считается в каждом своём изменившемся столбце."))
                + QStringLiteral("</p>\n");
    }
    page += QStringLiteral("</section>\n</body>\n</html>\n");
    return page;
}

bool ChangeReport::Write(const QString &path, const Figures &figures, const QLocale &locale, QString *error)
{
    QSaveFile file(path);
    const QByteArray page = Html(figures, locale).toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(page) != page.size() || !file.commit()) {
        if (error)
            *error = tr("Не удалось записать отчёт %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return true;
}
