#include <memory>

#include <QDir>
#include <QDirIterator>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "feedfile.h"
#include "ftptestservers.h"
#include "ftpuploader.h"
#include "iprogress.h"
#include "model.h"
#include "recordingprogress.h"

using namespace FtpTestServers;

namespace {

const QString kUser = QStringLiteral("tester");
// Cyrillic and reserved characters: the password travels apart from the
// address, whatever it holds.
const QString kPassword = QStringLiteral("пароль:s3cr3t@/#");
const int kRows = 4000;

// Answers false to the first report of an upload that has bytes on the
// way, as the window's Cancel pressed during the upload would.
class CancelDuringUpload final : public IProgress
{
public:
    bool Report(int current, int, const QString &msg) override
    {
        if (msg.startsWith(QStringLiteral("Выгрузка файла")) && current > 0)
            cancelled = true;
        return !cancelled;
    }
    bool cancelled = false;
};

// One server of the given protocol, started in its own folder; extra are
// pyftpdlib's options, vsftpd's configuration lines or the SFTP requests
// sshd refuses.
struct Site
{
    std::unique_ptr<Server> server;
    QString error;
    QUrl base;       // the folder uploads go into, credentials included
    QString folder;  // the same folder on disk
    FtpUploader::Options options;
};

Site StartSite(const QString &protocol, const QString &dir, const QStringList &extra = QStringList())
{
    Site site;
    const QDir base(dir);
    if (protocol == QLatin1String("ftp")) {
        base.mkpath(QStringLiteral("root"));
        auto *server = new PyFtpd;
        site.server.reset(server);
        site.error = server->Start(base.filePath(QStringLiteral("root")), kUser, kPassword, extra);
        site.base = QUrl(QStringLiteral("ftp://127.0.0.1/"));
        site.base.setUserName(kUser);
        site.base.setPassword(kPassword);
        site.folder = base.filePath(QStringLiteral("root"));
    } else if (protocol == QLatin1String("ftps")) {
        auto *server = new Vsftpd;
        site.server.reset(server);
        site.error = server->Start(dir, extra);
        site.base = QUrl(QStringLiteral("ftps://127.0.0.1/pub/"));
        site.folder = base.filePath(QStringLiteral("root/pub"));
        site.options.insecure = true;
    } else {
        auto *server = new Sshd;
        site.server.reset(server);
        site.error = server->Start(dir, extra);
        base.mkpath(QStringLiteral("root"));
        site.folder = base.filePath(QStringLiteral("root"));
        site.base = QUrl(QStringLiteral("sftp://127.0.0.1"));
        site.base.setPath(site.folder + QLatin1Char('/'));
        site.base.setUserName(UserName());
        site.options.keyFile = server->UserKey(dir);
    }
    site.base.setPort(site.server->Port());
    return site;
}

QUrl Below(const QUrl &base, const QString &relative)
{
    QUrl url = base;
    url.setPath(base.path() + relative);
    return url;
}

// Every file below the folder, by relative path, with its bytes.
QMap<QString, QByteArray> FilesBelow(const QString &folder)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        files.insert(QDir(folder).relativeFilePath(path), ReadBytes(path));
    }
    return files;
}

} // namespace

class TestFtpExport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void uploads_data();
    void uploads();
    void failedUploadKeepsOldFile_data();
    void failedUploadKeepsOldFile();
    void renameRightsNeverLoseTheOldFile_data();
    void renameRightsNeverLoseTheOldFile();
    void connectionTest_data();
    void connectionTest();
    void lineBreakInNameSendsNoCommand();
    void cliUploadsWithPasswordFromEnvironment();

private:
    QTemporaryDir m_home;
    QTemporaryDir m_work;
    QString m_feed;
    Model m_model;
};

void TestFtpExport::initTestCase()
{
    // SFTP remembers host keys in ~/.ssh/known_hosts: the tests keep theirs.
    QVERIFY(m_home.isValid());
    qputenv("HOME", QFile::encodeName(m_home.path()));
    QDir(m_home.path()).mkpath(QStringLiteral(".ssh"));

    // Large enough that an upload takes many chunks; categories with
    // Cyrillic names, nested.
    QStringList lines{QStringLiteral("id;name;price;categoryId;description")};
    const QStringList categories{QStringLiteral("Одежда"), QStringLiteral("Одежда/Обувь"),
                                 QStringLiteral("Сумки и рюкзаки")};
    const QString description = QStringLiteral("Описание товара, достаточно длинное для объёма. ").repeated(5);
    for (int i = 0; i < kRows; ++i) {
        lines << QStringLiteral("%1;Товар %1;%2;%3;%4")
                         .arg(i)
                         .arg(100 + i)
                         .arg(categories.at(i % categories.size()), description);
    }
    m_feed = WriteFeed(QDir(m_work.path()), QStringLiteral("shop.csv"), lines);
    QVERIFY(m_model.AddFile(m_feed));
}

