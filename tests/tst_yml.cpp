#include <QTemporaryDir>
#include <QtTest>

#include "badinput.h"
#include "catmodel.h"
#include "feedfile.h"
#include "good.h"
#include "httptestserver.h"
#include "model.h"
#include "offer.h"
#include "recordingprogress.h"
#include "ymlconverter.h"

namespace {

QByteArray Catalogue(const QByteArray &categories, const QByteArray &offers,
                     const QByteArray &prolog = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                                "<!DOCTYPE yml_catalog SYSTEM \"shops.dtd\">\n")
{
    return prolog + "<yml_catalog date=\"2024-01-01 10:00\">\n<shop><name>Магазин</name>\n<categories>\n"
            + categories + "</categories>\n<offers>\n" + offers + "</offers>\n</shop>\n</yml_catalog>\n";
}

QByteArray OfferXml(const char *id, const char *category, const QByteArray &more = QByteArray())
{
    return QByteArray("<offer id=\"") + id + "\"><url>https://shop.example/" + id + "</url><price>100</price>"
            + "<categoryId>" + category + "</categoryId><name>Товар " + id + "</name>" + more + "</offer>\n";
}

// The converted rows of a loaded catalogue by offer id, each as column -> cell.
QHash<QString, QHash<QString, QString>> RowsById(const QString &csvPath)
{
    QHash<QString, QHash<QString, QString>> rows;
    const QList<QStringList> csv = ReadCsv(csvPath);
    for (int i = 1; i < csv.size(); ++i) {
        QHash<QString, QString> row;
        for (int column = 0; column < csv.first().size(); ++column)
            row.insert(csv.first().at(column), csv.at(i).value(column));
        rows.insert(row.value(QStringLiteral("id")), row);
    }
    return rows;
}

int CategoryCount(const CatModel &node)
{
    return node.Descendants(true).size();
}

} // namespace

class TestYml : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void samples_data();
    void samples();
    void conversion_data();
    void conversion();
    void detection_data();
    void detection();
    void brokenCatalogues_data();
    void brokenCatalogues();
    void cancelled_data();
    void cancelled();
    void baseOfTheSameGoods_data();
    void baseOfTheSameGoods();
    void offerFeedByUrl();
    void offerNamedAfterShop_data();
    void offerNamedAfterShop();
    void usualSuspects_data();
    void usualSuspects();

private:
    QString Write(const QString &name, const QByteArray &bytes) { return WriteBytes(QDir(m_dir.path()), name, bytes); }
    // Files the conversions left in the temporary folder.
    QStringList Leftovers() const { return QDir(m_temp.path()).entryList(QDir::Files); }

    QTemporaryDir m_dir;
    QTemporaryDir m_temp;
};

void TestYml::initTestCase()
{
    // Converted files go to the temporary folder: one of the test's own.
    QVERIFY(m_temp.isValid());
    qputenv("TMPDIR", QFile::encodeName(m_temp.path()));
    // (Windows reads the folder from TMP and TEMP.)
    qputenv("TMP", QDir::toNativeSeparators(m_temp.path()).toLocal8Bit());
    qputenv("TEMP", QDir::toNativeSeparators(m_temp.path()).toLocal8Bit());
    QCOMPARE(QDir::tempPath(), QDir(m_temp.path()).canonicalPath());
}

void TestYml::init()
{
    for (const QString &name : Leftovers())
        QFile::remove(m_temp.filePath(name));
}

void TestYml::samples_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("goods");
    QTest::addColumn<int>("categories");
    QTest::addColumn<QStringList>("cells"); // "offer id|column|value"

    QTest::newRow("the format's example")
            << "yml_spec_example_go-admitad-yml.xml" << 2 << 1
            << QStringList{"123|name|Наручные часы Casio A1234567B", "123|available|true", "123|oldprice|800",
                           "123|categoryId|Принтеры", "12341|name|Принтер HP Deskjet D2663",
                           "12341|vendorCode|", "12341|param_Вес (кг)|2.73", "12341|param_Тип печати|Цветная",
                           "123|param_Вес (кг)|"};
    QTest::newRow("a real shop")
            << "yml_ecwid_karsaman_dmitrykram-ya.xml" << 77 << 4 // three and the offer's node above them
            << QStringList{"413376464|group_id|413376464",
                           "413376464|picture|https://d2j6dbq0eux0bg.cloudfront.net/images/40599014/2701782375.jpg",
                           "413376464C229995501|param_Размер (RU)|52", "413376464C229995501|param_Цвет|Красно-белый",
                           "413376464|param_Цвет|", "413376464C229995501|idTpl|[u]#[i]",
                           "413376464|categoryId|Кофты, толстовки, худи, футболки"};
}

