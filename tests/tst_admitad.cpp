#include <functional>
#include <memory>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include "addurldialog.h"
#include "admitadrelay.h"
#include "admitdezozavodialog.h"
#include "feedfile.h"
#include "httptestserver.h"
#include "mainwindow.h"
#include "model.h"

// Stands in for the desktop's web browser: records what it was asked to open.
class Browser : public QObject
{
    Q_OBJECT

public slots:
    void Open(const QUrl &url) { opened << url.toString(QUrl::FullyEncoded); }

public:
    QStringList opened;
};

namespace {

const QByteArray kStatePath = "/adcode.php/?getstate";
const QString kAuth = QStringLiteral("http://auth.test/authorize?client_id=7&state=%1&scope=advcampaigns");

const QByteArray kOffers = "<?xml version=\"1.0\"?><settings><offers><offer name=\"Old\"/><offer name=\"New1\">"
                          "<export><![CDATA[http://new1.test/feed.csv]]></export></offer><offer name=\"New2\"/>"
                          "</offers></settings>";

void Press(QDialog *dialog, QDialogButtonBox::StandardButton which)
{
    QPushButton *button = dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))->button(which);
    QTimer::singleShot(0, button, &QAbstractButton::click);
}

quint16 ClosedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Acts on the dialogs a command opens, as a user would, from a timer of its
// own; each handler sees a dialog once and only queues its clicks, so that
// the dialogs' own event loops keep running.
class Script
{
public:
    Script()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
        m_timer.start();
    }

    // By default "Авторизоваться" is pressed.
    std::function<void(AdmitdeZozavoDialog *)> onImport;
    // The relay address to give; an empty one cancels.
    std::function<QString(AddUrlDialog *)> onAddress;
    // The text of the button to press in a message; by default it is closed.
    QString pressInMessage;
    std::function<void()> onTick;

    QStringList messages; // "title|text" of every message box
    int imports = 0;

private:
    void Tick()
    {
        if (onTick)
            onTick();
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == m_handled)
            return;
        if (auto *dialog = qobject_cast<AdmitdeZozavoDialog *>(modal)) {
            m_handled = modal;
            ++imports;
            if (onImport)
                onImport(dialog);
            else
                Press(dialog, QDialogButtonBox::Ok);
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            m_handled = modal;
            messages << box->windowTitle() + QLatin1Char('|') + box->text();
            QAbstractButton *press = nullptr;
            for (QAbstractButton *button : box->buttons())
                press = button->text() == pressInMessage ? button : press;
            if (press)
                QTimer::singleShot(0, press, &QAbstractButton::click);
            else
                QTimer::singleShot(0, box, &QDialog::reject);
        } else if (auto *ask = qobject_cast<AddUrlDialog *>(modal)) {
            m_handled = modal;
            const QString address = onAddress ? onAddress(ask) : QString();
            ask->findChild<QLineEdit *>(QStringLiteral("urlEdit"))->setText(address);
            QTimer::singleShot(0, ask, address.isEmpty() ? &QDialog::reject : &QDialog::accept);
        }
    }

    QPointer<QWidget> m_handled;
    QTimer m_timer;
};

} // namespace

class TestAdmitad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void stateAndPollingAddress_data();
    void stateAndPollingAddress();
    void mergeOffers_data();
    void mergeOffers();
    void importThroughWindow();
    void failures_data();
    void failures();
    void relayAddress();
    void addressIsWholeAndCopied();

private:
    std::unique_ptr<MainWindow> NewWindow();
    void Import(MainWindow *window);
    QStringList Offers(MainWindow *window);
    QStringList TemporaryFiles() const;

    QTemporaryDir m_base;
    QString m_tmp;
    QString m_project;
    Browser m_browser;
    QString m_autosave;
    QByteArray m_previousAutosave;
    bool m_hadAutosave = false;
};

void TestAdmitad::initTestCase()
{
    QVERIFY(m_base.isValid());
    // The window writes the autosave beside the test program: keep whatever
    // was there and put it back at the end.
    m_autosave = Model::DefaultProjectPath();
    m_hadAutosave = QFileInfo::exists(m_autosave);
    if (m_hadAutosave)
        m_previousAutosave = ReadBytes(m_autosave);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_base.filePath(QStringLiteral("settings")));
    m_tmp = m_base.filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkpath(m_tmp));
    m_project = WriteBytes(QDir(m_base.path()), QStringLiteral("p.fdm"),
                           "<?xml version=\"1.0\"?><settings><offers><offer name=\"Old\"/></offers></settings>");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_browser, "Open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_browser, "Open");
}