void TestFtpExport::uploads_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<bool>("byCats");
    QTest::addColumn<QString>("target"); // below the site's folder

    for (const QString &protocol : {QStringLiteral("ftp"), QStringLiteral("ftps"), QStringLiteral("sftp")}) {
        // Replaces a file that is there, in a folder that is there.
        QTest::newRow(qPrintable(protocol + QLatin1String(", one file over the old one")))
                << protocol << false << QStringLiteral("Выгрузка/товары.csv");
        // Into folders that do not exist yet.
        QTest::newRow(qPrintable(protocol + QLatin1String(", by categories into new folders")))
                << protocol << true << QStringLiteral("Новая/по категориям/");
    }
}

void TestFtpExport::uploads()
{
    QFETCH(QString, protocol);
    QFETCH(bool, byCats);
    QFETCH(QString, target);

    QTemporaryDir dir;
    Site site = StartSite(protocol, dir.path());
    if (site.server->Missing())
        QSKIP(qPrintable(site.error));
    QVERIFY2(site.error.isEmpty(), qPrintable(site.error));
    // Each sshd has a host key of its own: the one of an earlier case is
    // forgotten.
    QFile::remove(m_home.filePath(QStringLiteral(".ssh/known_hosts")));

    // What a save on disk gives is what the server must hold.
    QTemporaryDir expectedDir;
    QMap<QString, QByteArray> expected;
    if (byCats) {
        QVERIFY(m_model.SaveToFilesByCats(expectedDir.path()));
        const QMap<QString, QByteArray> saved = FilesBelow(expectedDir.path());
        for (auto it = saved.cbegin(); it != saved.cend(); ++it)
            expected.insert(target + it.key(), it.value());
        QCOMPARE(expected.size(), 3);
    } else {
        const QString local = expectedDir.filePath(QStringLiteral("export.csv"));
        QVERIFY(m_model.SaveToFile(local));
        expected.insert(target, ReadBytes(local));
        QDir(site.folder).mkpath(QFileInfo(target).path());
        WriteBytes(QDir(site.folder), target, "the old export\n");
    }

    RecordingProgress progress;
    const bool ok = m_model.ExportToFtpServer(Below(site.base, target).toString(QUrl::FullyEncoded), site.options,
                                              byCats, nullptr, nullptr, &progress);
    QVERIFY2(ok, qPrintable(m_model.LastError()));
    // Exactly the exported files, whole, under their own names: no
    // temporary file is left beside them.
    QCOMPARE(FilesBelow(site.folder), expected);

    const QString shown = FtpUploader::Displayed(Below(site.base, target));
    bool announced = false;
    for (const QString &report : qAsConst(progress.reports)) {
        QVERIFY2(!report.contains(kPassword), qPrintable(report));
        announced = announced || report.contains(QStringLiteral("Выгрузка файла ") + shown);
    }
    QVERIFY2(announced, qPrintable(progress.reports.join(QLatin1Char('\n'))));
}

void TestFtpExport::failedUploadKeepsOldFile_data()
{
    QTest::addColumn<QStringList>("serverOptions");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<QString>("why");

    QTest::newRow("server drops the connection midway")
            << QStringList{QStringLiteral("--drop-after"), QStringLiteral("65536")} << false
            << QStringLiteral("Соединение разорвано во время передачи");
    QTest::newRow("cancelled midway") << QStringList{QStringLiteral("--read-limit"), QStringLiteral("131072")}
                                      << true << QStringLiteral("отменена");
}

void TestFtpExport::failedUploadKeepsOldFile()
{
    QFETCH(QStringList, serverOptions);
    QFETCH(bool, cancel);
    QFETCH(QString, why);

    QTemporaryDir dir;
    Site site = StartSite(QStringLiteral("ftp"), dir.path(), serverOptions);
    if (site.server->Missing())
        QSKIP(qPrintable(site.error));
    QVERIFY2(site.error.isEmpty(), qPrintable(site.error));
    WriteBytes(QDir(site.folder), QStringLiteral("export.csv"), "the old export\n");

    CancelDuringUpload cancelling;
    RecordingProgress recording;
    IProgress *progress = cancel ? static_cast<IProgress *>(&cancelling) : &recording;
    QVERIFY(!m_model.ExportToFtpServer(Below(site.base, QStringLiteral("export.csv")).toString(), site.options,
                                       false, nullptr, nullptr, progress));
    QVERIFY2(m_model.LastError().contains(why), qPrintable(m_model.LastError()));
    QVERIFY(!m_model.LastError().contains(kPassword));
    // The old file stays as it was, and the half-sent one is gone.
    QMap<QString, QByteArray> left = FilesBelow(site.folder);
    QCOMPARE(left, (QMap<QString, QByteArray>{{QStringLiteral("export.csv"), "the old export\n"}}));
}