void TestYml::samples()
{
    QFETCH(QString, file);
    QFETCH(int, goods);
    QFETCH(int, categories);
    QFETCH(QStringList, cells);
    Model model;
    RecordingProgress progress;
    QVERIFY2(model.AddFile(QStringLiteral(SAMPLES_DIR "/") + file, false, &progress), qPrintable(model.LastError()));
    QCOMPARE(model.Root().GoodCount(true), goods);
    QCOMPARE(CategoryCount(model.Root()), categories);
    QVERIFY(model.Warnings().isEmpty());
    QVERIFY(progress.reports.first().contains(QStringLiteral("Обработка каталога YML")));

    const Source &source = model.Sources().first();
    QCOMPARE(source.name, QFileInfo(file).completeBaseName());
    QCOMPARE(model.Offers().size(), 1);
    QCOMPARE(model.Offers().first().name, source.name);
    const QHash<QString, QHash<QString, QString>> rows = RowsById(source.path);
    QCOMPARE(rows.size(), goods);
    for (const QString &cell : cells) {
        const QStringList parts = cell.split(QLatin1Char('|'));
        QVERIFY2(rows.value(parts.at(0)).contains(parts.at(1)), qPrintable(cell));
        QCOMPARE(rows.value(parts.at(0)).value(parts.at(1)), parts.at(2));
    }
    // Every picture of an offer, one a line.
    if (rows.contains(QStringLiteral("413376464")))
        QCOMPARE(rows.value(QStringLiteral("413376464")).value(QStringLiteral("pictures")).count(QLatin1Char('\n')), 6);
}