void TestAdmitad::init()
{
    qputenv("TMPDIR", QFile::encodeName(m_tmp));
    qputenv("TMP", QFile::encodeName(m_tmp)); // Windows
    qputenv("TEMP", QFile::encodeName(m_tmp));
    qunsetenv(AdmitadRelay::kEnvironmentVariable);
    AdmitadRelay::SetStoredAddress(QString());
    m_browser.opened.clear();
}

void TestAdmitad::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QFile::remove(m_autosave);
    if (m_hadAutosave) {
        QFile file(m_autosave);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(m_previousAutosave);
    }
}

std::unique_ptr<MainWindow> TestAdmitad::NewWindow()
{
    auto window = std::make_unique<MainWindow>(nullptr, &m_project);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("the window was not exposed");
    return window;
}

void TestAdmitad::Import(MainWindow *window)
{
    window->findChild<QAction *>(QStringLiteral("load_offers_from_admitad"))->trigger();
}

QStringList TestAdmitad::Offers(MainWindow *window)
{
    QStringList texts;
    const QAbstractItemModel *offers = window->findChild<QListView *>(QStringLiteral("offerListView"))->model();
    for (int row = 0; offers && row < offers->rowCount(); ++row)
        texts << offers->index(row, 0).data().toString();
    return texts;
}

QStringList TestAdmitad::TemporaryFiles() const
{
    return QDir(m_tmp).entryList({QStringLiteral("fidmora-admitad-*")}, QDir::Files | QDir::Hidden);
}

void TestAdmitad::stateAndPollingAddress_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QByteArray>("poll");

    const QString auth = QStringLiteral("https://www.admitad.test/api/authorize/?");
    QTest::newRow("middle of three") << auth + "client_id=7&state=abc123&scope=x" << "abc123" << QByteArray("abc123");
    QTest::newRow("first") << auth + "state=s1&client_id=7" << "s1" << QByteArray("s1");
    // The state reaches the relay as one value, whatever it holds.
    QTest::newRow("delimiters") << auth + "state=a%26b%3Dc%23d%25e%2B%20f&x=1" << "a&b=c#d%e+ f"
                                << QByteArray("a%26b%3Dc%23d%25e%2B%20f");
    QTest::newRow("cyrillic") << auth + "state=%D1%91%D0%B6" << QString::fromUtf8("ёж") << QByteArray("%D1%91%D0%B6");
    QTest::newRow("a longer name is not state") << auth + "stateful=1&state=real" << "real" << QByteArray("real");
    QTest::newRow("two =") << auth + "client_id=7&state=a=b&scope=x" << QString() << QByteArray();
    QTest::newRow("empty value") << auth + "state=&scope=x" << QString() << QByteArray();
    QTest::newRow("missing") << auth + "client_id=7&scope=x" << QString() << QByteArray();
}

void TestAdmitad::stateAndPollingAddress()
{
    QFETCH(QString, url);
    QFETCH(QString, state);
    QFETCH(QByteArray, poll);

    const QString found = AdmitadRelay::StateOf(url);
    QCOMPARE(found, state);
    QCOMPARE(found.isNull(), state.isNull());
    if (!state.isNull()) {
        QCOMPARE(AdmitadRelay(QStringLiteral("relay.test:81/")).DataUrl(state).toEncoded(),
                 "http://relay.test:81/adcode.php/?getdata&state=" + poll);
    }
}

void TestAdmitad::mergeOffers_data()
{
    QTest::addColumn<QByteArray>("offers");
    QTest::addColumn<int>("cut");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<int>("added");
    QTest::addColumn<int>("present");

    const QByteArray offers = "<offer name=\"Old\"><exclude><category name=\"Новинки\"/></exclude></offer>"
                              "<offer name=\"New1\"/><offer name=\"shop.test\"/><offer name=\"New1\"/>";
    // "shop.test" is the offer the project indexes under that prefix.
    QTest::newRow("merged") << offers << 0 << QStringList{"Old", "Shop", "New1"} << 1 << 2;
    // Cut in the last offer: all before it would be merged without the trial.
    QTest::newRow("cut short") << offers << 30 << QStringList{"Old", "Shop"} << 0 << 0;
}