void TestFtpExport::renameRightsNeverLoseTheOldFile_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QStringList>("restrictions"); // as StartSite takes them
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("replaced");
    QTest::addColumn<QString>("error");

    const QString target = QStringLiteral("export.csv");
    // 240 bytes: a temporary name that held all of it would pass the 255
    // bytes a server allows.
    const QString longTarget = QString(118, QChar(0x44f)) + QStringLiteral(".csv");
    const QStringList noRenameOver{QStringLiteral("--no-rename-over")};
    const QString notAllowed = QStringLiteral("сервер не разрешает переименование файлов: ");
    QTest::newRow("ftp, every right") << "ftp" << QStringList() << target << true << "";
    QTest::newRow("ftp, may delete but not rename")
            << "ftp" << QStringList{QStringLiteral("--perm"), QStringLiteral("elradmwMT")} << target << false
            << notAllowed;
    QTest::newRow("ftp, no rename onto a file") << "ftp" << noRenameOver << target << true << "";
    QTest::newRow("ftp, no rename onto a file, long name") << "ftp" << noRenameOver << longTarget << true << "";
    // ".new": the name the new file waits under once it arrived.
    QTest::newRow("ftp, new file cannot take its place: old one put back")
            << "ftp" << noRenameOver + QStringList{QStringLiteral("--refuse-rename-from"), QStringLiteral(".new")}
            << target << false << "но не переименован";
    QTest::newRow("ftps, every right") << "ftps" << QStringList() << target << true << "";
    QTest::newRow("ftps, no renames") << "ftps" << QStringList{QStringLiteral("cmds_denied=RNFR,RNTO")} << target
                                      << false << notAllowed;
    // OpenSSH never renames onto a file.
    QTest::newRow("sftp, every right") << "sftp" << QStringList() << target << true << "";
    QTest::newRow("sftp, no renames") << "sftp"
                                      << QStringList{QStringLiteral("rename"), QStringLiteral("posix-rename")}
                                      << target << false << notAllowed;
}

// Whatever the account may do, the folder ends with the old file whole or
// the new one, never without either; no temporary file of this upload
// stays, and the temporary files that uploads left more than a day ago go,
// while everything else in the folder stays.
void TestFtpExport::renameRightsNeverLoseTheOldFile()
{
    QFETCH(QString, protocol);
    QFETCH(QStringList, restrictions);
    QFETCH(QString, target);
    QFETCH(bool, replaced);
    QFETCH(QString, error);

    QTemporaryDir dir;
    Site site = StartSite(protocol, dir.path(), restrictions);
    if (site.server->Missing())
        QSKIP(qPrintable(site.error));
    QVERIFY2(site.error.isEmpty(), qPrintable(site.error));
    QFile::remove(m_home.filePath(QStringLiteral(".ssh/known_hosts")));

    const QByteArray oldExport = "the old export\n";
    const QByteArray newExport = "id;name\r\n1;new\r\n";
    const QDateTime twoDaysAgo = QDateTime::currentDateTimeUtc().addDays(-2);
    const QDir folder(site.folder);
    QMap<QString, QByteArray> kept{{target, oldExport},
                                   {QStringLiteral("shop.csv"), "another export\n"},
                                   {QStringLiteral("notes.txt"), "the site's own\n"},
                                   // another program's, however old
                                   {QStringLiteral(".export.csv.fidmora-12.partial"), "foreign\n"},
                                   // an upload running now
                                   {QStringLiteral(".export.csv.fidmora-4000001.part"), "fresh\n"},
                                   // the only copy of a file whose upload died midway
                                   {QStringLiteral(".gone.csv.fidmora-4000002.old"), "gone\n"}};
    const QStringList stale{QStringLiteral(".export.csv.fidmora-4000003.part"),
                            QStringLiteral(".export.csv.fidmora-4000004.new"),
                            QStringLiteral(".shop.csv.fidmora-4000005.old")};
    for (auto it = kept.cbegin(); it != kept.cend(); ++it)
        WriteBytes(folder, it.key(), it.value());
    for (const QString &name : stale)
        WriteBytes(folder, name, "stale\n");
    for (const QString &name : stale + QStringList{QStringLiteral(".export.csv.fidmora-12.partial"),
                                                   QStringLiteral(".gone.csv.fidmora-4000002.old")}) {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::ReadWrite) && file.setFileTime(twoDaysAgo, QFileDevice::FileModificationTime));
    }

    const QString local = WriteBytes(QDir(dir.path()), QStringLiteral("new.csv"), newExport);
    RecordingProgress progress;
    FtpUploader uploader(site.options, &progress);
    const bool ok = uploader.Upload(local, Below(site.base, target));
    QCOMPARE(ok, error.isEmpty());
    QVERIFY2(uploader.ErrorText().contains(error), qPrintable(uploader.ErrorText()));
    QVERIFY(!uploader.ErrorText().contains(kPassword));
    for (const QString &report : qAsConst(progress.reports))
        QVERIFY2(!report.contains(kPassword), qPrintable(report));

    if (replaced)
        kept.insert(target, newExport);
    QCOMPARE(FilesBelow(site.folder), kept);
}