void TestYml::conversion_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QStringList>("cells"); // "offer id|column|value"
    QTest::addColumn<int>("withoutCategory");

    QTest::newRow("three levels, a parent declared after its child")
            << Catalogue("<category id=\"3\" parentId=\"2\">Острая</category><category id=\"1\">Еда</category>"
                         "<category id=\"2\" parentId=\"1\">Пицца</category>",
                         OfferXml("10", "3") + OfferXml("11", "1"))
            << QStringList{"10|categoryId|Еда/Пицца/Острая", "11|categoryId|Еда"} << 0;
    QTest::newRow("an unknown category keeps an empty path and is counted")
            << Catalogue("<category id=\"1\">Еда</category>",
                         OfferXml("10", "1") + OfferXml("11", "99") + OfferXml("12", ""))
            << QStringList{"10|categoryId|Еда", "11|categoryId|", "12|categoryId|"} << 2;
    QTest::newRow("a loop of parents ends at the loop")
            << Catalogue("<category id=\"1\" parentId=\"2\">А</category><category id=\"2\" parentId=\"1\">Б</category>",
                         OfferXml("10", "1"))
            << QStringList{"10|categoryId|Б/А"} << 0;
    QTest::newRow("categories after the offers")
            << QByteArray("<yml_catalog><shop><offers>") + OfferXml("10", "1")
                       + "</offers><categories><category id=\"1\">Еда</category></categories></shop></yml_catalog>"
            << QStringList{"10|categoryId|Еда"} << 0;
    QTest::newRow("typed offer, no name")
            << Catalogue("<category id=\"1\">Книги</category>",
                         "<offer id=\"7\" type=\"vendor.model\" available=\"false\"><categoryId>1</categoryId>"
                         "<typePrefix> Принтер </typePrefix><model>D2663</model></offer>")
            << QStringList{"7|name|Принтер D2663", "7|available|false", "7|group_id|"} << 0;
    QTest::newRow("description: CDATA as text, markup as written")
            << Catalogue("<category id=\"1\">Еда</category>",
                         OfferXml("1", "1", "<description><![CDATA[<p>Вкусно &amp; <b>сытно</b></p>]]></description>")
                                 + OfferXml("2", "1", "<description>\n  Строка<br/>вторая <p class=\"a&amp;b\">"
                                                   "абзац</p>  \n</description>"))
            << QStringList{"1|description|<p>Вкусно &amp; <b>сытно</b></p>",
                           "2|description|Строка<br/>вторая <p class=\"a&amp;b\">абзац</p>"} << 0;
    QTest::newRow("entities: standard ones decoded, undeclared ones kept")
            << Catalogue("<category id=\"1\">Еда &amp; напитки</category>",
                         OfferXml("1", "1", "<vendor>A&amp;B&nbsp;&#1046;</vendor><param name=\"Цвет &amp; тон\">"
                                         "синий</param>"))
            << QStringList{"1|vendor|A&B&nbsp;Ж", "1|categoryId|Еда & напитки", "1|param_Цвет & тон|синий"} << 0;
    QTest::newRow("params: units, repeated values, variants")
            << Catalogue("<category id=\"1\">Одежда</category>",
                         OfferXml("1", "1") + "<offer id=\"2\" group_id=\"g\"><url>https://shop.example/g</url>"
                                           "<categoryId>1</categoryId><name>Куртка</name>"
                                           "<param name=\"Размер\" unit=\"RU\">52</param>"
                                           "<param name=\"Цвет\">красный</param><param name=\"Цвет\">синий</param>"
                                           "<picture> a.jpg </picture><picture/><picture>b.jpg</picture></offer>")
            << QStringList{"1|param_Размер (RU)|", "1|idTpl|", "2|param_Размер (RU)|52",
                           "2|param_Цвет|красный, синий", "2|idTpl|[u]#[i]", "2|picture|a.jpg",
                           "2|pictures|a.jpg\nb.jpg"} << 0;
    QByteArray many;
    for (int i = 1; i <= 1200; ++i)
        many += OfferXml(QByteArray::number(i).constData(), "1");
    many += "<offer id=\"late\" group_id=\"g\"><url>https://shop.example/g</url><categoryId>1</categoryId>"
            "<param name=\"Вес\" unit=\"кг\">2</param></offer>\n";
    QTest::newRow("a column first seen after many offers")
            << Catalogue("<category id=\"1\">Еда</category>", many)
            << QStringList{"1|param_Вес (кг)|", "1200|idTpl|", "late|param_Вес (кг)|2", "late|idTpl|[u]#[i]",
                           "1200|name|Товар 1200"}
            << 0;
    // The document's own declaration tells its encoding.
    const QByteArray windows = BadInput::Windows1251(QString::fromUtf8(
            Catalogue("<category id=\"1\">Еда</category><category id=\"2\" parentId=\"1\">Сыры «Ёлки»</category>",
                      OfferXml("1", "2", "<param name=\"Жирность\" unit=\"%\">45</param>") + OfferXml("2", "1"),
                      "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n")));
    QTest::newRow("windows-1251")
            << windows
            << QStringList{"1|categoryId|Еда/Сыры «Ёлки»", "1|name|Товар 1", "1|param_Жирность (%)|45",
                           "2|categoryId|Еда"}
            << 0;
}

void TestYml::conversion()
{
    QFETCH(QByteArray, document);
    QFETCH(QStringList, cells);
    QFETCH(int, withoutCategory);
    Model model;
    RecordingProgress progress;
    QVERIFY2(model.AddFile(Write("shop.xml", document), false, &progress), qPrintable(model.LastError()));
    const QHash<QString, QHash<QString, QString>> rows = RowsById(model.Sources().first().path);
    QCOMPARE(rows.size(), document.count("<offer "));
    for (const QString &cell : cells) {
        const QStringList parts = cell.split(QLatin1Char('|'));
        QVERIFY2(rows.value(parts.at(0)).contains(parts.at(1)), qPrintable(cell));
        QCOMPARE(rows.value(parts.at(0)).value(parts.at(1)), parts.at(2));
    }
    // Offers without a category are not loaded, and the load says so.
    QCOMPARE(model.Root().GoodCount(true), rows.size() - withoutCategory);
    QCOMPARE(model.Warnings().size(), withoutCategory > 0 ? 1 : 0);
    QCOMPARE(model.RowsWithoutCategory(), qint64(withoutCategory));
    if (withoutCategory > 0) {
        QVERIFY(model.Warnings().first().contains(QStringLiteral(": %1;").arg(withoutCategory)));
        QVERIFY(progress.reports.contains(QStringLiteral("0/0 ") + model.Warnings().first()));
    }
}

