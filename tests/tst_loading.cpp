#include <QTemporaryDir>
#include <QtTest>

#include "badinput.h"
#include "catmodel.h"
#include "charsetconverter.h"
#include "commongoodinfo.h"
#include "comparedcells.h"
#include "defaultgoodqueryobject.h"
#include "feedencoding.h"
#include "feedfile.h"
#include "filter.h"
#include "good.h"
#include "model.h"
#include "platform.h"
#include "recordingprogress.h"
#include "source.h"

class TestLoading : public QObject
{
    Q_OBJECT

private slots:
    void sameFeedAsBaseLeavesNothing();
    void repeatedUrlsInTheBaseDeleteNothing();
    void baseComparison_data();
    void baseComparison();
    void baseRemovesDuplicatesFirst();
    void vendorsOfTheBaseAreThoseOfItsGoods();
    void digestsOfManyBatchesAreTheRows();
    void deleteShareNamesWhollyDeletedOffers();
    void offerOfAFile_data();
    void offerOfAFile();
    void offersPerRow();
    void progressEveryFiftyRows();
    void cancelLeavesTheCatalogue_data();
    void cancelLeavesTheCatalogue();
    void badFiles_data();
    void badFiles();
    void rowsThatAreNotLoaded();
    void strayQuoteCostsOneLine();
    void encodings_data();
    void encodings();
    void badRowsCountedAcrossBatches();
    void windows1251Conversion();
    void convertingInPieces_data();
    void convertingInPieces();
    void clear();
    void rowsLongerThanABlock();
    void realFeed();

private:
    QString Feed(const QString &name, const QStringList &lines);
    QTemporaryDir m_dir;
};

QString TestLoading::Feed(const QString &name, const QStringList &lines)
{
    return WriteFeed(QDir(m_dir.path()), name, lines);
}

static QStringList Goods(Model &model)
{
    QList<Good *> goods;
    DefaultGoodQueryObject query(&goods);
    model.Root().QueryGoods(&query, nullptr, true);
    QStringList result;
    for (const Good *good : qAsConst(goods)) {
        const QStringList row = good->Row();
        result << good->Name(row) + QLatin1Char(':') + QString::number(good->status);
    }
    result.sort();
    return result;
}

void TestLoading::sameFeedAsBaseLeavesNothing()
{
    const QStringList lines{"name;url;price;categoryId", "a;u1;10;Обувь/Сапоги", "b;u2;20;Обувь/Туфли",
                            "c;u3;30;Сумки"};
    Model model;
    QVERIFY(model.AddFile(Feed("shop_data.csv", lines)));
    QVERIFY(model.AddFile(Feed("shop_base.csv", lines), true));
    QVERIFY(Goods(model).isEmpty());
    // The emptied categories were pruned; those of the base rows came in
    // after the pruning and stay, empty.
    QCOMPARE(model.Root().GoodCount(true), 0);
    QVERIFY(!model.Root().children.isEmpty());
    QCOMPARE(model.Sources().size(), 2);
}

void TestLoading::repeatedUrlsInTheBaseDeleteNothing()
{
    // A feed in which one row in fifty repeats the url of an earlier row,
    // with another name, price and category, loaded as data and as base.
    QStringList lines{"name;url;price;categoryId"};
    for (int i = 0; i < 500; ++i) {
        const int url = i % 50 == 49 ? i - 37 : i;
        lines << QStringLiteral("g%1;http://shop.test/%2;%3;Cat%4").arg(i).arg(url).arg(i * 3).arg(i % 7);
    }
    Model model;
    QVERIFY(model.AddFile(Feed("shop_data.csv", lines)));
    QVERIFY(model.AddFile(Feed("shop_base.csv", lines), true));
    // Whichever of two rows of a url the data kept, the site holds it.
    QCOMPARE(Goods(model), QStringList());
    QCOMPARE(model.BaseRepeats(), qint64(10));
    QCOMPARE(model.Warnings().filter(QStringLiteral("в базе повторов: 10")).size(), 1);
    QCOMPARE(model.Warnings().filter(QStringLiteral("убраны повторы: 10")).size(), 1);
}