void TestFtpExport::connectionTest_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("deadPort");
    QTest::addColumn<bool>("insecure");
    QTest::addColumn<QString>("knownHost"); // "": none, "right" or "wrong" key recorded for the server
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("message");

    const int ok = FtpUploader::Accessible;
    const int failed = FtpUploader::Failed;
    QTest::newRow("ftp, folder there") << "ftp" << "there/" << kPassword << false << false << "" << ok << "";
    QTest::newRow("ftp, folder not made yet") << "ftp" << "Новая/" << kPassword << false << false << "" << ok << "";
    QTest::newRow("ftp, wrong password") << "ftp" << "there/" << "wrong" << false << false << ""
                                         << int(FtpUploader::LoginRefused) << "Неверный логин или пароль";
    // One plain sentence first, the port named.
    QTest::newRow("ftp, nothing listens")
            << "ftp" << "" << kPassword << true << false << "" << failed << "Сервер не отвечает на порту ";
    QTest::newRow("ftps, self-signed certificate checked")
            << "ftps" << "" << "" << false << false << "" << failed << "Не проверять сертификат";
    QTest::newRow("ftps, certificate check off") << "ftps" << "" << "" << false << true << "" << ok << "";
    QTest::newRow("sftp, host seen first") << "sftp" << "" << "" << false << false << "" << ok << "";
    QTest::newRow("sftp, host known") << "sftp" << "" << "" << false << false << "right" << ok << "";
    QTest::newRow("sftp, host key changed") << "sftp" << "" << "" << false << false << "wrong" << failed
                                            << "known_hosts";
}

// The dialog's test before an export: whether the server lets us in. Every
// case also tries an upload, which must succeed exactly when the test does.
void TestFtpExport::connectionTest()
{
    QFETCH(QString, protocol);
    QFETCH(QString, folder);
    QFETCH(QString, password);
    QFETCH(bool, deadPort);
    QFETCH(bool, insecure);
    QFETCH(QString, knownHost);
    QFETCH(int, result);
    QFETCH(QString, message);

    QTemporaryDir dir;
    Site site = StartSite(protocol, dir.path());
    if (site.server->Missing())
        QSKIP(qPrintable(site.error));
    QVERIFY2(site.error.isEmpty(), qPrintable(site.error));
    QDir(site.folder).mkpath(QStringLiteral("there"));

    QUrl url = Below(site.base, folder);
    if (!password.isEmpty())
        url.setPassword(password);
    if (deadPort)
        url.setPort(FreePort());
    FtpUploader::Options options = site.options;
    options.insecure = insecure;

    const QString knownHosts = m_home.filePath(QStringLiteral(".ssh/known_hosts"));
    QFile::remove(knownHosts);
    if (!knownHost.isEmpty()) {
        auto *sshd = static_cast<Sshd *>(site.server.get());
        // Another key than the server's: the client's own.
        QString key = knownHost == QLatin1String("right")
                ? sshd->HostPublicKey(dir.path())
                : QString::fromUtf8(ReadBytes(sshd->UserKey(dir.path()) + QLatin1String(".pub"))).trimmed();
        key = key.section(QLatin1Char(' '), 0, 1);
        WriteBytes(QDir(m_home.path()), QStringLiteral(".ssh/known_hosts"),
                   QStringLiteral("[127.0.0.1]:%1 %2\n").arg(url.port()).arg(key).toUtf8());
    }

    FtpUploader uploader(options, nullptr);
    QCOMPARE(int(uploader.Test(url)), result);
    QVERIFY2(uploader.ErrorText().contains(message), qPrintable(uploader.ErrorText()));
    QVERIFY(!uploader.ErrorText().contains(kPassword));

    const QString local = WriteBytes(QDir(dir.path()), QStringLiteral("small.csv"), "id;name\r\n1;x\r\n");
    const bool uploaded = uploader.Upload(local, Below(url, QStringLiteral("small.csv")));
    QCOMPARE(uploaded, result == FtpUploader::Accessible);
    QVERIFY(!uploader.ErrorText().contains(kPassword));
    if (uploaded)
        QCOMPARE(ReadBytes(site.folder + QLatin1Char('/') + folder + QLatin1String("small.csv")),
                 QByteArray("id;name\r\n1;x\r\n"));
}

