#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "badinput.h"
#include "catmodel.h"
#include "csvmanipulator.h"
#include "feedfile.h"
#include "dccatalogconverter.h"
#include "defaultgoodqueryobject.h"
#include "good.h"
#include "model.h"
#include "recordingprogress.h"

namespace {

const char kHead[] = "<!DOCTYPE dc_catalog SYSTEM \"http://www.delivery-club.ru/xml/dc.dtd\">\n";

QByteArray Catalogue(const QByteArray &categories, const QByteArray &products)
{
    return QByteArray(kHead) + "<dc_catalog><delivery_service><categories>\n" + categories
            + "</categories><products>\n" + products + "</products></delivery_service></dc_catalog>\n";
}

QByteArray Product(const char *id, const char *name, const char *category, const char *picture = "p.jpg")
{
    QByteArray product = QByteArray("<product id=\"") + id + "\"><name>" + name
            + "</name><description>Описание</description><price>100</price>";
    if (picture)
        product += QByteArray("<picture>") + picture + "</picture>";
    product += QByteArray("<category_id>") + category + "</category_id></product>\n";
    return product;
}

} // namespace

class TestDcCatalog : public QObject
{
    Q_OBJECT

private slots:
    void conversion_data();
    void conversion();
    void loadsAsAFeed();
    void detection_data();
    void detection();
    void hostileDocuments_data();
    void hostileDocuments();
    void cancelledConversion();
    void usualSuspects_data();
    void usualSuspects();

private:
    QString Write(const QString &name, const QByteArray &bytes) { return WriteBytes(QDir(m_dir.path()), name, bytes); }
    QTemporaryDir m_dir;
};

void TestDcCatalog::conversion_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QStringList>("written"); // "id name categoryId" per product

    QTest::newRow("nested categories")
            << Catalogue("<category id=\"1\">Еда</category><category id=\"2\" parentId=\"1\">Пицца</category>"
                         "<category id=\"3\" parentId=\"2\">Острая</category>",
                         Product("10", "Пепперони", "3") + Product("11", "Хлеб", "1"))
            << QStringList{"10 Пепперони Еда/Пицца/Острая", "11 Хлеб Еда"};
    QTest::newRow("parent declared after its child")
            << Catalogue("<category id=\"2\" parentId=\"1\">Пицца</category><category id=\"1\">Еда</category>",
                         Product("10", "Пепперони", "2"))
            << QStringList{"10 Пепперони Пицца"};
    QTest::newRow("a later category with the same id wins")
            << Catalogue("<category id=\"1\">Старое</category><category id=\"1\">Новое</category>",
                         Product("10", "a", "1"))
            << QStringList{"10 a Новое"};
    QTest::newRow("incomplete products are left out")
            << Catalogue("<category id=\"1\">Еда</category>",
                         Product("10", "a", "1", nullptr) + Product("11", "b", "99") + Product("", "c", "1")
                                 + Product("12", "", "1") + Product("13", "d", "1"))
            << QStringList{"13 d Еда"};
    QTest::newRow("the last product is written") << Catalogue("<category id=\"1\">Еда</category>",
                                                              Product("10", "a", "1") + Product("11", "b", "1"))
                                                 << QStringList{"10 a Еда", "11 b Еда"};
    QTest::newRow("text is trimmed and may be CDATA")
            << Catalogue("<category id=\"1\">\n  Еда  \n</category>",
                         "<product id=\"5\"><name><![CDATA[ <b>Торт</b> ]]></name><description>x</description>"
                         "<price> 1 </price><picture>p</picture><category_id> 1 </category_id></product>")
            << QStringList{"5 <b>Торт</b> Еда"};
    QTest::newRow("windows-1251, after a declaration of its own line")
            << BadInput::Windows1251(
                       "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\n"
                       + QString::fromUtf8(Catalogue("<category id=\"1\">Сыры</category><category id=\"2\" "
                                                     "parentId=\"1\">Твёрдые «Ёлки»</category>",
                                                     Product("10", "Гауда — №1", "2"))))
            << QStringList{"10 Гауда — №1 Сыры/Твёрдые «Ёлки»"};
    QTest::newRow("https address in the declaration")
            << QByteArray(Catalogue("<category id=\"1\">Еда</category>", Product("10", "a", "1")))
                       .replace("http://", "https://")
            << QStringList{"10 a Еда"};
}

