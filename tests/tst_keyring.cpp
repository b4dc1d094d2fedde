#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "feedfile.h"
#include "keyring.h"
#include "modalhelper.h"
#include "model.h"
#include "phpsite.h"
#include "rememberedpassword.h"
#include "schema.h"

// Remembered passwords and the system's keyring. CTest runs this twice: in
// a private D-Bus session with an unlocked keyring (FIDMORA_TEST_KEYRING=1,
// see keyring/run_with_keyring.sh), and with no session bus at all, where
// every call must come back unavailable with a reason and the user decides
// whether the project file keeps the password.
class TestKeyring : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void entries();
    void rememberedPassword_data();
    void rememberedPassword();
    void commandLineReadsKeyring();

private:
    bool m_available = false;
    QTemporaryDir m_dir;
};

namespace {

const RememberedPassword::Keys kKeys{Schema::Option::ModxPassword, Schema::Option::ModxKeyring};

} // namespace

void TestKeyring::initTestCase()
{
    m_available = qgetenv("FIDMORA_TEST_KEYRING") == "1";
    QVERIFY(m_dir.isValid());
}

void TestKeyring::entries()
{
    const QString entry = Keyring::SiteEntry(QStringLiteral("admin"), QStringLiteral("127.0.0.1:1"));
    QString why;
    QString read;
    if (!m_available) {
        QCOMPARE(Keyring::Store(entry, QStringLiteral("secret"), &why), Keyring::Unavailable);
        QVERIFY(!why.isEmpty());
        QCOMPARE(Keyring::Read(entry, &read), Keyring::Unavailable);
        return;
    }
    QCOMPARE(Keyring::Read(entry, &read), Keyring::NotFound);
    QCOMPARE(Keyring::Store(entry, QStringLiteral("pa\"ss;wörd"), &why), Keyring::Done);
    QCOMPARE(Keyring::Read(entry, &read, &why), Keyring::Done);
    QCOMPARE(read, QStringLiteral("pa\"ss;wörd"));
    // Another login on the same server is another entry.
    QCOMPARE(Keyring::Read(Keyring::SiteEntry(QStringLiteral("other"), QStringLiteral("127.0.0.1:1")), &read),
             Keyring::NotFound);
    QCOMPARE(Keyring::Remove(entry), Keyring::Done);
    QCOMPARE(Keyring::Read(entry, &read), Keyring::NotFound);
    QCOMPARE(Keyring::FtpEntry(QStringLiteral("u"), QStringLiteral("FTP.Example"), 21),
             QStringLiteral("ftp:u@ftp.example:21"));
}

void TestKeyring::rememberedPassword_data()
{
    QTest::addColumn<bool>("inFileBefore"); // the project file kept a password before
    QTest::addColumn<bool>("remember");
    QTest::addColumn<int>("answer"); // to the question whether the file may keep it
    QTest::newRow("remembered, the file may keep it") << false << true << int(QMessageBox::Yes);
    QTest::newRow("remembered, the file may not") << false << true << int(QMessageBox::No);
    // Without a keyring, a file that kept its password goes on keeping it, unasked.
    QTest::newRow("remembered, kept in the file before") << true << true << int(QMessageBox::No);
    QTest::newRow("not remembered") << true << false << int(QMessageBox::Yes);
}

void TestKeyring::rememberedPassword()
{
    QFETCH(bool, inFileBefore);
    QFETCH(bool, remember);
    QFETCH(int, answer);
    const QString entry = Keyring::SiteEntry(QStringLiteral("admin"), QStringLiteral("shop.test"));
    Model model;
    // A password the project file kept before is replaced, never left behind.
    if (inFileBefore)
        model.SetOption(kKeys.password, QStringLiteral("old"));
    ModalCloser closer{QMessageBox::StandardButton(answer)};
    RememberedPassword::Keep(nullptr, model, kKeys, entry, QStringLiteral("secret"), remember);
    const bool asked = !closer.closed.isEmpty();
    QCOMPARE(asked, remember && !m_available && !inFileBefore);

    const bool inKeyring = remember && m_available;
    const bool inFile = remember && !m_available && (inFileBefore || answer == QMessageBox::Yes);
    QCOMPARE(model.Option(kKeys.keyring), inKeyring ? entry : QString());
    QCOMPARE(model.Options().contains(kKeys.password), inFile);
    bool remembered = false;
    QCOMPARE(RememberedPassword::Load(model, kKeys, &remembered),
             inKeyring || inFile ? QStringLiteral("secret") : QString());
    QCOMPARE(remembered, inKeyring || inFile);

    // Unticked, it is forgotten everywhere.
    RememberedPassword::Keep(nullptr, model, kKeys, entry, QStringLiteral("secret"), false);
    QVERIFY(!model.Options().contains(kKeys.keyring) && !model.Options().contains(kKeys.password));
    QString read;
    if (m_available)
        QCOMPARE(Keyring::Read(entry, &read), Keyring::NotFound);
}

void TestKeyring::commandLineReadsKeyring()
{
    PhpSite site;
    START_PHP_SITE(site);
    const QString entry = Keyring::SiteEntry(QString::fromUtf8(PhpSite::kLogin), site.Host());
    if (m_available)
        QCOMPARE(Keyring::Store(entry, QString::fromUtf8(PhpSite::kPassword)), Keyring::Done);
    // The project names the keyring's entry and holds no password.
    const QString project = WriteFeed(QDir(m_dir.path()), QStringLiteral("site.fdm"),
                                      {QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"),
                                       QStringLiteral("<settings><options><export><modx><host val=\"%1\"/>"
                                                      "<login val=\"%2\"/><keyring val=\"%3\"/></modx></export>"
                                                      "</options><offers/></settings>")
                                               .arg(site.Host(), QString::fromUtf8(PhpSite::kLogin), entry)});
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("FIDMORA_SITE_PASSWORD"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    environment.remove(QStringLiteral("LANGUAGE"));
    cli.setProcessEnvironment(environment);
    cli.start(QStringLiteral(FIDMORA_CLI), {QStringLiteral("--project"), project, QStringLiteral("--add-site")});
    QVERIFY(cli.waitForFinished(120000));
    const QByteArray err = cli.readAllStandardError();
    if (m_available) {
        QVERIFY2(cli.exitCode() == 0, err.constData());
        QVERIFY(Keyring::Remove(entry) == Keyring::Done);
    } else {
        QCOMPARE(cli.exitCode(), 1);
        QVERIFY2(err.contains("хранилище паролей системы недоступно"), err.constData());
    }
}

QTEST_MAIN(TestKeyring)
#include "tst_keyring.moc"
