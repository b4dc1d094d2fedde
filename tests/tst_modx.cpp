#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <atomic>

#include "catmodel.h"
#include "csvrowbuilder.h"
#include "feedfile.h"
#include "good.h"
#include "goodswriter.h"
#include "iprogress.h"
#include "model.h"
#include "modxchunkparser.h"
#include "modxmanager.h"
#include "modxreader.h"
#include "modxwriter.h"
#include "phpsite.h"

namespace {

// Stands in for the progress dialog: records the log, and a cancel makes
// Report answer false and quits the event loop handed over, as the dialog's
// Cancel button does.
class LogProgress final : public IProgress
{
public:
    virtual ~LogProgress() = default;
    bool Report(int, int, const QString &msg) override
    {
        log << msg;
        return !cancelled;
    }
    void BindEventLoop(QEventLoop *loop) override
    {
        m_loop = loop;
        if (cancelled)
            QMetaObject::invokeMethod(loop, "quit", Qt::QueuedConnection);
    }
    void Cancel()
    {
        cancelled = true;
        if (m_loop)
            QMetaObject::invokeMethod(m_loop, "quit", Qt::QueuedConnection);
    }
    bool Logged(const QString &text) const
    {
        for (const QString &line : log) {
            if (line.contains(text))
                return true;
        }
        return false;
    }
    std::atomic<bool> cancelled{false};
    QStringList log;

private:
    QPointer<QEventLoop> m_loop;
};

const QString kLogin = QString::fromUtf8(PhpSite::kLogin);
const QString kPassword = QString::fromUtf8(PhpSite::kPassword);

// A feed of n goods whose texts hold what a CSV or JSON copy could spoil:
// Cyrillic and other letters of two to four bytes, quotes, semicolons,
// backslashes, line breaks and control characters inside cells.
QStringList Feed(int n, int firstId = 1)
{
    QStringList lines{QStringLiteral("id;name;url;price;categoryId;description")};
    for (int i = firstId; i < firstId + n; ++i) {
        lines << QStringLiteral("%1;Кофта \"%1\";https://shop.test/g/%1?a=1&b=2;%2;Одежда/Кофты %3;"
                                "\"Тёплая; \"\"мягкая\"\"\r\nвторая строка \\ %1 € 😀\t\x01\"")
                         .arg(i)
                         .arg(100 + i)
                         .arg(i % 3);
    }
    return lines;
}

// Every row the site holds, keyed by id.
QMap<QString, QStringList> SiteRows(const QString &host)
{
    QMap<QString, QStringList> rows;
    ModxReader reader(host, kLogin, kPassword);
    if (!reader.Connect(nullptr))
        return rows;
    const int idAt = reader.SiteHeader().indexOf(QStringLiteral("id"));
    for (QStringList row = reader.NextRow(); !row.isEmpty(); row = reader.NextRow())
        rows.insert(row.at(idAt), row);
    return rows;
}

int GoodCount(Model &model)
{
    return GoodsWriter::Select(&model.Root(), nullptr, true).size();
}

// Puts n goods on the site through the program's own export.
bool Seed(const PhpSite &site, int n, int firstId = 1)
{
    QTemporaryDir dir;
    Model model;
    return model.AddFile(WriteFeed(QDir(dir.path()), QStringLiteral("seed.csv"), Feed(n, firstId)))
            && model.SaveToModxSite(site.Host(), kLogin, kPassword);
}

QStringList TemporaryCsvFiles()
{
    return QDir::temp().entryList({QStringLiteral("*.csv")}, QDir::Files);
}

// Copies of a site left in the temporary folder since the listing was
// taken, known by a column of that site's own.
QStringList LeftCopies(const QStringList &before, const QString &column)
{
    QStringList left;
    for (const QString &name : TemporaryCsvFiles()) {
        QFile file(QDir::temp().filePath(name));
        if (!before.contains(name) && file.open(QIODevice::ReadOnly) && file.readLine().contains(column.toUtf8()))
            left << name;
    }
    return left;
}

} // namespace

class TestModx : public QObject
{
    Q_OBJECT

private slots:
    void endpoint_data();
    void endpoint();
    void chunkParser_data();
    void chunkParser();
    void connect_data();
    void connect();
    void plainSentences_data();
    void plainSentences();
    void loginLivesInTheSessionCookie();
    void readsInChunks();
    void failedReadLeavesCatalogue_data();
    void failedReadLeavesCatalogue();
    void roundTripKeepsEveryByte();
    void deltaIsAppliedOnSite();
    void incompleteExportFails_data();
    void incompleteExportFails();
    void stalledSiteTimesOut();
};

