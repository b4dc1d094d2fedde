#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include "catmodel.h"
#include "changeformat.h"
#include "changereport.h"
#include "defaultgoodqueryobject.h"
#include "feedfile.h"
#include "good.h"
#include "model.h"
#include "offer.h"
#include "source.h"
#include "statuscounts.h"

// The change report's figures against a catalogue whose changes are known
// by construction, the page's well-formedness, and the base rows that
// changed goods keep through what happens to the catalogue afterwards.
class TestChangeReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void figures_data();
    void figures();
    void guard_data();
    void guard();
    void pageIsWellFormed();
    void formats_data();
    void formats();
    void changesFollowTheCatalogue_data();
    void changesFollowTheCatalogue();

private:
    QTemporaryDir m_dir;
    Model m_model;
    ChangeReport::Figures m_figures;
    QHash<QString, QString> m_page; // data-figure → data-value of the page
};

namespace {

// The generated feed: 300 goods of two offers. Of each ten, the base holds
// the first three otherwise (price; name; name and description), lacks the
// fourth (added) and holds the other six as they are. It also holds 20
// goods of Alpha the feed lacks and the 10 goods of Gone, whose feed is
// missing. Price changes go through every bin of the histogram three times.
const int kPercents[ChangeReport::kBins] = {-60, -30, -15, -7, -2, 3, 7, 15, 30, 80};
const QString kHeader = QStringLiteral("name;price;categoryId;vendor;url;advcampaign_name;description");

QString Row(const QString &name, int price, int i, const QString &url, const QString &offer, const QString &text)
{
    return QStringLiteral("%1;%2;Cat/%3;V;%4;%5;%6").arg(name).arg(price).arg(i % 3).arg(url, offer, text);
}

QString OfferOf(int i)
{
    return i < 200 ? QStringLiteral("Alpha") : QStringLiteral("Beta");
}

QList<Good *> AllGoods(Model &model)
{
    QList<Good *> goods;
    DefaultGoodQueryObject query(&goods);
    model.Root().QueryGoods(&query, nullptr, true);
    return goods;
}

Good *GoodNamed(Model &model, const QString &name)
{
    for (Good *good : AllGoods(model)) {
        if (good->Name(good->Row()) == name)
            return good;
    }
    return nullptr;
}

} // namespace

void TestChangeReport::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QStringList data{kHeader};
    QStringList base{kHeader};
    for (int i = 0; i < 300; ++i) {
        const QString url = QStringLiteral("http://shop/%1").arg(i);
        const QString name = QStringLiteral("Good %1").arg(i);
        const int kind = i % 10;
        const int percent = kPercents[(i / 10) % 10];
        const int price = kind == 0 ? 1000 + percent * 10 : 1000 + i;
        data << Row(name, price, i, url, OfferOf(i), QStringLiteral("D"));
        if (kind == 3)
            continue;
        base << Row(kind == 1 || kind == 2 ? QStringLiteral("Old %1").arg(i) : name, kind == 0 ? 1000 : price, i, url,
                    OfferOf(i), kind == 2 ? QStringLiteral("Old D") : QStringLiteral("D"));
    }
    for (int i = 0; i < 20; ++i)
        base << Row(QStringLiteral("Sold %1").arg(i), 500, i, QStringLiteral("http://shop/s%1").arg(i),
                    QStringLiteral("Alpha"), QStringLiteral("D"));
    for (int i = 0; i < 10; ++i)
        base << Row(QStringLiteral("Gone %1").arg(i), 500, i, QStringLiteral("http://gone/%1").arg(i),
                    QStringLiteral("Gone"), QStringLiteral("D"));
    QVERIFY2(m_model.AddFile(WriteFeed(QDir(m_dir.path()), QStringLiteral("data.csv"), data)),
             qPrintable(m_model.LastError()));
    QVERIFY2(m_model.AddFile(WriteFeed(QDir(m_dir.path()), QStringLiteral("base.csv"), base), true),
             qPrintable(m_model.LastError()));

    m_figures = ChangeReport::Compute(m_model, nullptr, 50);
    // The catalogue's own count agrees with the report's.
    const StatusCounts counts = StatusCounts::Of(m_model.Root());
    QCOMPARE(m_figures.added, counts.added);
    QCOMPARE(m_figures.changed, counts.changed);
    QCOMPARE(m_figures.deleted, counts.deleted);
    QCOMPARE(m_figures.goods, counts.goods);

    // Every figure of the page, as its data attributes carry it.
    QXmlStreamReader xml(ChangeReport::Html(m_figures, QLocale(QLocale::Russian, QLocale::Russia)));
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (attributes.hasAttribute(QStringLiteral("data-figure")))
            m_page.insert(attributes.value(QStringLiteral("data-figure")).toString(),
                          attributes.value(QStringLiteral("data-value")).toString());
        if (attributes.hasAttribute(QStringLiteral("data-bin")))
            m_page.insert(QStringLiteral("bin ") + attributes.value(QStringLiteral("data-bin")),
                          attributes.value(QStringLiteral("data-count")).toString());
        if (attributes.hasAttribute(QStringLiteral("data-column")))
            m_page.insert(QStringLiteral("column ") + attributes.value(QStringLiteral("data-column")),
                          attributes.value(QStringLiteral("data-count")).toString());
        if (attributes.hasAttribute(QStringLiteral("data-offer"))) {
            const QString offer = QStringLiteral("offer ") + attributes.value(QStringLiteral("data-offer"));
            for (const char *part : {"added", "changed", "deleted", "unchanged", "whole"})
                m_page.insert(offer + QLatin1Char(' ') + QLatin1String(part),
                              attributes.value(QStringLiteral("data-") + QLatin1String(part)).toString());
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
}