void TestYml::detection_data()
{
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<bool>("isYml");
    const QByteArray root = "<yml_catalog><shop/></yml_catalog>\n";
    QTest::newRow("bare") << root << true;
    QTest::newRow("byte order mark, declaration, comments, DOCTYPE")
            << QByteArray("\xef\xbb\xbf<?xml version=\"1.0\"?>\n<!-- выгрузка -->\n<!DOCTYPE yml_catalog SYSTEM "
                          "\"shops.dtd\">\n<!-- ещё -->\n") + root
            << true;
    QTest::newRow("another document element") << QByteArray("<?xml version=\"1.0\"?><catalog/>") << false;
    QTest::newRow("a CSV feed") << QByteArray("id;name\r\n1;<yml_catalog>\r\n") << false;
    QTest::newRow("a namespaced element") << QByteArray("<x:yml_catalog xmlns:x=\"urn:x\"/>") << false;
    QTest::newRow("white space, an instruction, a DOCTYPE with an internal subset")
            << QByteArray("\r\n  <?xml version=\"1.0\"?>\n<?xml-stylesheet href=\"a>b.xsl\"?>\n<!DOCTYPE yml_catalog [\n"
                          "<!ELEMENT yml_catalog ANY> <!-- ]> --> <!ATTLIST yml_catalog date CDATA \">\">\n]>") + root
            << true;
    QTest::newRow("the document element beyond the first 64 KB")
            << QByteArray("<?xml version=\"1.0\"?>\n<!--" + QByteArray(64 * 1024, ' ') + "-->") + root << false;
}

void TestYml::detection()
{
    QFETCH(QByteArray, head);
    QFETCH(bool, isYml);
    // The extension does not matter.
    QCOMPARE(YmlConverter::IsYmlCatalog(Write("feed.csv", head)), isYml);
}

void TestYml::brokenCatalogues_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("error");
    const QByteArray whole = Catalogue("<category id=\"1\">Еда</category>", OfferXml("1", "1") + OfferXml("2", "1"));
    QTest::newRow("mismatched tags")
            << QByteArray(whole).replace("<price>100</price><categoryId>1</categoryId><name>Товар 2",
                                         "<price>100</cost><categoryId>1</categoryId><name>Товар 2")
            << "строка 9, столбец 65";
    // Past the first thousand offers: the rows written so far are removed.
    QByteArray many;
    for (int i = 1; i <= 1500; ++i)
        many += OfferXml(QByteArray::number(i).constData(), "1");
    const QByteArray longer = Catalogue("<category id=\"1\">Еда</category>", many);
    QTest::newRow("cut off") << longer.left(longer.indexOf("<offer id=\"1500\"") + 30) << "повреждён: строка 1507";
    QTest::newRow("entity expansion")
            << QByteArray("<!DOCTYPE yml_catalog [\n<!ENTITY a \"aaaaaaaaaa\">\n<!ENTITY b \"&a;&a;&a;&a;&a;\">\n]>\n")
                       + Catalogue("<category id=\"1\">&b;</category>", OfferXml("1", "1"), QByteArray())
            << "объявлены сущности (строка 2)";
    QTest::newRow("external entity")
            << QByteArray("<!DOCTYPE yml_catalog [<!ENTITY x SYSTEM \"file:///etc/hostname\">]>\n")
                       + Catalogue("<category id=\"1\">&x;</category>", OfferXml("1", "1"), QByteArray())
            << "объявлены сущности";
    QByteArray deep = whole;
    deep.replace("<name>Товар 2", QByteArray(QByteArray("<x>").repeated(300) + QByteArray("</x>").repeated(300) + "<name>Товар 2"));
    QTest::newRow("nested too deep") << deep << "глубже 256 уровней (строка 9)";
}