void TestModx::endpoint_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("url");
    QTest::newRow("bare host") << "shop.test" << "http://shop.test/cron.php";
    QTest::newRow("path with slash") << "https://shop.test/x/" << "https://shop.test/x/cron.php";
    QTest::newRow("path without slash") << "shop.test/x" << "http://shop.test/x/cron.php";
    QTest::newRow("query kept") << "shop.test/ex.php?k=1" << "http://shop.test/ex.php?k=1";
}

void TestModx::endpoint()
{
    QFETCH(QString, host);
    QFETCH(QString, url);
    QCOMPARE(ModxManager::EndpointOf(host), url);
}

void TestModx::chunkParser_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("parsed");
    QTest::addColumn<bool>("success");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("rows"); // cells joined with "|"
    QTest::addColumn<int>("unusable");

    QTest::newRow("escapes") << QByteArray(R"({"success":true,"message":"Строки","object":[)"
                                           R"(["a\"b\\c","\r\n\t\/","\u0416\ud83d\ude00\u0001"]]})")
                             << true << true << "Строки"
                             << QStringList{QString::fromUtf8("a\"b\\c|\r\n\t/|Ж\xF0\x9F\x98\x80\x01")} << 0;
    QTest::newRow("null cell, other keys skipped")
            << QByteArray(R"( { "extra": {"a": [1, {"b": null}]}, "object": [["x", null, "z"]], "success": true } )")
            << true << true << "" << QStringList{"x||z"} << 0;
    QTest::newRow("unusable rows") << QByteArray(R"({"success":true,"object":[["1","2"],["1","2","3"],)"
                                                 R"(["1",2,"3"],"row",["a","b","c","d"],["x\"","y",3]]})")
                                   << true << true << "" << QStringList{"1|2|3"} << 5;
    QTest::newRow("refusal") << QByteArray(R"({"success":false,"message":"нет"})") << true << false << "нет"
                             << QStringList() << 0;
    QTest::newRow("not JSON") << QByteArray("<html>Fatal error</html>") << false << false << "" << QStringList()
                              << 0;
    QTest::newRow("cut off") << QByteArray(R"({"success":true,"object":[["1","2","3"],["4","a\"b)") << false << true
                             << "" << QStringList{"1|2|3"} << 0;
}

void TestModx::chunkParser()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, parsed);
    QFETCH(bool, success);
    QFETCH(QString, message);
    QFETCH(QStringList, rows);
    QFETCH(int, unusable);

    QVector<QStringList> lists;
    ModxChunkParser toLists(3, 10, &lists);
    QCOMPARE(toLists.Parse(body), parsed);
    QCOMPARE(toLists.Success(), success);
    QCOMPARE(toLists.Message(), message);
    QStringList joined;
    for (const QStringList &row : qAsConst(lists))
        joined << row.join(QLatin1Char('|'));
    QCOMPARE(joined, rows);
    if (parsed)
        QCOMPARE(toLists.Unusable(), unusable);

    // The CSV copy holds the same rows, read back by the catalogue's reader,
    // and nothing of a row that did not count or was cut off.
    QByteArray csv = "a;b;c\r\n";
    ModxChunkParser toCsv(3, 10, &csv);
    QCOMPARE(toCsv.Parse(body), parsed);
    QCOMPARE(toCsv.Kept(), rows.size());
    QTemporaryDir dir;
    QStringList read;
    const QList<QStringList> copy = ReadCsv(WriteBytes(QDir(dir.path()), QStringLiteral("copy.csv"), csv));
    for (int i = 1; i < copy.size(); ++i)
        read << copy.at(i).join(QLatin1Char('|'));
    QCOMPARE(read, rows);
    QByteArray whole = "a;b;c\r\n"; // the reader would skip a stray part row
    CsvRowBuilder builder(&whole);
    for (const QString &row : qAsConst(rows)) {
        builder.Begin();
        for (const QString &cell : row.split(QLatin1Char('|')))
            builder.Field(cell);
        builder.End();
    }
    QCOMPARE(csv, whole);
}