void TestLoading::baseComparison_data()
{
    QTest::addColumn<QStringList>("data");
    QTest::addColumn<QStringList>("base");
    QTest::addColumn<QStringList>("goods");
    QTest::addColumn<int>("repeats");

    const QStringList data{"name;url;price;categoryId", "a;u1;10;X", "b;u2;20;X", "c;u3;30;Y"};
    QTest::newRow("a row missing from the base stays added")
            << data << QStringList{"name;url;price;categoryId", "a;u1;10;X", "c;u3;30;Y"} << QStringList{"b:0"} << 0;
    QTest::newRow("a row only in the base is deleted")
            << data << QStringList{"name;url;price;categoryId", "a;u1;10;X", "b;u2;20;X", "c;u3;30;Y", "d;u4;5;Z"}
            << QStringList{"d:2"} << 0;
    QTest::newRow("a changed price marks the data good changed")
            << data << QStringList{"name;url;price;categoryId", "a;u1;10;X", "b;u2;25;X", "c;u3;30;Y"}
            << QStringList{"b:1"} << 0;
    QTest::newRow("only common columns are compared")
            << QStringList{"name;url;price;color;categoryId", "a;u1;10;red;X"}
            << QStringList{"name;url;price;categoryId", "a;u1;10;X"} << QStringList{} << 0;
    QTest::newRow("the base's category does not count")
            << QStringList{"name;url;categoryId", "a;u1;X"} << QStringList{"name;url;categoryId", "a;u1;Другая"}
            << QStringList{} << 0;
    QTest::newRow("columns in another order")
            << QStringList{"name;url;price;categoryId", "a;u1;10;X"}
            << QStringList{"price;categoryId;url;name", "10;X;u1;a"} << QStringList{} << 0;
    QTest::newRow("goods without identity never match")
            << QStringList{"descr;categoryId", "same;X"} << QStringList{"descr;categoryId", "same;X"}
            << QStringList{":0", ":2"} << 0;
    QTest::newRow("quoting does not make cells differ")
            << QStringList{"name;url;categoryId", "a;u1;X"} << QStringList{"name;url;categoryId", "\"a\";u1;X"}
            << QStringList{} << 0;

    // A key the site holds twice: the first of its rows decides, a repeat
    // is counted and never deleted.
    const QStringList one{"name;url;price;categoryId", "a;u1;10;X"};
    QTest::newRow("a repeat of a matched key is not deleted")
            << one << QStringList{"name;url;price;categoryId", "a;u1;10;X", "a2;u1;15;X"} << QStringList{} << 1;
    QTest::newRow("a repeat after a change keeps the change")
            << one << QStringList{"name;url;price;categoryId", "a;u1;11;X", "a;u1;12;X"} << QStringList{"a:1"} << 1;
    QTest::newRow("a repeat holding the data's row leaves nothing")
            << one << QStringList{"name;url;price;categoryId", "a;u1;11;X", "a;u1;10;X"} << QStringList{} << 1;
    QTest::newRow("a key only in the base is deleted once")
            << one << QStringList{"name;url;price;categoryId", "a;u1;10;X", "d;u4;1;Z", "d2;u4;2;Z", "d3;u4;3;Z"}
            << QStringList{"d:2"} << 2;
    QTest::newRow("repeats by offer and id")
            << QStringList{"name;id;advcampaign_name;categoryId", "a;1;Shop;X"}
            << QStringList{"name;id;advcampaign_name;categoryId", "a;1;Shop;X", "a;1;Shop;X", "d;9;Shop;Z",
                           "d2;9;Shop;Z"}
            << QStringList{"d:2"} << 2;
    QTest::newRow("goods without identity are never repeats")
            << QStringList{"descr;categoryId", "x;X"} << QStringList{"descr;categoryId", "same;X", "same;X"}
            << QStringList{":0", ":2", ":2"} << 0;
}

void TestLoading::baseComparison()
{
    QFETCH(QStringList, data);
    QFETCH(QStringList, base);
    QFETCH(QStringList, goods);
    QFETCH(int, repeats);
    // Whether the goods' digests come from the load or from their rows read
    // again, the comparison comes out the same.
    for (const bool keepDigests : {true, false}) {
        Model model;
        QVERIFY(model.AddFile(Feed("data.csv", data)));
        if (!keepDigests)
            model.Sources().first().digests = Source::Digests();
        QVERIFY(model.AddFile(Feed("base.csv", base), true));
        QCOMPARE(Goods(model), goods);
        QCOMPARE(model.BaseRepeats(), qint64(repeats));
        QCOMPARE(model.BaseRows(), qint64(base.size() - 1 - repeats));
        const QString said = QStringLiteral("в базе повторов: %1").arg(repeats);
        QCOMPARE(model.Warnings().filter(said).size(), repeats > 0 ? 1 : 0);
    }
}

void TestLoading::vendorsOfTheBaseAreThoseOfItsGoods()
{
    // A base row that matches a loaded good makes no good, and its vendor
    // is none of the catalogue's; a deleted good has its own.
    Model model;
    QVERIFY(model.AddFile(Feed("data.csv", {"name;url;price;vendor;categoryId", "a;u1;10;Alfa;X"})));
    QVERIFY(model.AddFile(
            Feed("base.csv", {"name;url;price;vendor;categoryId", "a;u1;12;Beta;X", "d;u4;5;Gamma;Z", "e;u5;6;;Z"}),
            true));
    QCOMPARE(Goods(model), (QStringList{"a:1", "d:2", "e:2"}));
    QStringList vendors = model.Vendors().Names();
    vendors.sort();
    QCOMPARE(vendors, (QStringList{"Alfa", "Gamma"}));
    QList<Good *> goods;
    DefaultGoodQueryObject query(&goods);
    model.Root().QueryGoods(&query, nullptr, true);
    for (const Good *good : qAsConst(goods)) {
        const QString name = good->Name(good->Row());
        QCOMPARE(good->vendor ? *good->vendor : QString(),
                 name == "a" ? QStringLiteral("Alfa") : name == "d" ? QStringLiteral("Gamma") : QString());
    }
}