void TestYml::brokenCatalogues()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, error);
    Model model;
    QVERIFY(model.AddFile(WriteFeed(QDir(m_dir.path()), QStringLiteral("feed.csv"),
                                    {"id;name;categoryId", "1;Чайник;Кухня"})));
    QVERIFY(!model.AddFile(Write("broken.xml", document)));
    QVERIFY2(model.LastError().contains(error), qPrintable(model.LastError()));
    QVERIFY(model.LastError().contains(QLatin1String("broken.xml")));
    // Nothing of the catalogue is loaded and nothing is left behind.
    QCOMPARE(model.Sources().size(), 1);
    QCOMPARE(model.Root().GoodCount(true), 1);
    QCOMPARE(Leftovers(), QStringList());
}

void TestYml::cancelled_data()
{
    QTest::addColumn<int>("cancelAt");
    QTest::newRow("before the conversion") << 1;
    QTest::newRow("in the middle of the offers") << 4;
}

void TestYml::cancelled()
{
    QFETCH(int, cancelAt);
    QByteArray offers;
    for (int i = 0; i < 30000; ++i)
        offers += OfferXml(QByteArray::number(i).constData(), "1");
    const QString path = Write("big.xml", Catalogue("<category id=\"1\">Еда</category>", offers));
    QVERIFY(QFileInfo(path).size() > 3 * 1024 * 1024);
    Model model;
    RecordingProgress progress(cancelAt);
    QVERIFY(!model.AddFile(path, false, &progress));
    QCOMPARE(progress.reports.size(), cancelAt);
    QCOMPARE(model.LastError(), QStringLiteral("Загрузка big.xml отменена"));
    QCOMPARE(model.Sources().size(), 0);
    QCOMPARE(Leftovers(), QStringList());
}

void TestYml::baseOfTheSameGoods_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("goods told apart by their address") << "yml_spec_example_go-admitad-yml.xml";
    QTest::newRow("variants sharing an address") << "yml_ecwid_karsaman_dmitrykram-ya.xml";
}

void TestYml::baseOfTheSameGoods()
{
    QFETCH(QString, file);
    const QString yml = QStringLiteral(SAMPLES_DIR "/") + file;
    QString csv;
    {
        Model converted;
        QVERIFY(converted.AddFile(yml));
        csv = m_dir.filePath(QFileInfo(file).completeBaseName() + QLatin1String(".csv"));
        QFile::remove(csv);
        QVERIFY(QFile::copy(converted.Sources().first().path, csv));
    }
    Model model;
    QVERIFY(model.AddFile(csv));
    QVERIFY(model.Root().GoodCount(true) > 0);
    QVERIFY2(model.AddFile(yml, true), qPrintable(model.LastError()));
    QCOMPARE(model.Root().GoodCount(true), 0);
}

void TestYml::offerFeedByUrl()
{
    HttpTestServer server;
    HttpTestServer::Response response;
    response.body = ReadBytes(QStringLiteral(SAMPLES_DIR "/yml_spec_example_go-admitad-yml.xml"));
    server.Set("/export/feed", response);
    response.body = Catalogue("<category id=\"1\">Еда</category>", OfferXml("1", "1").replace("</price>", "</price"));
    server.Set("/export/broken", response);

    Model model;
    Offer offer;
    offer.name = QStringLiteral("Лучший магазин");
    offer.exportUrl = server.Url(QStringLiteral("/export/feed"));
    model.Offers().append(offer);
    Offer *added = &model.Offers().last();
    RecordingProgress progress;
    QVERIFY2(model.LoadOffer(added, &progress), qPrintable(model.LastError()));
    QCOMPARE(model.Root().GoodCount(true), 2);
    QCOMPARE(model.Sources().first().feedPath, added->exportFile);
    QVERIFY(model.UnloadOffer(added));
    QCOMPARE(model.Sources().size(), 0);
    QCOMPARE(model.Root().GoodCount(true), 0);

    QVERIFY(!model.AddUrl(server.Url(QStringLiteral("/export/broken"))));
    QVERIFY2(model.LastError().contains(QStringLiteral("повреждён")), qPrintable(model.LastError()));
    QCOMPARE(model.Sources().size(), 0);
}