void TestDcCatalog::conversion()
{
    QFETCH(QByteArray, document);
    QFETCH(QStringList, written);
    Model model;
    QVERIFY(model.AddFile(Write("catalogue.xml", document)));
    QCOMPARE(model.Sources().size(), 1);
    const Source &source = model.Sources().first();
    QCOMPARE(source.name, QStringLiteral("catalogue"));
    QVERIFY(source.path.endsWith(QLatin1String(".csv")));
    QVERIFY(QFileInfo(source.path).fileName().startsWith(QLatin1String("catalogue_")));
    const QList<QStringList> rows = ReadCsv(source.path);
    QCOMPARE(rows.first(), (QStringList{"id", "name", "description", "price", "picture", "categoryId"}));
    QStringList products;
    for (int i = 1; i < rows.size(); ++i)
        products << rows.at(i).at(0) + QLatin1Char(' ') + rows.at(i).at(1) + QLatin1Char(' ') + rows.at(i).at(5);
    QCOMPARE(products, written);
    QCOMPARE(model.Root().GoodCount(true), written.size());
    QFile::remove(source.path);
}

void TestDcCatalog::loadsAsAFeed()
{
    Model model;
    QVERIFY(model.AddFile(Write("pizza.xml", Catalogue("<category id=\"1\">Еда</category>"
                                                       "<category id=\"2\" parentId=\"1\">Пицца</category>",
                                                       Product("10", "Пепперони", "2")))));
    const Good *good = model.Root().FirstGood();
    QVERIFY(good);
    QCOMPARE(good->category->path, QStringLiteral("Еда/Пицца"));
    QCOMPARE(good->price, 100);
    QCOMPARE(good->offer->name, QStringLiteral("pizza"));
    QFile::remove(model.Sources().first().path);
}

void TestDcCatalog::detection_data()
{
    // The catalogue is known by its document element, wherever the lines of
    // its declarations put it; another document is refused, not read as CSV.
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("error"); // empty when the catalogue converts
    const QByteArray body = Catalogue("<category id=\"1\">Еда</category>", Product("10", "a", "1"));
    QTest::newRow("declaration on a line of its own")
            << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") + body << "";
    QTest::newRow("a byte-order mark, comments, no document type")
            << QByteArray(BadInput::Bom() + "<?xml version=\"1.0\"?>\r\n<!-- выгрузка\n2024 -->\r\n")
                       + body.mid(body.indexOf("<dc_catalog>"))
            << "";
    QTest::newRow("another document type") << QByteArray("<!DOCTYPE yml_catalog SYSTEM \"shops.dtd\">\n<x/>\n")
                                           << "документ XML <x>";
    QTest::newRow("a DOCTYPE of dc_catalog over another element")
            << QByteArray(kHead) + "<catalog/>\n" << "документ XML <catalog>";
}

void TestDcCatalog::detection()
{
    QFETCH(QByteArray, document);
    QFETCH(QString, error);
    Model model;
    const QString path = Write("other.xml", document);
    QCOMPARE(model.AddFile(path), error.isEmpty());
    if (error.isEmpty()) {
        QCOMPARE(model.Root().GoodCount(true), 1);
        QVERIFY(model.Sources().first().path != path); // read from its conversion
    } else {
        QVERIFY2(model.LastError().contains(error), qPrintable(model.LastError()));
        QVERIFY(model.Sources().isEmpty());
    }
}

void TestDcCatalog::hostileDocuments_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<QString>("error");
    const QByteArray whole = Catalogue("<category id=\"1\">Еда</category>",
                                       Product("10", "a", "1") + Product("11", "b", "1") + Product("12", "c", "1"));
    QTest::newRow("truncated") << whole.left(whole.indexOf("<product id=\"12\"") + 40) << "строка";
    QTest::newRow("malformed in the middle")
            << QByteArray(whole).replace("<product id=\"12\">", "<product id=\"12\"><<") << "столбец";
    QByteArray bomb(kHead);
    bomb.replace(">\n", " [\n<!ENTITY a \"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\">\n");
    for (int i = 1; i < 12; ++i)
        bomb += QStringLiteral("<!ENTITY a%1 \"%2\">\n").arg(i).arg(
                QString(QStringLiteral("&a%1;").arg(i == 1 ? QString() : QString::number(i - 1))).repeated(10)).toUtf8();
    bomb += "]>\n<dc_catalog><delivery_service><categories><category id=\"1\">&a11;</category></categories>"
            "</delivery_service></dc_catalog>\n";
    QTest::newRow("entity expansion bomb") << bomb << "сущност";
    QByteArray deep = Catalogue("<category id=\"1\">Еда</category>", Product("10", "a", "1"));
    deep.replace("</products>", QByteArray(QByteArray("<x>").repeated(100000) + "</products>"));
    QTest::newRow("deep nesting") << deep << "вложенност";
}