void TestLoading::digestsOfManyBatchesAreTheRows()
{
    // A data row's cells are digested on the stream's thread, or by the
    // loader for a batch it was waiting on, whichever the timing gives:
    // either way every good holds the digest of its own row's cells (a
    // wrong one would only cost exact comparisons later, unseen).
    QByteArray bytes("name;url;categoryId;description\r\n");
    const QByteArray text(2000, 'x');
    for (int i = 0; i < 4000; ++i)
        bytes += "n" + QByteArray::number(i) + ";u" + QByteArray::number(i) + ";X" + QByteArray::number(i % 7) + ";"
                + text + "\r\n";
    const QString path = WriteBytes(QDir(m_dir.path()), "digested.csv", bytes);
    Model model;
    QVERIFY(model.AddFile(path));
    QList<Good *> goods;
    DefaultGoodQueryObject query(&goods);
    model.Root().QueryGoods(&query, nullptr, true);
    QCOMPARE(goods.size(), 4000);
    const Source &source = model.Sources().first();
    ComparedCells whole;
    whole.whole = true;
    whole.skipped = source.categoryColumn;
    QByteArray scratch;
    for (const Good *good : qAsConst(goods)) {
        const CsvRawRow *row = source.reader->ScanAt(good->rowOffset);
        QVERIFY(row);
        QVERIFY(source.digests.rows.at(good->digestIndex) == whole.Digest(row, scratch));
    }
}

void TestLoading::baseRemovesDuplicatesFirst()
{
    Model model;
    QVERIFY(model.AddFile(Feed("data.csv", {"name;url;categoryId", "a;u1;X", "a-again;u1;X", "b;u2;X"})));
    RecordingProgress progress;
    QVERIFY(model.AddFile(Feed("base.csv", {"name;url;categoryId", "a;u1;X"}), true, &progress));
    QCOMPARE(Goods(model), QStringList{"b:0"});
    QVERIFY(progress.reports.first().contains(QStringLiteral("Удаление дублей")));
}

void TestLoading::deleteShareNamesWhollyDeletedOffers()
{
    // The feed of "Two" failed but for one new good; "One" lost one good.
    Model model;
    QVERIFY(model.AddFile(Feed("data.csv", {"name;url;advcampaign_name;price;categoryId", "a;u1;One;1;X",
                                            "b;u2;One;2;X", "n;u20;Two;3;Y"})));
    QVERIFY(model.AddFile(Feed("base.csv", {"name;url;advcampaign_name;price;categoryId", "a;u1;One;1;X",
                                            "b;u2;One;5;X", "c;u3;One;3;X", "t;u10;Two;4;Y", "t;u10;Two;4;Y",
                                            "u;u11;Two;6;Y"}),
                          true));
    Model::DeleteShare share = model.DeletedShare(nullptr);
    QCOMPARE(share.deleted, qint64(3));
    QCOMPARE(share.baseRows, qint64(5)); // the repeat is no good of its own
    QCOMPARE(share.wholeOffers.size(), 1);
    QCOMPARE(share.wholeOffers.first().name, QStringLiteral("Two"));
    QCOMPARE(share.wholeOffers.first().inBase, qint64(2));
    QCOMPARE(share.wholeOffers.first().inData, qint64(1));

    // A filter that keeps one of its deleted goods off the site: not all of
    // them would go.
    Filter filter;
    filter.priceHigh = 5;
    share = model.DeletedShare(&filter);
    QCOMPARE(share.deleted, qint64(2));
    QVERIFY(share.wholeOffers.isEmpty());

    model.Clear(true);
    QCOMPARE(model.BaseRows(), qint64(0));
    QCOMPARE(model.BaseRepeats(), qint64(0));
}

void TestLoading::offerOfAFile_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("known"); // an offer indexed before the load, "key=name"
    QTest::addColumn<QString>("offer");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("site");

    QTest::newRow("domain of a www file name")
            << "www_myshop.example_2015_04.csv" << "" << "" << "www_myshop.example_2015_04" << "myshop.example" << "";
    QTest::newRow("known domain") << "www_myshop.example_2015_04.csv" << "" << "myshop.example=Мой магазин"
                                  << "Мой магазин" << "myshop.example" << "";
    QTest::newRow("plain domain name") << "shop.ru_feed_1.csv" << "" << "" << "shop.ru_feed_1" << "shop.ru" << "";
    QTest::newRow("network name second is no domain")
            << "x_admitad_feed.csv" << "" << "" << "x_admitad_feed" << "" << "";
    QTest::newRow("too few parts") << "shop_feed.csv" << "" << "" << "shop_feed" << "" << "";
    QTest::newRow("site from an affiliate link")
            << "feed.csv" << "https://ad.example/g/1/?i=5&ulp=https%3A%2F%2Fquke.ru%2Fshop%2F1.html" << ""
            << "feed" << "" << "https://quke.ru";
    QTest::newRow("known site with a slash")
            << "feed.csv" << "https://ad.example/g/1/?ulp=https%3A%2F%2Fquke.ru%2F" << "https://quke.ru/=Quke"
            << "Quke" << "" << "https://quke.ru";
}

