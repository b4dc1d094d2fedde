#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <QtTest>

#include "admitadrelay.h"
#include "feedfile.h"
#include "httptestserver.h"
#include "iprogress.h"
#include "model.h"

namespace {

// Stands in for the progress dialog: Cancel quits the bound loop.
class CancellableProgress final : public IProgress
{
public:
    virtual ~CancellableProgress() = default;
    bool Report(int, int, const QString &) override { return !cancelled; }
    void BindEventLoop(QEventLoop *loop) override { m_loop = loop; }
    void Cancel()
    {
        cancelled = true;
        if (m_loop)
            QMetaObject::invokeMethod(m_loop, "quit", Qt::QueuedConnection);
    }
    bool cancelled = false;

private:
    QPointer<QEventLoop> m_loop;
};

QByteArray Document(const QByteArray &offers, const QByteArray &options = QByteArray())
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<settings>" + options + "<offers>" + offers
            + "</offers></settings>\n";
}

QByteArray OfferElement(const QByteArray &name, const QByteArray &more = QByteArray())
{
    return "<offer url=\"\" prefix=\"\" name=\"" + name + "\"><export autoload=\"false\" format=\"\"><![CDATA[http://"
            + name + ".test/feed.csv]]></export>" + more + "<other action=\"include\"/></offer>";
}

QStringList Names(const Model &model)
{
    QStringList names;
    for (const Offer &offer : model.Offers())
        names << offer.name;
    return names;
}

} // namespace

class TestAdmitadRelay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void stateOf_data();
    void stateOf();
    void addresses_data();
    void addresses();
    void environmentOverridesSettings();
    void requestAuthorisation_data();
    void requestAuthorisation();
    void mergeOffers_data();
    void mergeOffers();

private:
    QTemporaryDir m_dir;
};

void TestAdmitadRelay::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("settings")));
    qunsetenv(AdmitadRelay::kEnvironmentVariable);
}

void TestAdmitadRelay::stateOf_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("state");

    const QString auth = QStringLiteral("https://www.admitad.test/api/authorize/?");
    QTest::newRow("middle of three") << auth + "client_id=7&state=abc123&scope=advcampaigns" << "abc123";
    QTest::newRow("first") << auth + "state=s1&client_id=7" << "s1";
    QTest::newRow("last") << auth + "client_id=7&state=s2" << "s2";
    QTest::newRow("encoded delimiters") << auth + "client_id=7&state=a%26b%3Dc%23d%25e&x=1" << "a&b=c#d%e";
    QTest::newRow("cyrillic") << auth + "state=%D1%91%D0%B6" << QString::fromUtf8("ёж");
    QTest::newRow("a longer name is not state") << auth + "stateful=1&state=real" << "real";
    QTest::newRow("two =") << auth + "client_id=7&state=a=b&scope=x" << QString();
    QTest::newRow("empty value") << auth + "client_id=7&state=&scope=x" << QString();
    QTest::newRow("no value") << auth + "client_id=7&state&scope=x" << QString();
    QTest::newRow("missing") << auth + "client_id=7&scope=x" << QString();
    QTest::newRow("no query") << "https://www.admitad.test/api/authorize/" << QString();
    QTest::newRow("not an address") << "Internal error" << QString();
}

void TestAdmitadRelay::stateOf()
{
    QFETCH(QString, url);
    QFETCH(QString, state);
    const QString found = AdmitadRelay::StateOf(url);
    QCOMPARE(found, state);
    QCOMPARE(found.isNull(), state.isNull());
}