void TestModx::connect_data()
{
    QTest::addColumn<QString>("query"); // tamper.php query; empty: cron.php itself
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("chunkSize");
    QTest::addColumn<qint64>("rows");
    QTest::addColumn<QString>("error");

    QTest::newRow("right") << "" << kPassword << true << 50 << qint64(0) << "";
    QTest::newRow("wrong password") << "" << "secret" << false << 0 << qint64(0) << "не принял вход";
    QTest::newRow("unreachable") << "unreachable" << kPassword << false << 0 << qint64(0)
                                 << "Не удалось соединиться";
    QTest::newRow("error status, quotes in message")
            << "mode=http500" << kPassword << false << 0 << qint64(0) << "сломалось \"всё\"";
    QTest::newRow("no chunkSize") << "mode=config&key=chunkSize&value=" << kPassword << true << 50 << qint64(0)
                                  << "";
    QTest::newRow("zero chunkSize") << "mode=config&key=chunkSize&value=0" << kPassword << false << 0
                                    << qint64(0) << "размер порции";
    QTest::newRow("negative chunkSize") << "mode=config&key=chunkSize&value=-5" << kPassword << false << 0
                                        << qint64(0) << "размер порции";
    QTest::newRow("64-bit row count") << "mode=config&key=existDataSize&value=5000000000" << kPassword << true
                                      << 50 << qint64(5000000000) << "";
}

void TestModx::connect()
{
    QFETCH(QString, query);
    QFETCH(QString, password);
    QFETCH(bool, ok);
    QFETCH(int, chunkSize);
    QFETCH(qint64, rows);
    QFETCH(QString, error);

    PhpSite site;
    START_PHP_SITE(site);
    QString host = query.isEmpty() ? site.Host() : site.Tampered(query);
    if (query == QLatin1String("unreachable")) {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        host = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
        closed.close();
    }
    LogProgress progress;
    ModxManager manager(host, kLogin, password);
    QCOMPARE(manager.Connect(&progress), ok);
    QCOMPARE(manager.IsConnected(), ok);
    if (ok) {
        QCOMPARE(manager.ChunkSize(), chunkSize);
        QCOMPARE(manager.ExistDataSize(), rows);
        QCOMPARE(manager.SiteHeader().last(), QStringLiteral("status"));
    } else {
        QVERIFY2(manager.ErrorText().contains(error), qPrintable(manager.ErrorText()));
        QVERIFY(progress.Logged(QStringLiteral("Не удалось подключиться"))
                || progress.Logged(QStringLiteral("Конфигурация не получена!")));
    }
    // The password is sent, never shown.
    QVERIFY(!progress.log.join(QLatin1Char('\n')).contains(kPassword));
}

void TestModx::plainSentences_data()
{
    QTest::addColumn<QString>("query");    // tamper.php query; a path of cron.php's site; empty: cron.php
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("sentence"); // "%1": the site's port
    QTest::addColumn<QString>("details");  // a part of the technical account

    QTest::newRow("unreachable") << "unreachable" << kPassword << "Сервер не отвечает на порту %1"
                                 << "Connection refused";
    QTest::newRow("wrong password") << "" << "secret" << "Неверный логин или пароль" << "Неверный логин или пароль";
    QTest::newRow("forbidden") << "mode=status&code=403" << kPassword << "Сайт закрыл доступ к скрипту обмена"
                               << "HTTP 403";
    QTest::newRow("no script at the address") << "/shop/" << kPassword << "Скрипт обмена не найден по этому адресу"
                                              << "HTTP 404";
    QTest::newRow("a PHP error") << "mode=phperror" << kPassword << "Скрипт обмена на сайте завершился с ошибкой PHP"
                                 << "fidmora_no_such_function";
    QTest::newRow("a web page") << "mode=body&text=%3C!DOCTYPE html%3E%3Chtml%3E%3Cbody%3EWelcome%3C/body%3E%3C/html%3E"
                                << kPassword << "Сайт ответил веб-страницей, а не скриптом обмена" << "Welcome";
    QTest::newRow("an empty reply") << "mode=body&text=" << kPassword << "Сайт прислал пустой ответ" << "Parse error";
    QTest::newRow("a reply cut short") << "mode=cut" << kPassword << "Соединение разорвано во время передачи"
                                       << "ответ сайта: {\"success\"";
    QTest::newRow("a reply that breaks off") << "mode=body&text=%7B%22success%22:true,%22mess" << kPassword
                                             << "Соединение разорвано во время передачи" << "Parse error";
    QTest::newRow("not JSON") << "mode=body&text=success=yes" << kPassword << "Ответ сайта не удалось прочитать"
                              << "success=yes";
    QTest::newRow("JSON of another form") << "mode=body&text=%7B%22success%22:%22yes%22%7D" << kPassword
                                          << "Сайт прислал ответ не того вида, что ждёт программа"
                                          << "{\"success\":\"yes\"}";
    QTest::newRow("the database refuses") << "database" << kPassword << "База данных сайта недоступна" << "HTTP 503";
    QTest::newRow("the site's own failure") << "mode=http500" << kPassword
                                            << "Скрипт обмена на сайте завершился с ошибкой" << "сломалось \"всё\"";
}