void TestLoading::offerOfAFile()
{
    QFETCH(QString, file);
    QFETCH(QString, url);
    QFETCH(QString, known);
    QFETCH(QString, offer);
    QFETCH(QString, prefix);
    QFETCH(QString, site);
    Model model;
    if (!known.isEmpty()) {
        const QStringList parts = known.split(QLatin1Char('='));
        Offer *existing = model.FindOrCreateOffer(parts.at(1));
        model.IndexOffer(parts.at(0), existing);
    }
    QVERIFY(model.AddFile(Feed(file, {"name;url;categoryId", "a;" + url + ";X"})));
    const Good *good = model.Root().FirstGood();
    QVERIFY(good);
    QCOMPARE(good->offer->name, offer);
    QCOMPARE(good->source->offerName, offer);
    QCOMPARE(good->offer->prefix, prefix);
    QCOMPARE(good->offer->url, site);
    if (!prefix.isEmpty())
        QCOMPARE(model.OfferIndex().value(prefix), good->offer);
    if (!site.isEmpty())
        QVERIFY(model.OfferIndex().contains(site) || model.OfferIndex().contains(site + "/"));
    QVERIFY(good->offer->hasGoods);
    QCOMPARE(good->offer->categories, QSet<QString>{"X"});
}

void TestLoading::offersPerRow()
{
    Model model;
    QVERIFY(model.AddFile(Feed("mixed.csv", {"name;advcampaign_name;categoryId", "a;Shop1;X", "b;Shop2;Y/Z",
                                             "c;Shop1;W"})));
    QCOMPARE(model.Sources().first().offerName, QStringLiteral("Разные офферы"));
    QCOMPARE(model.Offers().size(), 2);
    const Offer *shop1 = model.OfferIndex().value("Shop1");
    QVERIFY(shop1 && shop1->hasGoods);
    QCOMPARE(shop1->categories, (QSet<QString>{"X", "W"}));
    // A base load leaves the offers' category lists alone.
    QVERIFY(model.AddFile(Feed("base.csv", {"name;advcampaign_name;categoryId", "q;Shop1;Новая"}), true));
    QCOMPARE(model.OfferIndex().value("Shop1")->categories, (QSet<QString>{"X", "W"}));
}

void TestLoading::progressEveryFiftyRows()
{
    QStringList lines{"name;categoryId"};
    for (int i = 0; i < 120; ++i)
        lines << QStringLiteral("n%1;X").arg(i);
    Model model;
    RecordingProgress progress;
    QVERIFY(model.AddFile(Feed("feed120.csv", lines), false, &progress));
    QCOMPARE(progress.reports, (QStringList{"0/0 Старт загрузки feed120",
                                            "0/0 Загрузка feed120: загружено 50 товаров.",
                                            "0/0 Загрузка feed120: загружено 100 товаров.", "120/120 Выполнено"}));
}

void TestLoading::cancelLeavesTheCatalogue_data()
{
    QTest::addColumn<bool>("isBase");
    QTest::addColumn<int>("cancelAt");
    QTest::newRow("data, at the start") << false << 1;
    QTest::newRow("data, after a hundred rows") << false << 3;
    QTest::newRow("base, at the start") << true << 1;
    QTest::newRow("base, after a hundred rows") << true << 3;
}

void TestLoading::cancelLeavesTheCatalogue()
{
    QFETCH(bool, isBase);
    QFETCH(int, cancelAt);
    // Rows of offers the catalogue knows and of new ones, some identical
    // to loaded goods and some changed.
    QStringList data{"name;url;price;advcampaign_name;categoryId"};
    QStringList later{"name;url;price;advcampaign_name;categoryId"};
    for (int i = 0; i < 120; ++i) {
        data << QStringLiteral("n%1;u%1;%1;Known;X").arg(i);
        later << QStringLiteral("n%1;u%1;%2;%3;X").arg(i).arg(i % 2 ? i : i + 1).arg(i < 60 ? "Known" : "New");
    }
    Model model;
    QVERIFY(model.AddFile(Feed("data.csv", data)));
    const QStringList goods = Goods(model);
    const int offers = model.Offers().size();
    const CommonGoodInfo prices = model.Offers().first().priceInfo;

    RecordingProgress cancel(cancelAt);
    QVERIFY(!model.AddFile(Feed("later.csv", later), isBase, &cancel));
    QVERIFY(model.LastError().contains(QStringLiteral("отменена")));
    QVERIFY(!cancel.reports.last().contains(QStringLiteral("Выполнено")));
    QCOMPARE(Goods(model), goods);
    QCOMPARE(model.Sources().size(), 1);
    QCOMPARE(model.Offers().size(), offers);
    QCOMPARE(model.OfferIndex().value("New"), nullptr);
    QCOMPARE(model.Offers().first().priceInfo.maxPrice, prices.maxPrice);
}