void TestChangeReport::figures_data()
{
    QTest::addColumn<QString>("figure");
    QTest::addColumn<qint64>("computed");
    QTest::addColumn<qint64>("expected");

    const ChangeReport::Figures &f = m_figures;
    QTest::newRow("added") << "added" << f.added << qint64(30);
    QTest::newRow("changed") << "changed" << f.changed << qint64(90);
    QTest::newRow("deleted") << "deleted" << f.deleted << qint64(30);
    QTest::newRow("unchanged") << "unchanged" << f.unchanged << qint64(180);
    QTest::newRow("goods") << "goods" << f.goods << qint64(150);
    QTest::newRow("priced") << "priced" << f.priced << qint64(90);
    QTest::newRow("same price") << "same-price" << f.samePrice << qint64(60);
    QTest::newRow("rose") << "rose" << f.rose << qint64(15);
    QTest::newRow("fell") << "fell" << f.fell << qint64(15);
    QTest::newRow("rose by more than 20 %") << "rose-much" << f.roseMuch << qint64(6);
    QTest::newRow("fell by more than 20 %") << "fell-much" << f.fellMuch << qint64(6);
    for (int bin = 0; bin < ChangeReport::kBins; ++bin) {
        QTest::addRow("bin %d", bin) << QStringLiteral("bin %1").arg(bin) << f.histogram[size_t(bin)] << qint64(3);
    }
    QHash<QString, qint64> columns;
    for (const ChangeReport::ColumnCount &column : f.columns)
        columns.insert(column.column, column.goods);
    QTest::newRow("price changed") << "column price" << columns.value(QStringLiteral("price")) << qint64(30);
    QTest::newRow("name changed") << "column name" << columns.value(QStringLiteral("name")) << qint64(60);
    QTest::newRow("description changed") << "column description" << columns.value(QStringLiteral("description"))
                                         << qint64(30);
    QTest::newRow("no other column") << "" << qint64(f.columns.size()) << qint64(3);

    QHash<QString, ChangeReport::OfferFigures> offers;
    for (const ChangeReport::OfferFigures &offer : f.offers)
        offers.insert(offer.name, offer);
    const struct
    {
        const char *name;
        qint64 added, changed, deleted, unchanged, whole;
    } expected[] = {{"Alpha", 20, 60, 20, 120, 0}, {"Beta", 10, 30, 0, 60, 0}, {"Gone", 0, 0, 10, 0, 1}};
    for (const auto &offer : expected) {
        const ChangeReport::OfferFigures &got = offers.value(QLatin1String(offer.name));
        const QString key = QStringLiteral("offer ") + QLatin1String(offer.name);
        QTest::addRow("%s added", offer.name) << key + " added" << got.added << offer.added;
        QTest::addRow("%s changed", offer.name) << key + " changed" << got.changed << offer.changed;
        QTest::addRow("%s deleted", offer.name) << key + " deleted" << got.deleted << offer.deleted;
        QTest::addRow("%s unchanged", offer.name) << key + " unchanged" << got.unchanged << offer.unchanged;
        QTest::addRow("%s wholly deleted", offer.name) << key + " whole" << qint64(got.wholeDeleted) << offer.whole;
    }
    // Most deletions first.
    QTest::newRow("offers by deletions") << "" << qint64(f.offers.first().name == QLatin1String("Alpha")) << qint64(1);

    QTest::newRow("base rows") << "" << f.share.baseRows << qint64(300);
    QTest::newRow("base found changed") << "" << f.bases.value(0).changed << qint64(90);
    QTest::newRow("base found identical") << "" << f.bases.value(0).unchanged << qint64(180);
    QTest::newRow("base left deleted") << "" << f.bases.value(0).deleted << qint64(30);
    // Of the 90 changed goods only 30 moved their price.
    QTest::newRow("largest moves listed") << "" << qint64(f.largest.size()) << qint64(30);
    // +80 % three times; the first in the feed leads.
    QTest::newRow("largest move's old price") << "" << qint64(f.largest.value(0).oldPrice) << qint64(1000);
    QTest::newRow("largest move's new price") << "" << qint64(f.largest.value(0).newPrice) << qint64(1800);
    QTest::newRow("largest move's good") << "" << qint64(f.largest.value(0).name == QLatin1String("Good 90"))
                                         << qint64(1);
    QTest::newRow("every changed good has its row") << "" << f.changedWithoutRow << qint64(0);
}