void TestModx::plainSentences()
{
    QFETCH(QString, query);
    QFETCH(QString, password);
    QFETCH(QString, sentence);
    QFETCH(QString, details);

    PhpSite site;
    START_PHP_SITE(site);
    QTcpServer closed;
    QString host = site.Host();
    if (query == QLatin1String("unreachable")) {
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        host = QStringLiteral("127.0.0.1:%1").arg(closed.serverPort());
        sentence = sentence.arg(closed.serverPort());
        closed.close();
    } else if (query == QLatin1String("database")) {
        // A folder where the database file should be: the site cannot open it.
        QVERIFY(QDir(site.Folder()).mkdir(QStringLiteral("goods.sqlite")));
    } else if (query.startsWith(QLatin1Char('/'))) {
        host += query;
    } else if (!query.isEmpty()) {
        host = site.Tampered(query);
    }
    // A password typed into the address stays out of every message too.
    const QString hostPassword = QStringLiteral("h0stSecret");
    host = host.startsWith(QLatin1String("http://")) ? host.mid(7) : host;
    host = QStringLiteral("http://admin:%1@").arg(hostPassword) + host;

    Model model;
    LogProgress progress;
    QVERIFY(!model.LoadFromModxSite(host, kLogin, password, false, &progress));
    // The first paragraph is the sentence the message box shows; the rest
    // goes under "Подробнее".
    const QString error = model.LastError();
    const int split = error.indexOf(QLatin1String("\n\n"));
    QVERIFY2(split > 0, qPrintable(error));
    QCOMPARE(error.left(split), sentence);
    const QString account = error.mid(split + 2);
    QVERIFY2(account.contains(details), qPrintable(account));
    QVERIFY2(account.contains(QStringLiteral("127.0.0.1")), qPrintable(account));
    const QString everything = error + progress.log.join(QLatin1Char('\n'));
    QVERIFY2(!everything.contains(hostPassword) && !everything.contains(kPassword) && !everything.contains("secret"),
             qPrintable(everything));
}

void TestModx::loginLivesInTheSessionCookie()
{
    PhpSite site;
    START_PHP_SITE(site);
    ModxManager loggedIn(site.Host(), kLogin, kPassword);
    QVERIFY(loggedIn.Connect(nullptr));
    ModxManager stranger(site.Host(), kLogin, kPassword);
    const QJsonDocument configure = ModxManager::Request(QStringLiteral("configure"), QJsonObject());
    QJsonObject reply;
    QVERIFY(stranger.Post(configure, &reply, nullptr));
    QCOMPARE(reply.value(QStringLiteral("success")).toBool(), false);
    QVERIFY(loggedIn.Post(configure, &reply, nullptr));
    QCOMPARE(reply.value(QStringLiteral("success")).toBool(), true);
}

void TestModx::readsInChunks()
{
    PhpSite site(50);
    START_PHP_SITE(site);
    QVERIFY(Seed(site, 120));

    Model model;
    LogProgress progress;
    QVERIFY2(model.LoadFromModxSite(site.Host(), kLogin, kPassword, false, &progress), qPrintable(model.LastError()));
    QCOMPARE(GoodCount(model), 120);
    QVERIFY(progress.Logged(QStringLiteral("Ответ сервера: Строки 1–50")));
    QVERIFY(progress.Logged(QStringLiteral("Ответ сервера: Строки 51–100")));
    QVERIFY(progress.Logged(QStringLiteral("Ответ сервера: Строки 101–120")));
    QCOMPARE(model.Sources().size(), 1);
    QCOMPARE(model.Sources().first().name, site.Host());
}

void TestModx::failedReadLeavesCatalogue_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("sentence"); // the plain one before the account; none for a cancel
    QTest::newRow("short chunk") << "mode=short" << false << "прочитано 0 строк из 120"
                                 << "Сайт прислал строки, которые не подходят к его колонкам";
    QTest::newRow("failed data") << "mode=faildata" << false << "прочитано 50 строк из 120"
                                 << "Сайт не отдал свои товары";
    QTest::newRow("cancel on a slow site") << "mode=slow&action=data" << true << "прочитано 0 строк из 120" << "";
}