void TestLoading::badFiles_data()
{
    using namespace BadInput;
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<int>("goods"); // -1: any number
    QTest::addColumn<QString>("message"); // in the error, or in the warnings of a load

    const QByteArray header("name;categoryId\r\n");
    QTest::newRow("empty file") << int(Bytes) << QByteArray() << false << 0 << "нет заголовка";
    QTest::newRow("only a header") << int(Bytes) << header << true << 0 << "только заголовок";
    QTest::newRow("empty first line")
            << int(Bytes) << QByteArray("\r\n" + header + "a;X\r\n") << false << 0 << "нет заголовка";
    QTest::newRow("malformed row in the middle")
            << int(Bytes) << QByteArray(header + "a;X\r\nb;X;extra\r\nc;X\r\n") << true << 2 << "строка 3";
    QTest::newRow("binary garbage with NUL bytes")
            << int(Bytes) << Garbage() << false << 0 << "нулевые байты";
    QTest::newRow("UTF-16, not taken for windows-1251")
            << int(Bytes) << QByteArray("\xFF\xFE" + Encoded("UTF-16LE", "name;categoryId\r\nКофта;Одежда\r\n")) << false
            << 0 << "нулевые байты";
    QTest::newRow("invalid UTF-8")
            << int(Bytes) << QByteArray(header + InvalidUtf8() + ";X\r\nb;" + InvalidUtf8() + "\r\n") << true << 2
            << "";
    QTest::newRow("a 50 MB line") << int(Bytes) << QByteArray(header + LongText() + ";X") << true << 1 << "";
    QTest::newRow("unbalanced quote at the end")
            << int(Bytes) << QByteArray(header + "a;X\r\n\"b;X\r\n") << true << 1 << "строка 3";
    QTest::newRow("a stray quote costs its line alone")
            << int(Bytes) << QByteArray(header + "a;X\r\n\"b;X\r\nc;X\r\nd;X\r\n") << true << 3 << ": 1 (строка 3)";
    QTest::newRow("a field over 64 MB")
            << int(Bytes) << QByteArray(header + "a;X\r\n" + QByteArray((64 << 20) + 1, 'b') + ";X\r\nc;X\r\n") << true
            << 2 << ": 1 (строка 3)";
    QTest::newRow("a quote opening the header")
            << int(Bytes) << QByteArray("\"name;categoryId\r\na;X\r\n") << false << 0 << "кавычка в нём не закрыта";
    QTest::newRow("CR-only line ends") << int(Bytes) << QByteArray("name;categoryId\ra;X\rb;Y\r") << true << 2 << "";
    QTest::newRow("a BOM in the middle")
            << int(Bytes) << QByteArray(header + "a;X\r\n" + Bom() + "b;Y\r\n") << true << 2 << "";
    QByteArray wide;
    QByteArray wideRow;
    for (int i = 0; i < 10000; ++i) {
        wide.append(i == 5000 ? QByteArray("name;")
                    : i == 9999 ? QByteArray("categoryId") : "c" + QByteArray::number(i) + ";");
        wideRow.append(i == 9999 ? QByteArray("X") : QByteArray::number(i) + ";");
    }
    QTest::newRow("10,000 columns")
            << int(Bytes) << QByteArray(wide + "\r\n" + wideRow + "\r\n" + wideRow + "\r\n") << true << 2 << "";
    QTest::newRow("a YML catalogue without offers")
            << int(Bytes) << QByteArray("<?xml version=\"1.0\"?>\n<yml_catalog><shop/></yml_catalog>\n") << true << 0
            << "только заголовок";
    QTest::newRow("XML of another kind")
            << int(Bytes) << QByteArray(Bom() + "<?xml version=\"1.0\"?>\n<!-- a -->\n<catalog><item/></catalog>\n")
            << false << 0 << "документ XML <catalog>";
    QTest::newRow("a web page") << int(Bytes) << QByteArray("\n<!doctype html>\n<html><body>Вход</body></html>\n")
                                << false << 0 << "документ XML <html>";
    QTest::newRow("an XML declaration alone")
            << int(Bytes) << QByteArray("<?xml version=\"1.0\"?>\n") << false << 0 << "корневой элемент не найден";
    QTest::newRow("a directory") << int(Folder) << QByteArray() << false << 0 << "не является обычным файлом";
    QTest::newRow("a FIFO") << int(Fifo) << QByteArray() << false << 0 << "не является обычным файлом";
    QTest::newRow("/dev/zero") << int(ZeroDevice) << QByteArray() << false << 0 << "не является обычным файлом";
}

void TestLoading::badFiles()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, loads);
    QFETCH(int, goods);
    QFETCH(QString, message);
    Model model;
    QVERIFY(model.AddFile(Feed("ok.csv", {"name;categoryId", "kept;X"})));
    const QString path = BadInput::Make(QDir(m_dir.path()), "bad.csv", kind, bytes);
    if (path.isEmpty())
        QSKIP("this system has no such thing (a FIFO, /dev/zero)");
    bytes.clear();
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(model.AddFile(path), loads);
    QVERIFY(timer.elapsed() < BadInput::kTimeLimitMs);
    QCOMPARE(model.ReencodedFeeds(), 0); // none is taken for text in windows-1251
    if (!loads) {
        QVERIFY2(model.LastError().contains(QDir::toNativeSeparators(path)), qPrintable(model.LastError()));
        QVERIFY2(model.LastError().contains(message), qPrintable(model.LastError()));
        QCOMPARE(model.Sources().size(), 1);
    } else {
        QVERIFY2(model.Warnings().join('\n').contains(message), qPrintable(model.Warnings().join('\n')));
    }
    if (goods >= 0)
        QCOMPARE(model.Root().GoodCount(true), goods + 1);
    QVERIFY(Goods(model).contains("kept:0")); // what was loaded before stays
    BadInput::Remove(path);

    QVERIFY(!model.AddFile(m_dir.filePath("missing.csv")));
    QVERIFY(model.LastError().contains(QStringLiteral("не найден")));
}