void TestChangeReport::figures()
{
    QFETCH(QString, figure);
    QFETCH(qint64, computed);
    QFETCH(qint64, expected);
    QCOMPARE(computed, expected);
    // What the page says is what was counted.
    if (!figure.isEmpty()) {
        QVERIFY2(m_page.contains(figure), qPrintable(figure));
        QCOMPARE(m_page.value(figure).toLongLong(), expected);
    }
}

void TestChangeReport::guard_data()
{
    QTest::addColumn<double>("limit");
    QTest::addColumn<bool>("refused");

    // 30 of the bases' 300 rows are deleted: 10 %.
    QTest::newRow("under the limit") << 50.0 << false;
    QTest::newRow("at the limit") << 10.0 << false;
    QTest::newRow("over the limit") << 9.9 << true;
    QTest::newRow("100 turns the guard off") << 100.0 << false;
}

void TestChangeReport::guard()
{
    QFETCH(double, limit);
    QFETCH(bool, refused);
    const ChangeReport::Figures figures = ChangeReport::Compute(m_model, nullptr, limit);
    QCOMPARE(figures.share.deleted, qint64(30));
    QCOMPARE(figures.refused, refused);
    // The exports' own rule says the same.
    QCOMPARE(m_model.DeletedShare(nullptr).Exceeds(limit), refused);
    const QString page = ChangeReport::Html(figures, QLocale(QLocale::Russian, QLocale::Russia));
    QVERIFY(page.contains(refused ? QLatin1String("data-refused=\"1\"") : QLatin1String("data-refused=\"0\"")));
    QVERIFY(page.contains(QStringLiteral("data-whole-offer=\"Gone\"")));
}