void TestModx::failedReadLeavesCatalogue()
{
    QFETCH(QString, query);
    QFETCH(bool, cancel);
    QFETCH(QString, error);
    QFETCH(QString, sentence);

    // A column of its own tells this site's copies from those of tests
    // running side by side.
    const QString mark = QStringLiteral("mark%1").arg(QRandomGenerator::global()->generate());
    PhpSite site(50, {QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("url"), QStringLiteral("idTpl"),
                      QStringLiteral("categoryId"), QStringLiteral("advcampaign_name"), QStringLiteral("status"), mark});
    START_PHP_SITE(site);
    QVERIFY(Seed(site, 120));

    // As base over loaded data: a partial copy would mark goods as added.
    QTemporaryDir dir;
    Model model;
    QVERIFY(model.AddFile(WriteFeed(QDir(dir.path()), QStringLiteral("shop.csv"), Feed(10))));
    const QStringList before = TemporaryCsvFiles();

    LogProgress progress;
    if (cancel)
        QTimer::singleShot(1000, [&progress] { progress.Cancel(); });
    QElapsedTimer elapsed;
    elapsed.start();
    QVERIFY(!model.LoadFromModxSite(site.Tampered(query), kLogin, kPassword, true, &progress));
    QVERIFY2(elapsed.elapsed() < 20000, "the wait did not end at the cancel");
    QVERIFY2(model.LastError().contains(error), qPrintable(model.LastError()));
    QCOMPARE(model.LastError().section(QStringLiteral("\n\n"), 0, 0),
             sentence.isEmpty() ? model.LastError() : sentence);
    QVERIFY(progress.Logged(error));
    QCOMPARE(model.Sources().size(), 1);
    QCOMPARE(GoodCount(model), 10);
    for (const Good *good : GoodsWriter::Select(&model.Root(), nullptr, true))
        QCOMPARE(good->status, Added);
    QCOMPARE(LeftCopies(before, mark), QStringList());
}

void TestModx::roundTripKeepsEveryByte()
{
    PhpSite site(50);
    START_PHP_SITE(site);
    QTemporaryDir dir;
    const QStringList feed = Feed(100);
    Model model;
    QVERIFY(model.AddFile(WriteFeed(QDir(dir.path()), QStringLiteral("shop.csv"), feed)));

    LogProgress sending;
    QVERIFY2(model.SaveToModxSite(site.Host(), kLogin, kPassword, nullptr, &sending), qPrintable(model.LastError()));
    // Two full chunks, then the closing one, empty.
    QVERIFY(sending.Logged(QStringLiteral("Отправка на сайт строк 1–50")));
    QVERIFY(sending.Logged(QStringLiteral("Отправка на сайт строк 51–100")));
    QVERIFY(sending.Logged(QStringLiteral("Завершение отправки на сайт")));
    QVERIFY(sending.Logged(QStringLiteral("добавлено 100, изменено 0, удалено 0")));

    Model back;
    QVERIFY2(back.LoadFromModxSite(site.Host(), kLogin, kPassword), qPrintable(back.LastError()));
    QCOMPARE(GoodCount(back), 100);
    const QStringList columns{QStringLiteral("id"), QStringLiteral("name"), QStringLiteral("url"),
                              QStringLiteral("price"), QStringLiteral("categoryId"), QStringLiteral("description")};
    const QString sent = QDir(dir.path()).filePath(QStringLiteral("sent.csv"));
    const QString read = QDir(dir.path()).filePath(QStringLiteral("read.csv"));
    QVERIFY(model.SaveToFile(sent, nullptr, &columns));
    QVERIFY(back.SaveToFile(read, nullptr, &columns));
    QList<QStringList> sentRows = ReadCsv(sent);
    QList<QStringList> readRows = ReadCsv(read);
    std::sort(sentRows.begin(), sentRows.end());
    std::sort(readRows.begin(), readRows.end());
    QCOMPARE(readRows, sentRows);
    QVERIFY(readRows.at(1).at(5).contains(QStringLiteral("\"мягкая\"\r\nвторая строка \\")));
    QVERIFY(readRows.at(1).at(5).endsWith(QStringLiteral("\t\x01")));
}