void TestYml::offerNamedAfterShop_data()
{
    // Where the catalogue comes from: a file of that name, or "url:" an
    // address of the test's server (with "|" the name the server gives).
    QTest::addColumn<QString>("from");
    QTest::addColumn<QByteArray>("shopName"); // the shop's <name> element
    QTest::addColumn<QString>("known");       // an offer the project already has
    QTest::addColumn<QString>("offer");

    const QByteArray shop("<name>Мой магазин</name>");
    QTest::newRow("export.xml") << "export.xml" << shop << "" << "Мой магазин";
    QTest::newRow("feed.yml, the name on several lines")
            << "feed.yml" << QByteArray("<name>\n  Книги\n\t и  музыка  </name>") << "" << "Книги и музыка";
    QTest::newRow("yml.xml, markup and entities")
            << "yml.xml" << QByteArray("<name>Дом &amp; сад <b>№&#160;1</b>&#1046;<![CDATA[ <i>]]></name>") << ""
            << "Дом & сад № 1Ж <i>";
    QTest::newRow("generic words, digits, separators, any case")
            << "Yandex_Market-Catalog 2024-05.XML" << shop << "" << "Мой магазин";
    QTest::newRow("Russian generic words") << "выгрузка_товары.xml" << shop << "" << "Мой магазин";
    QTest::newRow("a slash would split the offer's node")
            << "catalog.xml" << QByteArray("<name>Книги/Музыка</name>") << "" << "Книги-Музыка";
    QTest::newRow("empty shop name") << "export.xml" << QByteArray("<name> <b/> </name>") << "" << "export";
    QTest::newRow("no shop name") << "export.xml" << QByteArray() << "" << "export";
    QTest::newRow("a name that says something") << "mvideo.xml" << shop << "" << "mvideo";
    QTest::newRow("a generic word beside a shop's") << "mvideo_export.xml" << shop << "" << "mvideo_export";
    QTest::newRow("the project's offer of the file keeps it") << "export.xml" << shop << "export" << "export";
    QTest::newRow("the project's offer of the shop") << "export.xml" << shop << "Мой магазин" << "Мой магазин";
    QTest::newRow("download named after the host and a number")
            << "url:127.0.0.1/export?format=yml" << shop << "" << "Мой магазин";
    QTest::newRow("download from a named host") << "url:localhost/export?format=yml" << shop << "" << "Мой магазин";
    QTest::newRow("download the server names") << "url:127.0.0.1/x|mvideo.xml" << shop << "" << "mvideo";
    QTest::newRow("download the server names generically") << "url:127.0.0.1/x|feed.xml" << shop << ""
                                                           << "Мой магазин";
}

void TestYml::offerNamedAfterShop()
{
    QFETCH(QString, from);
    QFETCH(QByteArray, shopName);
    QFETCH(QString, known);
    QFETCH(QString, offer);
    const QByteArray document = "<yml_catalog><shop>" + shopName
            + "<categories><category id=\"1\">Еда</category></categories><offers>" + OfferXml("1", "1")
            + OfferXml("2", "1") + "</offers></shop></yml_catalog>";

    HttpTestServer server;
    Model model;
    if (!known.isEmpty())
        model.FindOrCreateOffer(known);
    const auto load = [&] {
        if (!from.startsWith(QLatin1String("url:")))
            return model.AddFile(Write(from, document));
        const QStringList parts = from.mid(4).split(QLatin1Char('|'));
        const int slash = parts.first().indexOf(QLatin1Char('/'));
        const QString path = parts.first().mid(slash);
        HttpTestServer::Response response = HttpTestServer::Ok(document);
        if (parts.size() > 1)
            response.headers.append(qMakePair(QByteArray("Content-Disposition"),
                                              QByteArray("attachment; filename=" + parts.at(1).toUtf8())));
        server.Set(path.toUtf8(), response);
        return model.AddUrl(QStringLiteral("http://%1:%2%3").arg(parts.first().left(slash)).arg(server.serverPort())
                                    .arg(path));
    };
    // Loaded again into the project, the catalogue lands in the same offer.
    for (int round = 0; round < 2; ++round) {
        model.Clear(true);
        QVERIFY2(load(), qPrintable(model.LastError()));
        QCOMPARE(model.Offers().size(), known.isEmpty() || known == offer ? 1 : 2);
        QCOMPARE(model.Root().GoodCount(true), 2);
        for (const CatModel *category : model.Root().Descendants(true)) {
            for (const Good *good : category->goods)
                QCOMPARE(good->offer->name, offer);
        }
    }
}