void TestChangeReport::pageIsWellFormed()
{
    // The page is XHTML-compatible: it parses whole as XML, nothing in it
    // reaches outside, and each chart is an SVG element of its own namespace.
    const QString path = QDir(m_dir.path()).filePath(QStringLiteral("report.html"));
    QString error;
    QVERIFY2(ChangeReport::Write(path, m_figures, QLocale(QLocale::English, QLocale::UnitedStates), &error),
             qPrintable(error));
    const QByteArray bytes = ReadBytes(path);
    QVERIFY(bytes.startsWith("<!DOCTYPE html>"));
    QXmlStreamReader xml(bytes);
    int charts = 0;
    QStringList elements;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        elements << xml.name().toString();
        if (xml.name() == QLatin1String("svg")) {
            ++charts;
            QCOMPARE(xml.namespaceUri().toString(), QStringLiteral("http://www.w3.org/2000/svg"));
        }
        for (const QXmlStreamAttribute &attribute : xml.attributes())
            QVERIFY2(!attribute.value().contains(QLatin1String("http:")) || attribute.name() == QLatin1String("xmlns")
                             || attribute.name().startsWith(QLatin1String("data-")),
                     qPrintable(attribute.name() + QLatin1Char('=') + attribute.value()));
    }
    QVERIFY2(!xml.hasError(), qPrintable(QStringLiteral("%1 at line %2").arg(xml.errorString()).arg(xml.lineNumber())));
    QCOMPARE(charts, 4); // totals, offers, prices, columns
    QVERIFY(!elements.contains(QStringLiteral("script")));
    QVERIFY(!elements.contains(QStringLiteral("link")));
    QVERIFY(!elements.contains(QStringLiteral("img")));
    QVERIFY(bytes.contains("<html lang=\"en\">"));
    QVERIFY(bytes.contains("@page { size: A4"));

    // Names from feeds are text, whatever they hold.
    ChangeReport::Figures odd = m_figures;
    odd.offers.first().name = QStringLiteral("A\x01\"<b>&amp;</b>");
    odd.largest.first().name = QStringLiteral("]]><script>\x0B");
    QXmlStreamReader oddPage(ChangeReport::Html(odd, QLocale(QLocale::Russian, QLocale::Russia)));
    while (!oddPage.atEnd()) {
        oddPage.readNext();
        QVERIFY(oddPage.name() != QLatin1String("script") && oddPage.name() != QLatin1String("b"));
    }
    QVERIFY2(!oddPage.hasError(), qPrintable(oddPage.errorString()));
}

void TestChangeReport::formats_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QString>("oldText");
    QTest::addColumn<QString>("newText");
    QTest::addColumn<bool>("amounts");
    QTest::addColumn<QString>("shown");

    const QString nbsp(QChar(0x00A0));
    const QString minus(QChar(0x2212));
    QTest::newRow("a price falls") << "ru"
                                   << "1200"
                                   << "990" << true << "1" + nbsp + "200 → 990 (" + minus + "17,5" + nbsp + "%)";
    QTest::newRow("in English") << "en"
                                << "1200"
                                << "990" << true << "1,200 → 990 (" + minus + "17.5%)";
    QTest::newRow("kopecks") << "ru"
                             << "99.90"
                             << "100" << true << "99,90 → 100 (+0,1" + nbsp + "%)";
    QTest::newRow("from nothing: no share") << "ru"
                                            << "0"
                                            << "5" << true << "0 → 5";
    QTest::newRow("a code is not an amount") << "ru"
                                             << "4600000000001"
                                             << "4600000000002" << false << "4600000000001 → 4600000000002";
    QTest::newRow("a price that is no number") << "ru"
                                               << "по запросу"
                                               << "990" << true << "по запросу → 990";
    QTest::newRow("an emptied cell") << "ru"
                                     << "Красный"
                                     << "" << false << "Красный → (пусто)";
}

void TestChangeReport::formats()
{
    QFETCH(QString, language);
    QFETCH(QString, oldText);
    QFETCH(QString, newText);
    QFETCH(bool, amounts);
    QFETCH(QString, shown);
    const QLocale locale = language == QLatin1String("en") ? QLocale(QLocale::English, QLocale::UnitedStates)
                                                           : QLocale(QLocale::Russian, QLocale::Russia);
    QCOMPARE(ChangeFormat::Change(oldText, newText, locale, amounts), shown);
}