void TestModx::deltaIsAppliedOnSite()
{
    // The user's loop: the site holds goods 1-5; the fresh feed drops 5,
    // changes the price of 2 and brings 6.
    PhpSite site(2);
    START_PHP_SITE(site);
    QVERIFY(Seed(site, 5));
    QTemporaryDir dir;
    QStringList fresh = Feed(4);
    fresh[2].replace(QStringLiteral(";102;"), QStringLiteral(";999;"));
    fresh << Feed(1, 6).last();

    Model model;
    QVERIFY(model.AddFile(WriteFeed(QDir(dir.path()), QStringLiteral("fresh.csv"), fresh)));
    QVERIFY2(model.LoadFromModxSite(site.Host(), kLogin, kPassword, true), qPrintable(model.LastError()));
    QCOMPARE(GoodCount(model), 3);

    LogProgress progress;
    QVERIFY2(model.SaveToModxSite(site.Host(), kLogin, kPassword, nullptr, &progress), qPrintable(model.LastError()));
    QVERIFY(progress.Logged(QStringLiteral("добавлено 1, изменено 1, удалено 1")));
    const QMap<QString, QStringList> rows = SiteRows(site.Host());
    QCOMPARE(rows.keys(), (QStringList{"1", "2", "3", "4", "6"}));
    QCOMPARE(rows.value("2").at(3), QStringLiteral("999"));
    QCOMPARE(rows.value("2").last(), QStringLiteral("~"));
    QCOMPARE(rows.value("6").last(), QStringLiteral("+"));
}

void TestModx::incompleteExportFails_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("feed");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("onSite");
    QTest::addColumn<QString>("sentence"); // the plain one before the account; none for a cancel

    QStringList unknowable = Feed(4);
    unknowable << QStringLiteral(";;;5;Без имени;нет ничего");
    QTest::newRow("good without identity") << "" << unknowable << false << "не принял 1 строк из 5" << 4
                                           << "Сайт не принял часть товаров";
    QTest::newRow("refused chunk") << "mode=failupdate" << Feed(5) << false << "не принял 2 строк из 5" << 3
                                   << "Сайт не принял часть товаров";
    QTest::newRow("cancel on a slow site") << "mode=slow&action=update" << Feed(5) << true << "отменена" << 0 << "";
}

void TestModx::incompleteExportFails()
{
    QFETCH(QString, query);
    QFETCH(QStringList, feed);
    QFETCH(bool, cancel);
    QFETCH(QString, error);
    QFETCH(int, onSite);
    QFETCH(QString, sentence);

    PhpSite site(2);
    START_PHP_SITE(site);
    QTemporaryDir dir;
    Model model;
    QVERIFY(model.AddFile(WriteFeed(QDir(dir.path()), QStringLiteral("shop.csv"), feed)));
    LogProgress progress;
    if (cancel)
        QTimer::singleShot(1000, [&progress] { progress.Cancel(); });
    QElapsedTimer elapsed;
    elapsed.start();
    const QString host = query.isEmpty() ? site.Host() : site.Tampered(query);
    QVERIFY(!model.SaveToModxSite(host, kLogin, kPassword, nullptr, &progress));
    QVERIFY2(elapsed.elapsed() < 20000, "the wait did not end at the cancel");
    QVERIFY2(model.LastError().contains(error), qPrintable(model.LastError()));
    QCOMPARE(model.LastError().section(QStringLiteral("\n\n"), 0, 0),
             sentence.isEmpty() ? model.LastError() : sentence);
    if (!cancel)
        QVERIFY(progress.Logged(error));
    QCOMPARE(SiteRows(site.Host()).size(), onSite);
}

void TestModx::stalledSiteTimesOut()
{
    PhpSite site;
    START_PHP_SITE(site);
    ModxManager manager(site.Tampered(QStringLiteral("mode=slow&action=configure")), kLogin, kPassword);
    manager.SetTimeout(1500);
    QElapsedTimer elapsed;
    elapsed.start();
    QVERIFY(!manager.Connect(nullptr));
    QVERIFY2(elapsed.elapsed() < 20000, "the time-out did not end the wait");
    QVERIFY2(manager.ErrorText().contains(QStringLiteral("нет ответа")), qPrintable(manager.ErrorText()));
    QVERIFY2(manager.ErrorText().startsWith(QStringLiteral("Сервер не отвечает на порту ")), qPrintable(manager.ErrorText()));
}

QTEST_GUILESS_MAIN(TestModx)
#include "tst_modx.moc"