void TestAdmitadRelay::addresses_data()
{
    QTest::addColumn<QString>("relay");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QByteArray>("stateUrl");
    QTest::addColumn<QByteArray>("dataUrl");

    QTest::newRow("plain") << "http://relay.test" << "abc" << QByteArray("http://relay.test/adcode.php/?getstate")
                           << QByteArray("http://relay.test/adcode.php/?getdata&state=abc");
    QTest::newRow("host and port, trailing slash")
            << " relay.test:8080/ " << "abc" << QByteArray("http://relay.test:8080/adcode.php/?getstate")
            << QByteArray("http://relay.test:8080/adcode.php/?getdata&state=abc");
    QTest::newRow("below a path") << "https://relay.test/fidmora/" << "x"
                                  << QByteArray("https://relay.test/fidmora/adcode.php/?getstate")
                                  << QByteArray("https://relay.test/fidmora/adcode.php/?getdata&state=x");
    // The state reaches the relay as one value, whatever it holds.
    QTest::newRow("state with delimiters") << "http://relay.test" << "a&b#c%d=e f+g/h?"
                                           << QByteArray("http://relay.test/adcode.php/?getstate")
                                           << QByteArray("http://relay.test/adcode.php/?getdata&state="
                                                         "a%26b%23c%25d%3De%20f%2Bg%2Fh%3F");
    QTest::newRow("cyrillic state") << "http://relay.test" << QString::fromUtf8("ёж")
                                    << QByteArray("http://relay.test/adcode.php/?getstate")
                                    << QByteArray("http://relay.test/adcode.php/?getdata&state=%D1%91%D0%B6");
    QTest::newRow("other scheme") << "ftp://relay.test" << "abc" << QByteArray() << QByteArray();
    QTest::newRow("with a query") << "http://relay.test/?x=1" << "abc" << QByteArray() << QByteArray();
    QTest::newRow("empty") << "" << "abc" << QByteArray() << QByteArray();
}

void TestAdmitadRelay::addresses()
{
    QFETCH(QString, relay);
    QFETCH(QString, state);
    QFETCH(QByteArray, stateUrl);
    QFETCH(QByteArray, dataUrl);

    const AdmitadRelay client(relay);
    QCOMPARE(client.IsValid(), !stateUrl.isEmpty());
    QCOMPARE(client.StateUrl().toEncoded(), stateUrl);
    QCOMPARE(client.DataUrl(state).toEncoded(), dataUrl);
    // What goes out parses back into the same state.
    if (!dataUrl.isEmpty())
        QCOMPARE(QUrlQuery(client.DataUrl(state)).queryItemValue("state", QUrl::FullyDecoded), state);
}

void TestAdmitadRelay::environmentOverridesSettings()
{
    AdmitadRelay::SetStoredAddress(QString());
    QVERIFY(AdmitadRelay::Address().isEmpty());

    AdmitadRelay::SetStoredAddress("http://stored.test");
    QCOMPARE(AdmitadRelay::Address(), QStringLiteral("http://stored.test"));
    QVERIFY(!AdmitadRelay::AddressFromEnvironment());
    QCOMPARE(QSettings("Fidmora", "Fidmora").value("admitad/relay").toString(), QStringLiteral("http://stored.test"));

    qputenv(AdmitadRelay::kEnvironmentVariable, "http://operator.test:81");
    QCOMPARE(AdmitadRelay::Address(), QStringLiteral("http://operator.test:81"));
    QVERIFY(AdmitadRelay::AddressFromEnvironment());
    QCOMPARE(AdmitadRelay::StoredAddress(), QStringLiteral("http://stored.test"));
    qunsetenv(AdmitadRelay::kEnvironmentVariable);
    AdmitadRelay::SetStoredAddress(QString());
}

void TestAdmitadRelay::requestAuthorisation_data()
{
    QTest::addColumn<QString>("relay");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("address");

    const QString auth = QStringLiteral("https://www.admitad.test/api/authorize/?client_id=7&state=s1");
    const int address = int(AdmitadRelay::Answer::Address);
    const int empty = int(AdmitadRelay::Answer::Empty);
    const int unavailable = int(AdmitadRelay::Answer::Unavailable);
    const int cancelled = int(AdmitadRelay::Answer::Cancelled);
    QTest::newRow("answered") << "" << 200 << ("\r\n" + auth.toUtf8() + "\n") << false << address << auth;
    QTest::newRow("empty answer") << "" << 200 << QByteArray(" \n") << false << empty << QString();
    QTest::newRow("server error") << "" << 500 << auth.toUtf8() << false << unavailable << QString();
    QTest::newRow("unreachable") << "http://127.0.0.1:1" << 0 << QByteArray() << false << unavailable << QString();
    QTest::newRow("no relay") << "none" << 0 << QByteArray() << false << unavailable << QString();
    QTest::newRow("cancelled") << "" << -1 << QByteArray("https://") << true << cancelled << QString();
}