void TestDcCatalog::hostileDocuments()
{
    // A catalogue with an error converts to nothing, and loads nothing: half
    // a catalogue as a base would mark the rest of the site deleted.
    QFETCH(QByteArray, document);
    QFETCH(QString, error);
    const QString xml = Write("hostile.xml", document);
    const QString csv = m_dir.filePath("hostile.csv");
    QString why;
    QVERIFY(!ConvertDcCatalog(xml, csv, nullptr, &why));
    QVERIFY2(why.contains(error), qPrintable(why));
    QVERIFY(!QFile::exists(csv));

    Model model;
    QVERIFY(model.AddFile(Write("ok.csv", "name;categoryId\r\nkept;K\r\n")));
    QVERIFY(!model.AddFile(xml));
    QVERIFY2(model.LastError().contains(error), qPrintable(model.LastError()));
    QCOMPARE(model.Sources().size(), 1);
    QCOMPARE(model.Root().GoodCount(true), 1);
}

void TestDcCatalog::cancelledConversion()
{
    const QString xml = Write("c.xml", Catalogue("<category id=\"1\">Еда</category>", Product("10", "a", "1")));
    RecordingProgress cancel(1);
    QVERIFY(!ConvertDcCatalog(xml, m_dir.filePath("c.csv"), &cancel));
    QCOMPARE(cancel.reports, QStringList{"0/0 Обработка dc_catalog"});
    QVERIFY(!ConvertDcCatalog(m_dir.filePath("missing.xml"), m_dir.filePath("m.csv"), nullptr));
    QVERIFY(!ConvertDcCatalog(xml, m_dir.filePath("no/such/folder.csv"), nullptr));
}

void TestDcCatalog::usualSuspects_data()
{
    using namespace BadInput;
    QTest::addColumn<int>("kind");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("rows"); // converted rows, or -1 for an error
    QTest::addColumn<QString>("error");

    const QByteArray category("<category id=\"1\">Еда</category>");
    const QByteArray two = Catalogue(category, Product("10", "a", "1") + Product("11", "b", "1"));
    QTest::newRow("empty") << int(Bytes) << QByteArray() << -1 << "повреждён";
    QTest::newRow("only the document type") << int(Bytes) << QByteArray(kHead) << -1 << "повреждён";
    QTest::newRow("binary garbage with NUL bytes") << int(Bytes) << QByteArray(kHead + Garbage()) << -1 << "повреждён";
    QTest::newRow("invalid UTF-8")
            << int(Bytes) << Catalogue(category, Product("10", InvalidUtf8().constData(), "1")) << -1 << "повреждён";
    QTest::newRow("a 50 MB line")
            << int(Bytes)
            << Catalogue(category, Product("10", "a", "1")).replace("Описание", LongText()).replace('\n', ' ')
            << 1 << "";
    QTest::newRow("unbalanced quote at the end") << int(Bytes) << two.left(two.lastIndexOf("id=\"") + 5) << -1
            << "повреждён";
    QTest::newRow("CR-only line ends") << int(Bytes) << QByteArray(two).replace('\n', '\r') << 2 << "";
    QTest::newRow("a BOM in the middle")
            << int(Bytes) << Catalogue(category, Product("10", QByteArray(Bom() + "a").constData(), "1")) << 1
            << "";
    QByteArray attributes;
    for (int i = 0; i < 10000; ++i)
        attributes.append(" a" + QByteArray::number(i) + "=\"" + QByteArray::number(i) + "\"");
    const QByteArray opened = "<product id=\"10\"" + attributes;
    QTest::newRow("10,000 attributes") << int(Bytes) << QByteArray(two).replace("<product id=\"10\"", opened) << 2
                                       << "";
    QTest::newRow("a directory") << int(Folder) << QByteArray() << -1 << "не является обычным файлом";
    QTest::newRow("a FIFO") << int(Fifo) << QByteArray() << -1 << "не является обычным файлом";
    QTest::newRow("/dev/zero") << int(ZeroDevice) << QByteArray() << -1 << "не является обычным файлом";
}

void TestDcCatalog::usualSuspects()
{
    QFETCH(int, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(int, rows);
    QFETCH(QString, error);
    const QString xml = BadInput::Make(QDir(m_dir.path()), "suspect.xml", kind, bytes);
    if (xml.isEmpty())
        QSKIP("this system has no such thing (a FIFO, /dev/zero)");
    bytes.clear();
    const QString csv = m_dir.filePath("suspect.csv");
    QString why;
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(ConvertDcCatalog(xml, csv, nullptr, &why), rows >= 0);
    QVERIFY(timer.elapsed() < BadInput::kTimeLimitMs);
    if (rows < 0) {
        QVERIFY2(why.contains(error) && why.contains(QDir::toNativeSeparators(xml)), qPrintable(why));
        QVERIFY(!QFile::exists(csv));
    } else {
        QCOMPARE(ReadCsv(csv).size(), rows + 1);
    }
    QFile::remove(csv);
    BadInput::Remove(xml);
}

QTEST_GUILESS_MAIN(TestDcCatalog)
#include "tst_dccatalog.moc"