void TestAdmitad::mergeOffers()
{
    QFETCH(QByteArray, offers);
    QFETCH(int, cut);
    QFETCH(QStringList, names);
    QFETCH(int, added);
    QFETCH(int, present);

    Model model;
    model.FindOrCreateOffer("Old")->exclude << CategoryRule::FromText("Распродажа");
    Offer *shop = model.FindOrCreateOffer("Shop");
    model.IndexOffer("shop.test", shop);
    model.SetOption("export/modx/host", "my.site");
    // Options of the document are not the relay's to set.
    const QByteArray document = "<?xml version=\"1.0\"?><settings><options><export><modx><host val=\"relay.test\"/>"
                                "</modx></export><filter><vendors type=\"array\"><item val=\"X\"/></vendors></filter>"
                                "</options><offers>" + offers + "</offers></settings>";
    const QString path = WriteBytes(QDir(m_base.path()), QStringLiteral("offers.fdm"), document.chopped(cut));
    int gotAdded = -1;
    int gotPresent = -1;
    QCOMPARE(model.MergeOffers(path, &gotAdded, &gotPresent), cut == 0);
    QCOMPARE(model.LastError().isEmpty(), cut == 0);
    QStringList gotNames;
    for (const Offer &offer : model.Offers())
        gotNames << offer.name;
    QCOMPARE(gotNames, names);
    QCOMPARE(gotAdded, added);
    QCOMPARE(gotPresent, present);
    QCOMPARE(model.Offers().first().exclude.size(), cut == 0 ? 2 : 1);
    QCOMPARE(model.Options(), (QMap<QString, QString>{{"export/modx/host", "my.site"}}));
    QVERIFY(model.ArrayOptions().isEmpty());
}

void TestAdmitad::importThroughWindow()
{
    // "a&b#c%d" as the authorisation address carries it.
    const QString auth = kAuth.arg(QLatin1String("a%26b%23c%25d"));
    const QByteArray dataPath = "/adcode.php/?getdata&state=a%26b%23c%25d";
    HttpTestServer server;
    server.Set(kStatePath, HttpTestServer::Ok(auth.toUtf8()));
    qputenv(AdmitadRelay::kEnvironmentVariable, server.Url(QString()).toUtf8());
    auto window = NewWindow();

    // The relay answers with errors until the user has authorised.
    Script script;
    QElapsedTimer clock;
    qint64 thirdPollAfter = -1;
    QString waiting;
    script.onImport = [&](AdmitdeZozavoDialog *dialog) {
        dialog->SetPollTimes(200, 60 * 1000);
        clock.start();
        Press(dialog, QDialogButtonBox::Ok);
    };
    script.onTick = [&] {
        if (thirdPollAfter >= 0 || server.Hits(dataPath) < 3)
            return;
        thirdPollAfter = clock.elapsed();
        if (QWidget *dialog = QApplication::activeModalWidget())
            waiting = dialog->findChild<QLabel *>(QStringLiteral("waitLabel"))->text();
        server.Set(dataPath, HttpTestServer::Ok(kOffers));
    };
    Import(window.get());

    QCOMPARE(m_browser.opened, QStringList{auth});
    // Two pauses between three polls, less the 5 % a coarse timer may fire early.
    QVERIFY2(thirdPollAfter >= 380, qPrintable(QString::number(thirdPollAfter)));
    QVERIFY2(waiting.startsWith(QStringLiteral("Ожидание авторизации: ")), qPrintable(waiting));
    QCOMPARE(Offers(window.get()), (QStringList{"New1 (+)", "New2", "Old"}));
    QCOMPARE(window->statusBar()->currentMessage(),
             QStringLiteral("Офферы из Admitad загружены: новых 2, уже были в проекте 1"));
    QCOMPARE(TemporaryFiles(), QStringList());

    // A second import finds every offer in place.
    Import(window.get());
    QCOMPARE(script.imports, 2);
    QCOMPARE(server.Hits(kStatePath), 2);
    QCOMPARE(Offers(window.get()), (QStringList{"New1 (+)", "New2", "Old"}));
    QCOMPARE(window->statusBar()->currentMessage(),
             QStringLiteral("Офферы из Admitad загружены: новых 0, уже были в проекте 3"));
    QCOMPARE(TemporaryFiles(), QStringList());
    QVERIFY(script.messages.isEmpty());
}

