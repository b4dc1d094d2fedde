#include <QtTest>

#include <thread>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "feedfile.h"
#include "platform.h"

// The platform layer, on whichever system the suite runs: the mapping of
// category names to file names every system takes, processes, the whole-file
// replacement and positional reads (in a build that reads without mappings,
// the fallback Windows uses).
class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void portableFileNames_data();
    void portableFileNames();
    void processesAreToldApart();
    void replaceFileIsWholeOrNothing();
    void replaceWaitsForAReaderToLetGo();
    void readAtKeepsToItsStretch();
};

void TestPlatform::portableFileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("portable");
    QTest::newRow("plain, Cyrillic, inner dots and spaces") << "Обувь. Мужская 2.0" << "Обувь. Мужская 2.0";
    QTest::newRow("each forbidden character") << "a<b>c:d\"e/f\\g|h?i*j" << "a_b_c_d_e_f_g_h_i_j";
    QTest::newRow("control characters") << QString("tab\there\nand\x7f") << "tab_here_and_";
    QTest::newRow("trailing dots and spaces") << "Sale. . " << "Sale____";
    QTest::newRow("only dots") << ".." << "__";
    QTest::newRow("leading dot and space stay") << " .hidden" << " .hidden";
    QTest::newRow("device name") << "CON" << "CON_";
    QTest::newRow("device name in any case") << "nul" << "nul_";
    QTest::newRow("device name before an extension") << "Aux.Parts.old" << "Aux_.Parts.old";
    QTest::newRow("numbered ports") << "com1" << "com1_";
    QTest::newRow("printer port with a superscript digit") << QString("LPT\u00B9") << QString("LPT\u00B9_");
    QTest::newRow("port 0 is no device") << "COM0" << "COM0";
    QTest::newRow("device name inside a longer name") << "CONSOLE" << "CONSOLE";
    QTest::newRow("device name after other text") << "x.CON" << "x.CON";
    QTest::newRow("device name made by the mapping") << "NUL." << "NUL_";
    QTest::newRow("empty") << "" << "_";
}

void TestPlatform::portableFileNames()
{
    QFETCH(QString, name);
    QFETCH(QString, portable);
    QCOMPARE(Platform::PortableFileName(name), portable);
    // Mapping twice changes nothing more: a saved name stays as it is.
    QCOMPARE(Platform::PortableFileName(portable), portable);
}

void TestPlatform::processesAreToldApart()
{
    QVERIFY(Platform::ProcessId() > 0);
    QCOMPARE(Platform::ProcessId(), qint64(QCoreApplication::applicationPid()));
    QVERIFY(Platform::ProcessRuns(Platform::ProcessId()));
    QVERIFY(!Platform::ProcessRuns(0));
    QVERIFY(!Platform::ProcessRuns(-5));
    // A process that ended: this very test program, asked only for its list.
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("-functions")});
    QVERIFY(child.waitForStarted(30000));
    const qint64 pid = child.processId();
    QVERIFY(Platform::ProcessRuns(pid) || child.state() == QProcess::NotRunning);
    QVERIFY(child.waitForFinished(30000));
    QVERIFY(!Platform::ProcessRuns(pid));
}

void TestPlatform::replaceFileIsWholeOrNothing()
{
    QTemporaryDir dir;
    const QDir folder(dir.path());
    const QString target = WriteBytes(folder, "export.csv", "old\r\n");
    QString error;
    QVERIFY2(Platform::PutInPlace(WriteBytes(folder, ".export.csv.part", "new\r\n"), target, &error),
             qPrintable(error));
    QCOMPARE(ReadBytes(target), QByteArray("new\r\n"));
    QVERIFY(!QFile::exists(folder.filePath(".export.csv.part")));
    // A new name is made; a missing source changes nothing and says why.
    QVERIFY(Platform::PutInPlace(WriteBytes(folder, "a.part", "a"), folder.filePath("fresh.csv"), &error));
    QCOMPARE(ReadBytes(folder.filePath("fresh.csv")), QByteArray("a"));
    error.clear();
    QVERIFY(!Platform::PutInPlace(folder.filePath("missing.part"), target, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(ReadBytes(target), QByteArray("new\r\n"));
    // A folder in the way is never replaced.
    QVERIFY(folder.mkdir("taken.csv"));
    QVERIFY(!Platform::PutInPlace(WriteBytes(folder, "b.part", "b"), folder.filePath("taken.csv"), &error));
    QVERIFY(QFileInfo(folder.filePath("taken.csv")).isDir());
    QCOMPARE(ReadBytes(folder.filePath("b.part")), QByteArray("b"));
}

void TestPlatform::replaceWaitsForAReaderToLetGo()
{
    // An importer or a virus scanner reads the old export while the new one
    // is put in place; on Windows its open file keeps the name taken until it
    // lets go. The replacement waits for it, and the reader keeps reading
    // what it opened.
    QTemporaryDir dir;
    const QDir folder(dir.path());
    const QString target = WriteBytes(folder, "export.csv", "old\r\n");
    QFile reader(target);
    QVERIFY(reader.open(QIODevice::ReadOnly));
    std::thread letGo([&reader] {
        QThread::msleep(300);
        reader.close();
    });
    QString error;
    const bool replaced = Platform::PutInPlace(WriteBytes(folder, "e.part", "new\r\n"), target, &error);
    letGo.join();
    QVERIFY2(replaced, qPrintable(error));
    QCOMPARE(ReadBytes(target), QByteArray("new\r\n"));
}

void TestPlatform::readAtKeepsToItsStretch()
{
    QTemporaryDir dir;
    QFile file(WriteBytes(QDir(dir.path()), "f.csv", "0123456789"));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    char bytes[16] = {};
    struct Read
    {
        qint64 pos, size;
        QByteArray expected;
    };
    const Read reads[] = {{3, 4, "3456"}, {0, 2, "01"}, {8, 8, "89"}, {10, 4, ""}, {42, 4, ""}};
    for (const Read &read : reads) {
        const qint64 n = Platform::ReadAt(file, bytes, read.pos, read.size);
        QCOMPARE(QByteArray(bytes, int(n)), read.expected);
    }
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