void TestLoading::rowsThatAreNotLoaded()
{
    Model model;
    Offer *offer = model.FindOrCreateOffer("rules");
    offer->exclude << CategoryRule::FromText("Drop");
    RecordingProgress progress;
    QVERIFY(model.AddFile(Feed("rules.csv", {"name;categoryId;price", "a;Keep;abc", "b;;1", "c;Drop/x;2", "d;Keep;3"}),
                          false, &progress));
    QCOMPARE(Goods(model), (QStringList{"a:0", "d:0"}));
    QCOMPARE(progress.reports.last(), QStringLiteral("4/4 Выполнено")); // skipped rows still count
    QCOMPARE(model.Root().FirstGood()->price, -1);

    Model noCategory;
    QVERIFY(noCategory.AddFile(Feed("nocat.csv", {"name;price", "a;1"})));
    QCOMPARE(noCategory.Root().GoodCount(true), 0);

    // A category of nothing but "/", in the feed or from a rename, names no
    // category: its rows are counted and said with those without one.
    Model slashes;
    slashes.FindOrCreateOffer("slashes")->rename.insert(CategoryRule::FromText("Old"), RenameTarget{"/", true});
    QVERIFY(slashes.AddFile(Feed("slashes.csv", {"name;categoryId", "a;//", "b;Old/x", "c;", "d;Keep"})));
    QCOMPARE(Goods(slashes), QStringList{"d:0"});
    QCOMPARE(slashes.RowsWithoutCategory(), 3);
    QCOMPARE(slashes.Warnings().filter(QStringLiteral("без категории: 3")).size(), 1);
}

void TestLoading::strayQuoteCostsOneLine()
{
    // A quote opening the 10th of 300 rows, and a quoted cell further on
    // that it would pair with: the broken line alone is left out, and a base
    // of what the site holds deletes nothing but that line's good.
    QStringList site{"name;url;price;categoryId"};
    for (int i = 1; i <= 300; ++i)
        site << QStringLiteral("n%1;u%1;%1;X").arg(i);
    site[200] = QStringLiteral("\"n200\";u200;200;X");
    QStringList broken = site;
    broken[10].prepend(QLatin1Char('"'));
    Model model;
    QVERIFY(model.AddFile(Feed("broken.csv", broken)));
    QCOMPARE(model.Root().GoodCount(true), 299);
    QCOMPARE(model.SkippedRows(), qint64(1));
    QVERIFY2(model.Warnings().join('\n').contains(QStringLiteral(": 1 (строка 11)")), qPrintable(model.Warnings().join('\n')));
    QVERIFY(model.AddFile(Feed("site.csv", site), true));
    QCOMPARE(Goods(model), QStringList{"n10:2"});
}

void TestLoading::encodings_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("goods"); // name@category, sorted
    QTest::addColumn<QString>("warning");   // the one warning, or empty for none
    QTest::addColumn<int>("reencoded");
    QTest::addColumn<int>("invalidRows");

    // Two categories of the same length, which replacement characters would merge.
    const QString russian = QStringLiteral("name;categoryId\r\nКофта «Ёлка» — №1;Одежда/Женская\r\nСапоги;Обувь\r\n"
                                           "Сумка;Сумки\r\n");
    const QStringList goods{"Кофта «Ёлка» — №1@Одежда/Женская", "Сапоги@Обувь", "Сумка@Сумки"};
    QTest::newRow("UTF-8") << russian.toUtf8() << goods << "" << 0 << 0;
    QTest::newRow("windows-1251 is read from a UTF-8 copy")
            << BadInput::Windows1251(russian) << goods << "feed.csv: файл в кодировке windows-1251 перекодирован в UTF-8"
            << 1 << 0;
    const QString bad(QChar(0xFFFD));
    QTest::newRow("Latin-1 rows are counted")
            << BadInput::Encoded("ISO-8859-1", QStringLiteral("name;categoryId\r\nCafé;Boissons\r\nEau;Boissons\r\n"
                                                              "Thé;Boissons\r\n"))
            << QStringList{"Caf" + bad + "@Boissons", "Eau@Boissons", "Th" + bad + "@Boissons"}
            << "строк с байтами не в кодировке UTF-8: 2 (строки 2, 4)" << 0 << 2;
    QTest::newRow("KOI8-R is not taken for windows-1251")
            << BadInput::Encoded("KOI8-R", QStringLiteral("name;categoryId\r\nсапоги;обувь\r\n"))
            << QStringList{bad.repeated(6) + "@" + bad.repeated(5)} << "не в кодировке UTF-8: 1 (строка 2)" << 0 << 1;
    QTest::newRow("UTF-8 with one broken byte")
            << QByteArray(russian.toUtf8() + "\xFF;X\r\n") << QStringList(goods) + QStringList{bad + "@X"}
            << "не в кодировке UTF-8: 1 (строка 5)" << 0 << 1;
}