void TestAdmitad::failures_data()
{
    QTest::addColumn<bool>("relayUp");
    QTest::addColumn<QByteArray>("auth");
    QTest::addColumn<bool>("document");    // the relay hands out the offers at once
    QTest::addColumn<bool>("unwritable");  // the temporary folder is gone
    QTest::addColumn<int>("limitMs");
    QTest::addColumn<int>("cancelAfter");  // polls before the user cancels
    QTest::addColumn<QString>("message");  // "title|text" begins so; empty for none
    QTest::addColumn<bool>("polls");

    const QByteArray s1 = kAuth.arg(QLatin1String("s1")).toUtf8();
    const int minute = 60 * 1000;
    QTest::newRow("unreachable relay") << false << s1 << true << false << minute << 0
                                       << "Ошибка|Сервис временно недоступен" << false;
    QTest::newRow("empty getstate") << true << QByteArray("\r\n") << true << false << minute << 0
                                    << "Ошибка|Внутренняя ошибка" << false;
    QTest::newRow("state with two =") << true << QByteArray("http://auth.test/?client_id=7&state=a=b&scope=x") << true
                                      << false << minute << 0
                                      << "Ошибка|Сервис вернул адрес авторизации без параметра state" << false;
    QTest::newRow("not a web page") << true << QByteArray("file:///etc/passwd?state=s1") << true << false << minute << 0
                                    << "Ошибка|Сервис вернул адрес авторизации, который нельзя открыть" << false;
    QTest::newRow("result not written") << true << s1 << true << true << minute << 0
                                        << "Ошибка|Не удалось сохранить список офферов во временный файл: " << true;
    QTest::newRow("no authorisation in time") << true << s1 << false << false << 1500 << 0
                                              << "Ошибка|Авторизация в Admitad не завершилась за 1 с" << true;
    QTest::newRow("cancelled while polling") << true << s1 << false << false << minute << 2 << QString() << true;
}

void TestAdmitad::failures()
{
    QFETCH(bool, relayUp);
    QFETCH(QByteArray, auth);
    QFETCH(bool, document);
    QFETCH(bool, unwritable);
    QFETCH(int, limitMs);
    QFETCH(int, cancelAfter);
    QFETCH(QString, message);
    QFETCH(bool, polls);

    const QByteArray dataPath = "/adcode.php/?getdata&state=s1";
    HttpTestServer server;
    server.Set(kStatePath, HttpTestServer::Ok(auth));
    if (document)
        server.Set(dataPath, HttpTestServer::Ok(kOffers));
    const QString relay = relayUp ? server.Url(QString()) : QStringLiteral("http://127.0.0.1:%1").arg(ClosedPort());
    qputenv(AdmitadRelay::kEnvironmentVariable, relay.toUtf8());
    if (unwritable) {
        qputenv("TMPDIR", QFile::encodeName(m_base.filePath(QStringLiteral("missing"))));
        qputenv("TMP", QFile::encodeName(m_base.filePath(QStringLiteral("missing")))); // Windows
        qputenv("TEMP", QFile::encodeName(m_base.filePath(QStringLiteral("missing"))));
    }
    auto window = NewWindow();

    Script script;
    script.onImport = [limitMs](AdmitdeZozavoDialog *dialog) {
        dialog->SetPollTimes(100, limitMs);
        Press(dialog, QDialogButtonBox::Ok);
    };
    int hitsAtCancel = -1;
    bool closedAtOnce = false;
    script.onTick = [&] {
        auto *dialog = qobject_cast<AdmitdeZozavoDialog *>(QApplication::activeModalWidget());
        if (cancelAfter == 0 || hitsAtCancel >= 0 || !dialog || server.Hits(dataPath) < cancelAfter)
            return;
        hitsAtCancel = server.Hits(dataPath);
        dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))->button(QDialogButtonBox::Cancel)->click();
        closedAtOnce = !dialog->isVisible();
    };
    Import(window.get());

    QCOMPARE(script.messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QVERIFY2(script.messages.first().startsWith(message), qPrintable(script.messages.first()));
    if (cancelAfter > 0) {
        QVERIFY(closedAtOnce);
        QTest::qWait(600);
        // A request already on its way when Cancel came may still arrive.
        QVERIFY2(server.Hits(dataPath) <= hitsAtCancel + 1, qPrintable(QString::number(server.Hits(dataPath))));
    }
    QCOMPARE(server.Hits(dataPath) > 0, polls);
    QCOMPARE(m_browser.opened.size(), polls ? 1 : 0);
    QCOMPARE(Offers(window.get()), QStringList{"Old"});
    QVERIFY(!window->statusBar()->currentMessage().startsWith(QStringLiteral("Офферы из Admitad")));
    QCOMPARE(TemporaryFiles(), QStringList());
}