void TestYml::usualSuspects_data()
{
    using namespace BadInput;
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("offers"); // converted offers, or -1 for an error
    QTest::addColumn<QString>("error");

    const QByteArray category("<category id=\"1\">Еда</category>");
    const QByteArray two = Catalogue(category, OfferXml("1", "1") + OfferXml("2", "1"));
    QTest::newRow("empty") << int(Bytes) << QByteArray() << -1 << "повреждён";
    QTest::newRow("only the declaration") << int(Bytes) << QByteArray("<?xml version=\"1.0\"?>\n") << -1 << "повреждён";
    QTest::newRow("binary garbage with NUL bytes")
            << int(Bytes) << QByteArray("<yml_catalog>" + Garbage()) << -1 << "повреждён";
    QTest::newRow("invalid UTF-8")
            << int(Bytes) << Catalogue(category, OfferXml("1", "1", "<vendor>" + InvalidUtf8() + "</vendor>")) << -1
            << "повреждён";
    QByteArray longLine = Catalogue(category, OfferXml("1", "1", "<description>" + LongText() + "</description>"));
    QTest::newRow("a 50 MB line") << int(Bytes) << longLine.replace('\n', ' ') << 1 << "";
    QTest::newRow("unbalanced quote at the end") << int(Bytes) << two.left(two.lastIndexOf("id=\"") + 5) << -1
            << "повреждён";
    QTest::newRow("CR-only line ends") << int(Bytes) << QByteArray(two).replace('\n', '\r') << 2 << "";
    QTest::newRow("a BOM in the middle")
            << int(Bytes) << Catalogue(category, OfferXml("1", "1", "<vendor>" + Bom() + "V</vendor>")) << 1 << "";
    QByteArray params;
    for (int i = 0; i < 10000; ++i)
        params.append("<param name=\"p" + QByteArray::number(i) + "\">" + QByteArray::number(i) + "</param>");
    QTest::newRow("10,000 columns")
            << int(Bytes) << Catalogue(category, OfferXml("1", "1", params) + OfferXml("2", "1")) << 2 << "";
    QTest::newRow("a directory") << int(Folder) << QByteArray() << -1 << "не является обычным файлом";
    QTest::newRow("a FIFO") << int(Fifo) << QByteArray() << -1 << "не является обычным файлом";
    QTest::newRow("/dev/zero") << int(ZeroDevice) << QByteArray() << -1 << "не является обычным файлом";
}

void TestYml::usualSuspects()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(int, offers);
    QFETCH(QString, error);
    const QString xml = BadInput::Make(QDir(m_dir.path()), "suspect.xml", kind, bytes);
    if (xml.isEmpty())
        QSKIP("this system has no such thing (a FIFO, /dev/zero)");
    bytes.clear();
    const QString csv = m_dir.filePath("suspect.csv");
    YmlConverter converter;
    QElapsedTimer timer;
    timer.start();
    YmlConverter::IsYmlCatalog(xml);
    QCOMPARE(converter.Convert(xml, csv, nullptr), offers >= 0);
    QVERIFY(timer.elapsed() < BadInput::kTimeLimitMs);
    if (offers < 0) {
        QVERIFY2(converter.ErrorText().contains(error) && converter.ErrorText().contains(QFileInfo(xml).fileName()),
                 qPrintable(converter.ErrorText()));
        QVERIFY(!QFile::exists(csv));
    } else {
        QCOMPARE(converter.Offers(), offers);
        const QList<QStringList> rows = ReadCsv(csv);
        QCOMPARE(rows.size(), offers + 1);
        for (const QStringList &row : rows)
            QCOMPARE(row.size(), rows.first().size());
    }
    QFile::remove(csv);
    BadInput::Remove(xml);
}

QTEST_GUILESS_MAIN(TestYml)
#include "tst_yml.moc"