void TestLoading::encodings()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, goods);
    QFETCH(QString, warning);
    QFETCH(int, reencoded);
    QFETCH(int, invalidRows);
    Model model;
    const QString path = WriteBytes(QDir(m_dir.path()), "feed.csv", bytes);
    RecordingProgress progress;
    QVERIFY(model.AddFile(path, false, &progress));
    QList<Good *> loaded;
    DefaultGoodQueryObject query(&loaded);
    model.Root().QueryGoods(&query, nullptr, true);
    QStringList names;
    for (const Good *good : qAsConst(loaded))
        names << good->Name(good->Row()) + QLatin1Char('@') + good->category->path;
    names.sort();
    QCOMPARE(names, goods);
    QCOMPARE(model.Warnings().size(), warning.isEmpty() ? 0 : 1);
    if (!warning.isEmpty())
        QVERIFY2(model.Warnings().first().contains(warning), qPrintable(model.Warnings().first()));
    QCOMPARE(model.ReencodedFeeds(), reencoded);
    QCOMPARE(model.InvalidUtf8Rows(), qint64(invalidRows));
    // The feed itself is left as it was; a copy is what the goods read.
    QCOMPARE(ReadBytes(path), bytes);
    QCOMPARE(model.Sources().first().path == path, reencoded == 0);
    if (reencoded)
        QVERIFY(progress.reports.contains(QStringLiteral("0/0 ") + warning));
}

void TestLoading::badRowsCountedAcrossBatches()
{
    // A feed of many batches: the scan checks the UTF-8 of some, the loader
    // of the others (whichever waits), and the counts and first rows of
    // both come out in file order, whatever the timing.
    QByteArray bytes("name;categoryId;description\r\n");
    const QByteArray text(2000, 'x');
    QList<int> badLines;
    for (int i = 0; i < 4000; ++i) {
        const bool bad = i % 397 == 3;
        bytes += "n" + QByteArray::number(i) + ";X;" + text + (bad ? "\xFF" : "\xD0\x96") + "\r\n";
        if (bad)
            badLines.append(i + 2);
    }
    QVERIFY(bytes.size() > 3 * (2 << 20));
    const QString path = WriteBytes(QDir(m_dir.path()), "many.csv", bytes);
    for (int round = 0; round < 2; ++round) {
        Model model;
        QVERIFY(model.AddFile(path));
        QCOMPARE(model.InvalidUtf8Rows(), qint64(badLines.size()));
        QStringList first;
        for (int k = 0; k < 5; ++k)
            first.append(QString::number(badLines.at(k)));
        QCOMPARE(model.Warnings().size(), 1);
        QVERIFY2(model.Warnings().first().contains(QStringLiteral("строки ") + first.join(QStringLiteral(", ")) + ", …"),
                 qPrintable(model.Warnings().first()));
    }
}

void TestLoading::windows1251Conversion()
{
    // Every byte as the C library's iconv reads it, but the undefined 0x98,
    // which stays a byte that is not UTF-8.
    QByteArray all;
    QByteArray expected;
    for (int c = 0; c < 256; ++c) {
        all.append(char(c));
        QByteArray one;
        if (c == 0x98)
            one = "\x98";
        else
            QVERIFY(CharsetConverter::Convert(QByteArray(1, char(c)), "WINDOWS-1251", "UTF-8", &one));
        expected += one;
    }
    QByteArray converted;
    FeedEncoding::AppendFromWindows1251(all.constData(), all.size(), converted);
    QCOMPARE(converted, expected);

    // A file of several blocks, through the conversion the load uses.
    const QString row = QStringLiteral("Сапоги «Ёлка» — №%1;Обувь\r\n");
    const QByteArray text = BadInput::Windows1251(row).repeated(300000);
    const QString from = WriteBytes(QDir(m_dir.path()), "big1251.csv", text);
    const QString to = m_dir.filePath("big1251_utf8.csv");
    QVERIFY(FeedEncoding::ConvertFromWindows1251(from, to, nullptr, nullptr));
    QCOMPARE(ReadBytes(to), row.toUtf8().repeated(300000));
    RecordingProgress cancel(2);
    QString error;
    QVERIFY(!FeedEncoding::ConvertFromWindows1251(from, to, &cancel, &error));
    QVERIFY(error.contains(QStringLiteral("отменено")));
    QVERIFY(!QFile::exists(to));

    // A sample that ends inside a character is no fault of the file.
    const QByteArray utf8 = QStringLiteral("Сапоги").toUtf8();
    QCOMPARE(FeedEncoding::Detect(utf8.constData(), utf8.size() - 1, false), FeedEncoding::Utf8);
    QCOMPARE(FeedEncoding::Detect(utf8.constData(), utf8.size() - 1, true), FeedEncoding::Other);
}

void TestLoading::convertingInPieces_data()
{
    // The conversion of declared encodings gets a document in pieces that
    // may cut a character anywhere.
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("output");
    QTest::addColumn<int>("failedAt"); // -1 when the whole input converts
    QTest::newRow("UTF-8 into windows-1251") << QByteArray("UTF-8") << QByteArray("WINDOWS-1251")
                                             << QStringLiteral("Ёлка №1").toUtf8()
                                             << QByteArray("\xA8\xEB\xEA\xE0 \xB9" "1") << -1;
    QTest::newRow("two-byte characters into UTF-8") << QByteArray("SHIFT_JIS") << QByteArray("UTF-8")
                                                    << QByteArray("a\x93\xFA\x96\x7B") << QStringLiteral("a日本").toUtf8()
                                                    << -1;
    QTest::newRow("a byte windows-1251 leaves undefined")
            << QByteArray("WINDOWS-1251") << QByteArray("UTF-8") << QByteArray("ab\x98" "c") << QByteArray() << 2;
    QTest::newRow("a character cut short at the end")
            << QByteArray("SHIFT_JIS") << QByteArray("UTF-8") << QByteArray("ab\x93") << QByteArray() << 2;
    QTest::newRow("a character the target cannot write")
            << QByteArray("UTF-8") << QByteArray("KOI8-R") << QStringLiteral("ab日").toUtf8() << QByteArray() << 2;
}