void TestAdmitadRelay::requestAuthorisation()
{
    QFETCH(QString, relay);
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(bool, cancel);
    QFETCH(int, answer);
    QFETCH(QString, address);

    HttpTestServer server;
    HttpTestServer::Response response;
    response.status = status;
    response.reason = status == 200 ? "OK" : "Error";
    response.body = body;
    response.hang = status < 0;
    server.Set("/adcode.php/?getstate", response);
    if (relay.isEmpty())
        relay = server.Url(QString());
    else if (relay == QLatin1String("none"))
        relay.clear();

    CancellableProgress progress;
    if (cancel)
        QTimer::singleShot(200, [&progress] { progress.Cancel(); });
    AdmitadRelay client(relay);
    QString got;
    QCOMPARE(int(client.RequestAuthorisation(&progress, &got)), answer);
    QCOMPARE(got, address);
    QCOMPARE(client.ErrorText().isEmpty(), answer == int(AdmitadRelay::Answer::Address));
    if (relay.startsWith(server.Url(QString())))
        QCOMPARE(server.Hits("/adcode.php/?getstate"), 1);
}

void TestAdmitadRelay::mergeOffers_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QStringList>("offers");
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("present");

    const QByteArray options = "<options><filter><search val=\"relay\"/><vendors type=\"array\"><item val=\"X\"/>"
                               "</vendors></filter><export><modx><host val=\"relay.test\"/></modx></export></options>";
    const QByteArray offers = OfferElement("Old", "<exclude><category name=\"Новинки\"/></exclude>")
            + OfferElement("New1") + OfferElement("New2") + OfferElement("New1");
    QTest::newRow("merged, options ignored") << Document(offers, options) << true
                                             << QStringList{"Old", "Shop", "New1", "New2"} << 2 << 1;
    // The document's "Shop" is the offer the project indexes under that prefix.
    QTest::newRow("found by index key")
            << Document(OfferElement("shop.test")) << true << QStringList{"Old", "Shop"} << 0 << 1;
    QTest::newRow("empty list") << Document(QByteArray()) << true << QStringList{"Old", "Shop"} << 0 << 0;
    QTest::newRow("cut short") << Document(offers).left(Document(offers).size() / 2) << false
                               << QStringList{"Old", "Shop"} << 0 << 0;
    QTest::newRow("not a document") << QByteArray("Internal error") << false << QStringList{"Old", "Shop"} << 0 << 0;
}

void TestAdmitadRelay::mergeOffers()
{
    QFETCH(QByteArray, document);
    QFETCH(bool, ok);
    QFETCH(QStringList, offers);
    QFETCH(int, added);
    QFETCH(int, present);

    Model model;
    model.FindOrCreateOffer("Old")->exclude << CategoryRule::FromText("Распродажа");
    Offer *shop = model.FindOrCreateOffer("Shop");
    shop->prefix = "shop.test";
    model.IndexOffer(shop->prefix, shop);
    model.SetOption("filter/search", "mine");
    model.SetOption("export/modx/host", "my.site");
    const QMap<QString, QString> options = model.options;
    const QMap<QString, QStringList> arrayOptions = model.arrayOptions;

    const QString path = WriteBytes(QDir(m_dir.path()), QStringLiteral("offers.fdm"), document);
    int gotAdded = -1;
    int gotPresent = -1;
    QString error;
    QCOMPARE(AdmitadRelay::MergeOffers(model, path, &gotAdded, &gotPresent, &error), ok);
    QCOMPARE(error.isEmpty(), ok);
    QCOMPARE(Names(model), offers);
    QCOMPARE(gotAdded, added);
    QCOMPARE(gotPresent, present);
    QCOMPARE(model.options, options);
    QCOMPARE(model.arrayOptions, arrayOptions);
    // The rules of an offer already there are kept and the document's added.
    const int expectedRules = ok && offers.size() > 2 ? 2 : 1;
    QCOMPARE(model.Offers().first().exclude.size(), expectedRules);
}

QTEST_GUILESS_MAIN(TestAdmitadRelay)
#include "tst_admitadrelay.moc"