// Category names come from feeds, and a file is named after its category:
// a line break in one would end the rename command and start another.
void TestFtpExport::lineBreakInNameSendsNoCommand()
{
    QTemporaryDir dir;
    Site site = StartSite(QStringLiteral("ftp"), dir.path());
    if (site.server->Missing())
        QSKIP(qPrintable(site.error));
    QVERIFY2(site.error.isEmpty(), qPrintable(site.error));
    WriteBytes(QDir(site.folder), QStringLiteral("keep.csv"), "kept\n");

    const QString local = WriteBytes(QDir(dir.path()), QStringLiteral("small.csv"), "id;name\r\n1;x\r\n");
    FtpUploader uploader(site.options, nullptr);
    QVERIFY(!uploader.Upload(local, Below(site.base, QStringLiteral("a\r\nDELE keep.csv"))));
    QVERIFY2(uploader.ErrorText().contains(QStringLiteral("управляющие символы")), qPrintable(uploader.ErrorText()));
    QCOMPARE(FilesBelow(site.folder), (QMap<QString, QByteArray>{{QStringLiteral("keep.csv"), "kept\n"}}));
}

// An unattended run: the password comes from the environment, never from
// the command line, where every user could read it in the process list.
void TestFtpExport::cliUploadsWithPasswordFromEnvironment()
{
    QTemporaryDir dir;
    Site site = StartSite(QStringLiteral("ftp"), dir.path());
    if (site.server->Missing())
        QSKIP(qPrintable(site.error));
    QVERIFY2(site.error.isEmpty(), qPrintable(site.error));

    const auto run = [&](const QStringList &arguments, const QString &password, QByteArray *errors) {
        QProcess cli;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), m_home.path());
        if (!password.isNull())
            environment.insert(QStringLiteral("FIDMORA_FTP_PASSWORD"), password);
        cli.setProcessEnvironment(environment);
        cli.start(QStringLiteral(FIDMORA_CLI), QStringList{QStringLiteral("--quiet"), QStringLiteral("--add"),
                                                           m_feed} + arguments);
        if (!cli.waitForFinished(120000))
            return -1;
        *errors = cli.readAllStandardError();
        return cli.exitCode();
    };
    QUrl url(QStringLiteral("ftp://127.0.0.1/сайт/"));
    url.setPort(site.server->Port());
    url.setUserName(kUser);
    const QString local = dir.filePath(QStringLiteral("changes.csv"));
    const QString byCats = dir.filePath(QStringLiteral("cats"));

    QByteArray errors;
    QCOMPARE(run({QStringLiteral("--save"), local, QStringLiteral("--upload"), url.toString(),
                  QStringLiteral("--save-by-cats"), byCats, QStringLiteral("--upload"), url.toString()},
                 kPassword, &errors),
             0);
    QMap<QString, QByteArray> expected{{QStringLiteral("сайт/changes.csv"), ReadBytes(local)}};
    for (const QString &name : QDir(byCats).entryList(QDir::Files))
        expected.insert(QStringLiteral("сайт/") + name, ReadBytes(byCats + QLatin1Char('/') + name));
    QCOMPARE(expected.size(), 4);
    QCOMPARE(FilesBelow(site.folder), expected);

    // A refused login fails the run with the server's answer.
    QCOMPARE(run({QStringLiteral("--save"), local, QStringLiteral("--upload"), url.toString()},
                 QStringLiteral("wrong"), &errors),
             1);
    QVERIFY2(QString::fromUtf8(errors).contains(QStringLiteral("неверный логин или пароль")), errors.constData());

    // A password written into the address is refused before anything runs.
    url.setPassword(kPassword);
    QCOMPARE(run({QStringLiteral("--save"), local, QStringLiteral("--upload"), url.toString()}, QString(), &errors),
             2);
}

QTEST_GUILESS_MAIN(TestFtpExport)
#include "tst_ftpexport.moc"