void TestAdmitad::relayAddress()
{
    HttpTestServer first;
    HttpTestServer second;
    first.Set(kStatePath, HttpTestServer::Ok(kAuth.arg(QLatin1String("s1")).toUtf8()));
    second.Set(kStatePath, HttpTestServer::Ok(kAuth.arg(QLatin1String("s2")).toUtf8()));
    auto window = NewWindow();

    Script script;
    QStringList answers;
    QStringList shown;
    script.onAddress = [&](AddUrlDialog *dialog) {
        shown << dialog->Url();
        return answers.isEmpty() ? QString() : answers.takeFirst();
    };
    script.onImport = [](AdmitdeZozavoDialog *dialog) { Press(dialog, QDialogButtonBox::Cancel); };

    // Nothing set: the command asks, refuses what is not an address and
    // stores a host with its port.
    answers = QStringList{"ftp://relay.test", QStringLiteral("127.0.0.1:%1/").arg(first.serverPort())};
    Import(window.get());
    QCOMPARE(shown, (QStringList{"", "ftp://relay.test"}));
    QCOMPARE(script.messages.size(), 1);
    QVERIFY2(script.messages.first().startsWith(QStringLiteral("Ошибка|\"ftp://relay.test\" не подходит")),
             qPrintable(script.messages.first()));
    QCOMPARE(QSettings("Fidmora", "Fidmora").value("admitad/relay").toString(), first.Url(QString()));
    QCOMPARE(first.Hits(kStatePath), 1);
    QCOMPARE(script.imports, 1);

    // A relay that does not answer: the message offers to change its address.
    const QString dead = QStringLiteral("http://127.0.0.1:%1").arg(ClosedPort());
    AdmitadRelay::SetStoredAddress(dead);
    script.messages.clear();
    shown.clear();
    answers = QStringList{second.Url(QString())};
    script.pressInMessage = QStringLiteral("Изменить адрес сервиса...");
    Import(window.get());
    QCOMPARE(script.messages, QStringList{"Ошибка|Сервис временно недоступен"});
    QCOMPARE(shown, QStringList{dead});
    QCOMPARE(second.Hits(kStatePath), 1);
    QCOMPARE(AdmitadRelay::StoredAddress(), second.Url(QString()));
    QCOMPARE(script.imports, 2);

    // "Настройки сервиса..." in the dialog: the authorisation starts over at
    // the new address.
    answers = QStringList{first.Url(QString())};
    script.onImport = [&](AdmitdeZozavoDialog *dialog) {
        if (script.imports == 3) {
            auto *settings = dialog->findChild<QPushButton *>(QStringLiteral("relaySettingsButton"));
            QTimer::singleShot(0, settings, &QAbstractButton::click);
        } else {
            Press(dialog, QDialogButtonBox::Cancel);
        }
    };
    Import(window.get());
    QCOMPARE(script.imports, 4);
    QCOMPARE(second.Hits(kStatePath), 2);
    QCOMPARE(first.Hits(kStatePath), 2);
    QCOMPARE(AdmitadRelay::StoredAddress(), first.Url(QString()));

    // The environment's address comes before the stored one.
    qputenv(AdmitadRelay::kEnvironmentVariable, second.Url(QString()).toUtf8());
    Import(window.get());
    QCOMPARE(second.Hits(kStatePath), 3);
    QCOMPARE(first.Hits(kStatePath), 2);
    QCOMPARE(Offers(window.get()), QStringList{"Old"});
    QCOMPARE(m_browser.opened, QStringList());
}

QTEST_MAIN(TestAdmitad)
void TestAdmitad::addressIsWholeAndCopied()
{
    // An address longer than any dialog is wide, as the relay hands them out.
    const QString url = QStringLiteral("https://www.admitad.test/api/authorize/?client_id=abc&state=")
            + QString(300, QLatin1Char('x')) + QStringLiteral("&end=1");
    AdmitdeZozavoDialog dialog(url);
    auto *address = dialog.findChild<QLineEdit *>(QStringLiteral("addressEdit"));
    QVERIFY(address);
    QCOMPARE(address->text(), url);
    QVERIFY(address->isReadOnly());
    QGuiApplication::clipboard()->clear();
    dialog.findChild<QPushButton *>(QStringLiteral("copyAddress"))->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), url);
}

#include "tst_admitad.moc"
