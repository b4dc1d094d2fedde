#include <functional>
#include <memory>

#include <QAction>
#include <QApplication>
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

HttpTestServer::Response Answer(const QByteArray &body)
{
    HttpTestServer::Response response;
    response.body = body;
    return response;
}

QByteArray OffersDocument()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<settings><offers>"
           "<offer url=\"\" prefix=\"\" name=\"Old\"><export autoload=\"false\" format=\"\"/></offer>"
           "<offer url=\"http://new1.test\" prefix=\"\" name=\"New1\"><export autoload=\"false\" format=\"\">"
           "<![CDATA[http://new1.test/feed.csv]]></export></offer>"
           "<offer url=\"\" prefix=\"\" name=\"New2\"><export autoload=\"false\" format=\"\"/></offer>"
           "</offers></settings>\n";
}

QStringList Texts(QAbstractItemView *view)
{
    QStringList texts;
    for (int row = 0; view->model() && row < view->model()->rowCount(); ++row)
        texts << view->model()->index(row, 0).data().toString();
    return texts;
}

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
    // The button to press; null closes the message.
    std::function<QAbstractButton *(QMessageBox *)> onMessage;
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
            QAbstractButton *button = onMessage ? onMessage(box) : nullptr;
            if (button)
                QTimer::singleShot(0, button, &QAbstractButton::click);
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

    void importThroughWindow();
    void cancelWhilePolling();
    void failures_data();
    void failures();
    void relayAddress();

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
                           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<settings><offers>"
                           "<offer url=\"\" prefix=\"\" name=\"Old\"><export autoload=\"false\" format=\"\"/>"
                           "</offer></offers></settings>\n");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_browser, "Open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_browser, "Open");
}

void TestAdmitad::init()
{
    qputenv("TMPDIR", QFile::encodeName(m_tmp));
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
    return Texts(window->findChild<QListView *>(QStringLiteral("offerListView")));
}

QStringList TestAdmitad::TemporaryFiles() const
{
    return QDir(m_tmp).entryList({QStringLiteral("fidmora-admitad-*")}, QDir::Files | QDir::Hidden);
}

void TestAdmitad::importThroughWindow()
{
    // "a&b#c%d" as the authorisation address carries it.
    const QString auth = kAuth.arg(QLatin1String("a%26b%23c%25d"));
    const QByteArray dataPath = "/adcode.php/?getdata&state=a%26b%23c%25d";
    HttpTestServer server;
    server.Set(kStatePath, Answer(auth.toUtf8()));
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
        server.Set(dataPath, Answer(OffersDocument()));
    };
    Import(window.get());

    QCOMPARE(m_browser.opened, QStringList{auth});
    // Two pauses between three polls, less the 5 % a coarse timer may fire early.
    QVERIFY2(thirdPollAfter >= 380, qPrintable(QString::number(thirdPollAfter)));
    QVERIFY2(waiting.startsWith(QStringLiteral("Ожидание авторизации: ")), qPrintable(waiting));
    QCOMPARE(Offers(window.get()), (QStringList{"Old", "New1 (+)", "New2"}));
    QCOMPARE(window->statusBar()->currentMessage(),
             QStringLiteral("Офферы из Admitad загружены: новых 2, уже были в проекте 1"));
    QCOMPARE(TemporaryFiles(), QStringList());

    // A second import finds every offer in place.
    Import(window.get());
    QCOMPARE(script.imports, 2);
    QCOMPARE(server.Hits(kStatePath), 2);
    QCOMPARE(Offers(window.get()), (QStringList{"Old", "New1 (+)", "New2"}));
    QCOMPARE(window->statusBar()->currentMessage(),
             QStringLiteral("Офферы из Admitad загружены: новых 0, уже были в проекте 3"));
    QCOMPARE(TemporaryFiles(), QStringList());
    QVERIFY(script.messages.isEmpty());
}

void TestAdmitad::cancelWhilePolling()
{
    const QByteArray dataPath = "/adcode.php/?getdata&state=s1";
    HttpTestServer server;
    server.Set(kStatePath, Answer(kAuth.arg(QLatin1String("s1")).toUtf8()));
    qputenv(AdmitadRelay::kEnvironmentVariable, server.Url(QString()).toUtf8());
    auto window = NewWindow();
    const QString status = window->statusBar()->currentMessage();

    Script script;
    int hitsAtCancel = -1;
    bool closedAtOnce = false;
    script.onImport = [](AdmitdeZozavoDialog *dialog) {
        dialog->SetPollTimes(100, 60 * 1000);
        Press(dialog, QDialogButtonBox::Ok);
    };
    script.onTick = [&] {
        auto *dialog = qobject_cast<AdmitdeZozavoDialog *>(QApplication::activeModalWidget());
        if (hitsAtCancel >= 0 || !dialog || server.Hits(dataPath) < 2)
            return;
        hitsAtCancel = server.Hits(dataPath);
        dialog->findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))->button(QDialogButtonBox::Cancel)->click();
        closedAtOnce = !dialog->isVisible();
    };
    Import(window.get());

    QVERIFY(closedAtOnce);
    QTest::qWait(600);
    // A request already on its way when Cancel came may still be counted.
    QVERIFY2(server.Hits(dataPath) <= hitsAtCancel + 1, qPrintable(QString::number(server.Hits(dataPath))));
    QCOMPARE(Offers(window.get()), QStringList{"Old"});
    QCOMPARE(window->statusBar()->currentMessage(), status);
    QCOMPARE(TemporaryFiles(), QStringList());
    QVERIFY(script.messages.isEmpty());
}