void TestLoading::convertingInPieces()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, output);
    QFETCH(int, failedAt);
    if (!Platform::ConvertsEveryEncoding() && (from == "SHIFT_JIS" || from == "WINDOWS-1251"))
        QSKIP("this build's iconv knows single-byte code pages only, as Windows defines them");
    for (const int piece : {1, 2, int(input.size())}) {
        CharsetConverter converter(from.constData(), to.constData());
        QVERIFY(converter.IsValid());
        QByteArray out;
        bool ok = true;
        for (int at = 0; ok && at < input.size(); at += piece)
            ok = converter.Append(input.constData() + at, qMin(piece, int(input.size()) - at), out);
        ok = ok && converter.Finish();
        QCOMPARE(ok, failedAt < 0);
        if (ok)
            QCOMPARE(out, output);
        else
            QCOMPARE(converter.FailedAt(), qint64(failedAt));
    }
    QVERIFY(!CharsetConverter("x-nobody-knows", "UTF-8").IsValid());
}

void TestLoading::clear()
{
    Model model;
    QVERIFY(model.AddFile(Feed("shop.csv", {"name;vendor;price;categoryId", "a;Ecco;10;X"})));
    Offer &offer = model.Offers().first();
    offer.exclude << CategoryRule::FromText("Y");
    const QString download = model.TemporaryPath("downloaded", ".csv");
    WriteBytes(QDir(), download, "name;categoryId\r\nz;X\r\n");
    offer.exportFile = download;
    offer.exportLoaded = true;
    model.SetOption("filter/search", "x");
    model.AppendArrayOption("filter/vendors", "Ecco");

    model.Clear(true);
    QCOMPARE(model.Root().GoodCount(true), 0);
    QVERIFY(model.Root().children.isEmpty());
    QVERIFY(model.Sources().isEmpty());
    QVERIFY(model.Vendors().IsEmpty());
    QCOMPARE(model.Offers().size(), 1);
    QVERIFY(!model.Offers().first().hasGoods);
    QVERIFY(!model.Offers().first().exportLoaded);
    QVERIFY(model.Offers().first().priceInfo.IsEmpty());
    QCOMPARE(model.Offers().first().exclude.size(), 1);
    QVERIFY(!QFile::exists(download));
    QCOMPARE(model.Option("filter/search"), QStringLiteral("x"));

    model.Clear(false);
    QVERIFY(model.Offers().isEmpty());
    QVERIFY(model.OfferIndex().isEmpty());
    QVERIFY(model.Options().isEmpty());
    // The filter's lists go too: a project opened next must not inherit them.
    QVERIFY(model.ArrayOptions().isEmpty());
    QVERIFY(model.AddFile(Feed("again.csv", {"name;categoryId", "a;X"})));
    QCOMPARE(model.Root().GoodCount(true), 1);
}

void TestLoading::rowsLongerThanABlock()
{
    // Rows far longer than the blocks the loader reads, among short ones,
    // loaded as data and then as base.
    const QString longText(9 * 1024 * 1024, QLatin1Char('x'));
    const QStringList lines{"name;url;descr;categoryId", "a;u1;short;X", "b;u2;" + longText + ";X", "c;u3;" + longText
                                                                                                       + ";Y",
                            "d;u4;short;Y"};
    Model model;
    QVERIFY(model.AddFile(Feed("long.csv", lines)));
    QCOMPARE(Goods(model), (QStringList{"a:0", "b:0", "c:0", "d:0"}));
    QStringList base = lines;
    base[3] = "c;u3;" + longText + "!;Y";
    QVERIFY(model.AddFile(Feed("longbase.csv", base), true));
    QCOMPARE(Goods(model), QStringList{"c:1"});
}

void TestLoading::realFeed()
{
    Model model;
    QVERIFY(model.AddFile(QStringLiteral(SAMPLES_DIR "/admitad_quke_test_first5000lines.csv")));
    QCOMPARE(model.Root().GoodCount(true), 4999);
    const Good *good = model.Root().FirstGood();
    QCOMPARE(good->offer->url, QStringLiteral("https://quke.ru"));
    QVERIFY(good->price > 0);
    QVERIFY(!model.Vendors().IsEmpty());
    // The same feed as base: every good is identical and leaves.
    QVERIFY(model.AddFile(QStringLiteral(SAMPLES_DIR "/admitad_quke_test_first5000lines.csv"), true));
    QCOMPARE(model.Root().GoodCount(true), 0);

    Model woo;
    QVERIFY(woo.AddFile(QStringLiteral(SAMPLES_DIR "/admitad_derived_woocommerce_vseinstrumenti.csv")));
    QCOMPARE(woo.Sources().first().header.first(), QStringLiteral("Тип"));
    QCOMPARE(woo.Root().GoodCount(true), 0); // no category column of ours
}

QTEST_GUILESS_MAIN(TestLoading)
#include "tst_loading.moc"