void TestChangeReport::changesFollowTheCatalogue_data()
{
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("oldName"); // what the card shows of the base for "a", empty: no longer changed
    QTest::addColumn<qint64>("entries");

    // Data: a and b of offer One, c of offer Two; the base had a and c
    // under other names.
    QTest::newRow("after the base") << ""
                                    << "a0" << qint64(2);
    QTest::newRow("a second base replaces the row") << "base2"
                                                    << "a9" << qint64(2);
    QTest::newRow("a second base that agrees drops it") << "same"
                                                        << "" << qint64(1);
    QTest::newRow("offer One unloaded") << "unload"
                                        << "" << qint64(1);
    // The base is offer Two's download as well: it leaves the list, but c
    // still shows its row, read from the base kept open for it.
    QTest::newRow("the base leaves while c needs it") << "drop base"
                                                      << "" << qint64(1);
    QTest::newRow("a changed good removed as a duplicate") << "dedup"
                                                           << "" << qint64(1);
    QTest::newRow("cleared") << "clear"
                             << "" << qint64(0);
}

void TestChangeReport::changesFollowTheCatalogue()
{
    QFETCH(QString, step);
    QFETCH(QString, oldName);
    QFETCH(qint64, entries);

    const QDir dir(m_dir.path());
    const QString header = QStringLiteral("name;url;advcampaign_name;categoryId");
    Model model;
    QVERIFY(model.AddFile(
            WriteFeed(dir, QStringLiteral("d.csv"), {header, "a;u1;One;X/Y", "b;u2;One;X", "c;u3;Two;X"})));
    const QString basePath = WriteFeed(dir, QStringLiteral("b1.csv"),
                                       {header, "a0;u1;One;X/Y", "b;u2;One;X", "c0;u3;Two;X"});
    QVERIFY(model.AddFile(basePath, true));
    QCOMPARE(model.Changes().Size(), qint64(2));

    if (step == QLatin1String("base2")) {
        QVERIFY(model.AddFile(WriteFeed(dir, QStringLiteral("b2.csv"), {header, "a9;u1;One;X"}), true));
    } else if (step == QLatin1String("same")) {
        QVERIFY(model.AddFile(WriteFeed(dir, QStringLiteral("b3.csv"), {header, "a;u1;One;X"}), true));
    } else if (step == QLatin1String("unload")) {
        Offer *one = nullptr;
        for (Offer &offer : model.Offers())
            one = offer.name == QLatin1String("One") ? &offer : one;
        QVERIFY(one && model.UnloadOffer(one));
    } else if (step == QLatin1String("drop base")) {
        Offer *one = nullptr;
        for (Offer &offer : model.Offers())
            one = offer.name == QLatin1String("One") ? &offer : one;
        one->exportFile = basePath;
        QVERIFY(model.UnloadOffer(one));
        // The base is out of the list; the changed good of Two still shows its row.
        for (const Source &source : model.Sources())
            QVERIFY(source.path != basePath);
        Good *c = GoodNamed(model, QStringLiteral("c"));
        QVERIFY(c);
        const QList<ChangedGoods::Difference> differences = model.ChangesOf(c);
        QCOMPARE(differences.size(), 1);
        QCOMPARE(differences.first().oldValue, QStringLiteral("c0"));
    } else if (step == QLatin1String("dedup")) {
        // A feed loaded after the base brings a's url in the parent
        // category, whose goods come first: a is the duplicate that goes.
        QVERIFY(model.AddFile(WriteFeed(dir, QStringLiteral("d2.csv"), {header, "a-new;u1;One;X"})));
        QVERIFY(model.RemoveDuplicates());
        QVERIFY(GoodNamed(model, QStringLiteral("a-new")));
    } else if (step == QLatin1String("clear")) {
        model.Clear(true);
    }

    QCOMPARE(model.Changes().Size(), entries);
    Good *a = GoodNamed(model, QStringLiteral("a"));
    if (oldName.isEmpty()) {
        QVERIFY(!a || a->status != Changed || model.ChangesOf(a).isEmpty());
        return;
    }
    QVERIFY(a);
    QCOMPARE(a->status, qint32(Changed));
    const QList<ChangedGoods::Difference> differences = model.ChangesOf(a);
    QCOMPARE(differences.size(), 1);
    QCOMPARE(differences.first().column, QStringLiteral("name"));
    QCOMPARE(differences.first().oldValue, oldName);
    QCOMPARE(differences.first().newValue, QStringLiteral("a"));
}

QTEST_GUILESS_MAIN(TestChangeReport)
#include "tst_changereport.moc"