void TestAdmitad::failures_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("auth");
    QTest::addColumn<bool>("document");
    QTest::addColumn<bool>("unwritable");
    QTest::addColumn<int>("limitMs");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("polls");

    const QByteArray s1 = kAuth.arg(QLatin1String("s1")).toUtf8();
    const QByteArray noState = "http://auth.test/authorize?client_id=7&scope=x";
    const QByteArray twoEquals = "http://auth.test/authorize?client_id=7&state=a=b&scope=x";
    const int minutes = 10 * 60 * 1000;
    QTest::newRow("unreachable relay") << 0 << s1 << true << false << minutes
                                       << "Ошибка|Сервис временно недоступен" << false;
    QTest::newRow("empty getstate") << 200 << QByteArray("\r\n") << true << false << minutes
                                    << "Ошибка|Внутренняя ошибка" << false;
    QTest::newRow("no state") << 200 << noState << true << false << minutes
                              << "Ошибка|Сервис вернул адрес авторизации без параметра state" << false;
    QTest::newRow("state with two =") << 200 << twoEquals << true << false << minutes
                                      << "Ошибка|Сервис вернул адрес авторизации без параметра state" << false;
    QTest::newRow("not a web page") << 200 << QByteArray("file:///etc/passwd?state=s1") << true << false << minutes
                                    << "Ошибка|Сервис вернул адрес авторизации, который нельзя открыть" << false;
    QTest::newRow("result not written") << 200 << s1 << true << true << minutes
                                        << "Ошибка|Не удалось сохранить список офферов во временный файл: " << true;
    QTest::newRow("no authorisation in time") << 200 << s1 << false << false << 1500
                                              << "Ошибка|Авторизация в Admitad не завершилась за 1 с" << true;
}

void TestAdmitad::failures()
{
    QFETCH(int, status);
    QFETCH(QByteArray, auth);
    QFETCH(bool, document);
    QFETCH(bool, unwritable);
    QFETCH(int, limitMs);
    QFETCH(QString, message);
    QFETCH(bool, polls);

    const QByteArray dataPath = "/adcode.php/?getdata&state=s1";
    HttpTestServer server;
    server.Set(kStatePath, Answer(auth));
    if (document)
        server.Set(dataPath, Answer(OffersDocument()));
    const QString relay =
            status == 0 ? QStringLiteral("http://127.0.0.1:%1").arg(ClosedPort()) : server.Url(QString());
    qputenv(AdmitadRelay::kEnvironmentVariable, relay.toUtf8());
    if (unwritable)
        qputenv("TMPDIR", QFile::encodeName(m_base.filePath(QStringLiteral("missing"))));
    auto window = NewWindow();

    Script script;
    script.onImport = [limitMs](AdmitdeZozavoDialog *dialog) {
        dialog->SetPollTimes(100, limitMs);
        Press(dialog, QDialogButtonBox::Ok);
    };
    Import(window.get());

    QCOMPARE(script.messages.size(), 1);
    QVERIFY2(script.messages.first().startsWith(message), qPrintable(script.messages.first()));
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
    first.Set(kStatePath, Answer(kAuth.arg(QLatin1String("s1")).toUtf8()));
    second.Set(kStatePath, Answer(kAuth.arg(QLatin1String("s2")).toUtf8()));
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
    answers = QStringList{"ftp://relay.test", QStringLiteral("127.0.0.1:%1").arg(first.serverPort())};
    Import(window.get());
    QCOMPARE(shown, (QStringList{"", "ftp://relay.test"}));
    QCOMPARE(script.messages.size(), 1);
    QVERIFY2(script.messages.first().startsWith(QStringLiteral("Ошибка|\"ftp://relay.test\" не подходит")),
             qPrintable(script.messages.first()));
    QCOMPARE(AdmitadRelay::StoredAddress(), first.Url(QString()));
    QCOMPARE(QSettings("Fidmora", "Fidmora").value("admitad/relay").toString(), first.Url(QString()));
    QCOMPARE(first.Hits(kStatePath), 1);
    QCOMPARE(script.imports, 1);

    // A relay that does not answer: the message offers to change its address.
    const QString dead = QStringLiteral("http://127.0.0.1:%1").arg(ClosedPort());
    AdmitadRelay::SetStoredAddress(dead);
    script.messages.clear();
    shown.clear();
    answers = QStringList{second.Url(QString())};
    script.onMessage = [](QMessageBox *box) -> QAbstractButton * {
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == QStringLiteral("Изменить адрес сервиса..."))
                return button;
        }
        return nullptr;
    };
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
    QCOMPARE(Offers(window.get()), QStringList{"Old"});
    QCOMPARE(m_browser.opened, QStringList());
}

QTEST_MAIN(TestAdmitad)
#include "tst_admitad.moc"
