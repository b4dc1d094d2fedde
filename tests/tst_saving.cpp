#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>

#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "catmodel.h"
#include "csvmanipulator.h"
#include "feedfile.h"
#include "filter.h"
#include "good.h"
#include "goodidentity.h"
#include "model.h"
#include "recordingprogress.h"

namespace {

// A writer that keeps the rows, to compare with what the CSV writer wrote.
class ListWriter final : public IWriter
{
public:
    void WriteHeader(const QStringList &header) override { rows << header; }
    void WriteRow(const QStringList &row) override { rows << row; }
    bool Close() override { return true; }
    QList<QStringList> rows;
};

QStringList Column(const QList<QStringList> &rows, const QString &name)
{
    QStringList values;
    const int at = rows.value(0).indexOf(name);
    for (int i = 1; i < rows.size(); ++i)
        values << rows.at(i).value(at);
    return values;
}

} // namespace

class TestSaving : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void computedColumns();
    void templateColumn_data();
    void templateColumn();
    void columnsOfSeveralSources();
    void nothingSelected();
    void filterAndUncheckedCategories();
    void byCategories();
    void statusAfterABase_data();
    void statusAfterABase();
    void failuresKeepTheOldExport_data();
    void failuresKeepTheOldExport();
    void partialFilesOfDeadProcesses();
    void exportTargets_data();
    void exportTargets();
    void longCategoryNames();
    void namesEverySystemTakes();
    void failurePartWayKeepsTheFolder();
    void readersAreBoundOnlyWhileSaving();
    void failedWritesAreReported();
    void copiedCellsMatchDecodedCells();

private:
    QString Feed(const QString &name, const QStringList &lines);
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSaving::init()
{
    m_dir.reset(new QTemporaryDir);
}

QString TestSaving::Feed(const QString &name, const QStringList &lines)
{
    return WriteFeed(QDir(m_dir->path()), name, lines);
}

void TestSaving::computedColumns()
{
    Model model;
    Offer *offer = model.FindOrCreateOffer("data");
    offer->rename.insert(CategoryRule::FromText("Обувь"), RenameTarget{"Ботинки", false});
    QVERIFY(model.AddFile(Feed("data.csv", {"name;url;price;categoryId", "a;u1;10;Обувь/Зимние", "b;u2;20;Обувь",
                                            "c;u3;30;Обувь"})));
    QVERIFY(model.AddFile(Feed("base.csv", {"name;url;price;categoryId", "b;u2;25;Обувь", "c;u3;30;Обувь",
                                            "d;u4;40;Обувь"}),
                          true));
    const QString out = m_dir->filePath("out.csv");
    const QStringList header{"name", "categoryId", "status", "advcampaign_name", "price", "missing", "status"};
    QVERIFY(model.SaveToFile(out, nullptr, &header));
    const QList<QStringList> rows = ReadCsv(out);
    QCOMPARE(rows.first(), header);
    // In walk order: a category's own goods before those of its subcategories.
    QCOMPARE(rows.mid(1), (QList<QStringList>{{"b", "Ботинки", "~", "data", "20", QString(), QString()},
                                              {"a", "Ботинки/Зимние", "+", "data", "10", QString(), QString()},
                                              {"d", "Обувь", "-", "base", "40", QString(), QString()}}));
}

void TestSaving::templateColumn_data()
{
    QTest::addColumn<QString>("columns");
    QTest::addColumn<QString>("feed");
    QTest::addColumn<QString>("expected");
    const QString byUrl = "name;url;id;categoryId\nN;U;I;X";
    const QString byId = "name;id;advcampaign_name;categoryId\nN;I;Shop;X";
    const QString own = "name;url;id;idTpl;advcampaign_name;categoryId\nN;U;I;[u]/[a]/[i]/[n];Shop;X";
    QTest::newRow("url exported: kept") << "url,idTpl" << byUrl << "[u]";
    QTest::newRow("url not exported: filled in") << "name,idTpl" << byUrl << "U";
    QTest::newRow("offer and id exported: kept") << "id,advcampaign_name,idTpl" << byId << "[a][i]";
    QTest::newRow("only id exported") << "id,idTpl" << byId << "Shop[i]";
    QTest::newRow("row template, some exported") << "url,name,idTpl" << own << "[u]/Shop/I/[n]";
    QTest::newRow("row template, none exported") << "idTpl" << own << "U/Shop/I/N";
    QTest::newRow("unique goods get their number") << "url,advcampaign_name,id,idTpl"
                                                   << "descr;categoryId\nd;X" << "<number>";
    QTest::newRow("unique goods, everything exported") << "url,advcampaign_name,id,name,idTpl"
                                                       << "descr;categoryId\nd;X" << "[a][p]";
}

void TestSaving::templateColumn()
{
    QFETCH(QString, columns);
    QFETCH(QString, feed);
    QFETCH(QString, expected);
    Model model;
    QVERIFY(model.AddFile(Feed("feed.csv", feed.split('\n'))));
    const QStringList header = columns.split(',');
    const QString out = m_dir->filePath("tpl.csv");
    QVERIFY(model.SaveToFile(out, nullptr, &header));
    const QString written = Column(ReadCsv(out), "idTpl").value(0);
    if (expected == QLatin1String("<number>")) {
        // The offer's placeholder stays, the good's number is filled in.
        QVERIFY2(written.startsWith("[a]"), qPrintable(written));
        QCOMPARE(QStringLiteral("feed") + written.mid(3), GoodIdentity::Key(*model.Root().FirstGood()));
    } else {
        QCOMPARE(written, expected);
    }
}

void TestSaving::columnsOfSeveralSources()
{
    Model model;
    QVERIFY(model.AddFile(Feed("one.csv", {"name;price;categoryId;color", "a;1;X;red"})));
    QVERIFY(model.AddFile(Feed("two.csv", {"size;name;categoryId", "L;b;X"})));
    QCOMPARE(model.CollectHeader(nullptr, nullptr, true), (QStringList{"name", "price", "categoryId", "color", "size"}));
    const QString out = m_dir->filePath("both.csv");
    QVERIFY(model.SaveToFile(out));
    const QList<QStringList> rows = ReadCsv(out);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows.at(1), (QStringList{"a", "1", "X", "red", QString()}));
    QCOMPARE(rows.at(2), (QStringList{"b", QString(), "X", QString(), "L"}));
}

void TestSaving::nothingSelected()
{
    Model model;
    const QString out = m_dir->filePath("nothing.csv");
    const QStringList header{"name", "price"};
    RecordingProgress progress;
    QVERIFY(model.SaveToFile(out, nullptr, &header, nullptr, &progress));
    QCOMPARE(ReadBytes(out), QByteArray("name;price\r\n"));
    // The root's own name is never shown.
    QCOMPARE(progress.reports, QStringList{"0/0 Каталог сохранён"});
    QVERIFY(model.SaveToFile(out));
    QCOMPARE(ReadBytes(out), QByteArray("\r\n"));
    QVERIFY(!model.SaveToFile(m_dir->filePath("no/folder/x.csv")));
}

void TestSaving::filterAndUncheckedCategories()
{
    Model model;
    QVERIFY(model.AddFile(Feed("f.csv", {"name;price;categoryId", "a;10;A", "b;20;A/B", "c;30;C", "d;;C"})));
    Filter filter;
    filter.uncheckedCategories.insert(model.Root().FindOrCreatePath("f/A"));
    filter.priceLow = 15;
    const QString out = m_dir->filePath("filtered.csv");
    QVERIFY(model.SaveToFile(out, nullptr, nullptr, &filter));
    QCOMPARE(Column(ReadCsv(out), "name"), (QStringList{"b", "c"}));
    // Only the subtree of the category asked for.
    QVERIFY(model.SaveToFile(out, model.Root().FindOrCreatePath("f/C"), nullptr, &filter));
    QCOMPARE(Column(ReadCsv(out), "name"), QStringList{"c"});
}

void TestSaving::byCategories()
{
    Model model;
    QVERIFY(model.AddFile(Feed("Sale.csv", {"name;price;categoryId", "a;1;Shoes", "b;2;Bags/Small", "c;3;Bags/Small",
                                            "z;100;Bags/Big"})));
    CatModel *loose = model.Root().FindOrCreatePath("Clothes/Shoes");
    loose->goods.append(model.Arena().New(*model.Root().FindOrCreatePath("Sale/Shoes")->goods.first()));
    loose->goods.last()->category = loose;
    model.Root().goods.append(model.Arena().New(*loose->goods.first()));
    model.Root().goods.last()->category = &model.Root();

    Filter filter;
    filter.priceHigh = 50;
    filter.uncheckedCategories.insert(loose);
    const QString folder = m_dir->filePath("cats");
    QDir().mkpath(folder);
    RecordingProgress progress;
    QVERIFY(model.SaveToFilesByCats(folder, nullptr, nullptr, &filter, &progress));
    QStringList files = QDir(folder).entryList(QDir::Files);
    files.sort();
    // Goods below the ghost "Sale" are named with it; "Bags" has no goods of
    // its own, those of "Bags/Big" are all filtered out and "Clothes/Shoes"
    // is unchecked: no file of theirs.
    QCOMPARE(files, (QStringList{"Root.csv", "Sale-Bags-Small.csv", "Sale-Shoes.csv"}));
    QCOMPARE(Column(ReadCsv(folder + "/Sale-Bags-Small.csv"), "name"), (QStringList{"b", "c"}));
    QVERIFY(progress.reports.contains("2/2 Сохранено Small"));
    QCOMPARE(model.Root().FindOrCreatePath("Sale/Bags/Small")->path, QStringLiteral("Bags/Small"));

    // A missing folder is not created.
    QVERIFY(!model.SaveToFilesByCats(m_dir->filePath("absent")));

    // Paths that make the same name keep their goods apart, and say so.
    Model clash;
    QVERIFY(clash.AddFile(Feed("clash.csv", {"name;categoryId", "x;a/b", "y;a-b", "z;A-b"})));
    const QString clashing = m_dir->filePath("clash");
    QDir().mkpath(clashing);
    QVERIFY(clash.SaveToFilesByCats(clashing));
    files = QDir(clashing).entryList(QDir::Files);
    files.sort();
    // (Three top-level categories: they stand below the ghost "clash".)
    QCOMPARE(files, (QStringList{"clash-A-b (3).csv", "clash-a-b (2).csv", "clash-a-b.csv"}));
    QCOMPARE(Column(ReadCsv(clashing + "/clash-a-b (2).csv"), "name"), QStringList{"y"});
    QCOMPARE(clash.Warnings().size(), 2);
    QVERIFY(clash.Warnings().first().contains("clash-a-b (2).csv"));
}

void TestSaving::statusAfterABase_data()
{
    QTest::addColumn<bool>("withBase");
    QTest::addColumn<bool>("byCats");
    QTest::addColumn<QString>("chosen"); // empty: the columns are collected
    QTest::addColumn<QString>("feedColumns");
    QTest::addColumn<QString>("header");

    const QString plain = "name;url;price;categoryId";
    QTest::newRow("no base, no marks") << false << false << "" << plain << "name,url,price,categoryId";
    QTest::newRow("one file after a base") << true << false << "" << plain << "name,url,price,categoryId,status";
    QTest::newRow("by categories after a base") << true << true << "" << plain << "name,url,price,categoryId,status";
    QTest::newRow("chosen columns stay as chosen") << true << false << "name,url" << plain << "name,url";
    QTest::newRow("a feed's own status column is filled")
            << true << false << "" << "name;status;url;price;categoryId" << "name,status,url,price,categoryId";
}

void TestSaving::statusAfterABase()
{
    QFETCH(bool, withBase);
    QFETCH(bool, byCats);
    QFETCH(QString, chosen);
    QFETCH(QString, feedColumns);
    QFETCH(QString, header);

    // The feed's own "status" cells say "old": the save writes the marks.
    const bool ownStatus = feedColumns.contains("status");
    const auto row = [ownStatus](const QString &name, const QString &url, int price) {
        return ownStatus ? QStringLiteral("%1;old;%2;%3;X").arg(name, url).arg(price)
                         : QStringLiteral("%1;%2;%3;X").arg(name, url).arg(price);
    };
    Model model;
    QVERIFY(model.AddFile(Feed("data.csv", {feedColumns, row("a", "u1", 1), row("b", "u2", 2)})));
    if (withBase)
        QVERIFY(model.AddFile(Feed("base.csv", {feedColumns, row("b", "u2", 3), row("d", "u4", 4)}), true));
    const QStringList columns = chosen.split(',', Qt::SkipEmptyParts);
    const QStringList *given = chosen.isEmpty() ? nullptr : &columns;

    QList<QList<QStringList>> files;
    if (byCats) {
        const QString folder = m_dir->filePath("cats");
        QDir().mkpath(folder);
        QVERIFY(model.SaveToFilesByCats(folder, nullptr, given));
        for (const QString &file : model.SavedFiles())
            files << ReadCsv(file);
    } else {
        const QString out = m_dir->filePath("out.csv");
        QVERIFY(model.SaveToFile(out, nullptr, given));
        files << ReadCsv(out);
    }
    QStringList marks;
    for (const QList<QStringList> &rows : qAsConst(files)) {
        QCOMPARE(rows.first().join(','), header);
        marks << Column(rows, "status");
    }
    marks.sort();
    if (header.contains("status"))
        QCOMPARE(marks, withBase ? (QStringList{"+", "-", "~"}) : (QStringList{"+", "+"}));
}

void TestSaving::failuresKeepTheOldExport_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("error");
    QTest::newRow("cancelled in the middle") << "cancel" << "отменено";
    QTest::newRow("the feed was cut since the load") << "cut" << "изменился после загрузки";
    QTest::newRow("rows of the feed spoilt, size and time kept") << "spoil" << "Не удалось прочитать строк: 100 из 400";
}

void TestSaving::failuresKeepTheOldExport()
{
    QFETCH(QString, how);
    QFETCH(QString, error);
    QStringList lines{"name;categoryId"};
    for (int i = 0; i < 400; ++i)
        lines << QStringLiteral("row%1;%2").arg(i, 4, 10, QLatin1Char('0')).arg(QString(40, QLatin1Char('x')));
    Model model;
    const QString feed = Feed("f.csv", lines);
    QVERIFY(model.AddFile(feed));
    const QString out = m_dir->filePath("export.csv");
    QVERIFY(model.SaveToFile(out));
    const QByteArray old = ReadBytes(out);

    RecordingProgress progress(how == "cancel" ? 2 : 0);
    if (how == "cut") {
        QFile::resize(feed, ReadBytes(feed).indexOf("row0300"));
    } else if (how == "spoil") {
        // Rows lose a field: a save must not write the rest and call it done.
        QFile file(feed);
        const QDateTime modified = QFileInfo(feed).lastModified();
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        const int from = bytes.indexOf("row0300");
        for (int at = bytes.indexOf(';', from); at >= 0; at = bytes.indexOf(';', at + 1))
            bytes[at] = ',';
        file.seek(0);
        file.write(bytes);
        QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
        file.close();
    }
    QVERIFY(!model.SaveToFile(out, nullptr, nullptr, nullptr, &progress));
    QVERIFY2(model.LastError().contains(error), qPrintable(model.LastError()));
    QCOMPARE(ReadBytes(out), old);
    QCOMPARE(QDir(m_dir->path()).entryList(QStringList{"*.part"}, QDir::Files | QDir::Hidden), QStringList());
}

void TestSaving::partialFilesOfDeadProcesses()
{
    Model model;
    QVERIFY(model.AddFile(Feed("f.csv", {"name;categoryId", "a;X"})));
    QDir folder(m_dir->filePath("parts"));
    QVERIFY(folder.mkpath("."));
    // This process runs (on every system); a pid past the system's limit never does.
    const QString running = QStringLiteral(".export.csv.%1.part").arg(QCoreApplication::applicationPid());
    WriteBytes(folder, running, "of a running process");
    WriteBytes(folder, ".export.csv.99999999.part", "of a killed save");
    QVERIFY(model.SaveToFile(folder.filePath("other.csv")));
    QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden), (QStringList{running, "other.csv"}));
}

void TestSaving::exportTargets_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("refusal"); // a pattern of the reason; empty: the save goes through
    QTest::newRow("plain file") << "file" << "";
    QTest::newRow("link to the user's own file") << "link" << "";
    QTest::newRow("chain of the user's own links") << "chain" << "";
    QTest::newRow("dangling link") << "dangling" << "несуществующий файл";
    QTest::newRow("link to a folder") << "folder" << "папка, а не файл|не является обычным файлом";
    QTest::newRow("link of another user") << "foreign link" << "ссылка другого пользователя";
    QTest::newRow("link to another user's file") << "foreign file" << "файл другого пользователя";
    QTest::newRow("own link to another user's link") << "foreign chain" << "ссылка другого пользователя";
}

// A save replaces a file, and a link is followed only to a file of the
// user's own: a link another user planted in a folder both can write must
// not make a save (run by root from cron) write anywhere else. Exports and
// projects alike.
void TestSaving::exportTargets()
{
    QFETCH(QString, setup);
    QFETCH(QString, refusal);
    const bool foreign = setup.startsWith(QLatin1String("foreign"));
#ifdef Q_OS_UNIX
    const passwd *nobody = ::getpwnam("nobody");
    if (foreign && (::geteuid() != 0 || !nobody))
        QSKIP("needs root and the user nobody to make another user's files");
#else
    // Making a symbolic link takes a privilege there; the rules are the same
    // code on every system.
    Q_UNUSED(foreign)
    if (setup != QLatin1String("file"))
        QSKIP("symbolic links are made only by the Linux suite");
#endif

    Model model;
    QVERIFY(model.AddFile(Feed("f.csv", {"name;categoryId", "a;X"})));
    QDir dir(m_dir->path());
    QVERIFY(dir.mkpath("elsewhere/folder"));
    const QString real = WriteBytes(dir, "elsewhere/real.csv", "old\r\n");
    const QString out = dir.filePath("out.csv");
    const auto link = [](const char *to, const QString &at) {
#ifdef Q_OS_UNIX
        return ::symlink(to, QFile::encodeName(at).constData()) == 0;
#else
        Q_UNUSED(to)
        Q_UNUSED(at)
        return false;
#endif
    };
    if (setup == "file")
        WriteBytes(dir, "out.csv", "old\r\n");
    else if (setup == "link" || setup == "foreign link" || setup == "foreign file")
        QVERIFY(link("elsewhere/real.csv", out));
    else if (setup == "chain" || setup == "foreign chain")
        QVERIFY(link("mid.csv", out) && link("elsewhere/real.csv", dir.filePath("mid.csv")));
    else if (setup == "dangling")
        QVERIFY(link("elsewhere/missing.csv", out));
    else if (setup == "folder")
        QVERIFY(link("elsewhere/folder", out));
    const QString owned = setup == "foreign link" ? out : setup == "foreign chain" ? dir.filePath("mid.csv")
                                                                                  : real;
#ifdef Q_OS_UNIX
    if (foreign)
        QCOMPARE(::lchown(QFile::encodeName(owned).constData(), nobody->pw_uid, nobody->pw_gid), 0);
#else
    Q_UNUSED(owned)
#endif
    const QString written = QFileInfo(out).isSymLink() ? real : out;
    const QStringList before = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);

    for (const bool project : {false, true}) {
        QString error;
        const bool saved = project ? model.SaveProject(out, &error) : model.SaveToFile(out);
        if (!project)
            error = model.LastError();
        QCOMPARE(saved, refusal.isEmpty());
        QCOMPARE(QFileInfo(out).isSymLink(), setup != "file");
        if (saved) {
            QVERIFY(ReadBytes(written).startsWith(project ? "<?xml" : "name;categoryId"));
        } else {
            QVERIFY2(error.contains(QRegularExpression(refusal)) && error.contains("out.csv"), qPrintable(error));
            QCOMPARE(ReadBytes(real), QByteArray("old\r\n"));
            QVERIFY(!QFileInfo::exists(dir.filePath("elsewhere/missing.csv")));
        }
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System), before);
        QCOMPARE(QDir(dir.filePath("elsewhere")).entryList(QDir::Files | QDir::Hidden), QStringList{"real.csv"});
    }
}

void TestSaving::longCategoryNames()
{
    // Paths longer than a file name can hold are cut on a character's
    // boundary; a digest of the whole keeps names that begin alike apart.
    const QString longName = QString(100, QChar(0x0416)); // "Ж", two bytes each
    Model model;
    QVERIFY(model.AddFile(Feed("f.csv", {"name;categoryId", "a;" + longName + "/" + longName + "/Один",
                                         "b;" + longName + "/" + longName + "/Два", "c;Short"})));
    const QString folder = m_dir->filePath("cats");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY2(model.SaveToFilesByCats(folder), qPrintable(model.LastError()));
    const QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    QCOMPARE(files.size(), 3);
    QVERIFY(files.contains("f-Short.csv"));
    QStringList rows;
    for (const QString &name : files) {
        QVERIFY2(name.toUtf8().size() <= 255 && name.endsWith(".csv"), qPrintable(name));
        QCOMPARE(QString::fromUtf8(name.toUtf8()), name); // whole characters only
        rows << Column(ReadCsv(folder + "/" + name), "name");
    }
    rows.sort();
    QCOMPARE(rows, (QStringList{"a", "b", "c"}));

    // A single export under a name close to the limit: its partial file,
    // which carries more than the name, fits too.
    const QString nearLimit = m_dir->filePath(QString(125, QChar(0x0416)) + ".csv");
    QVERIFY2(model.SaveToFile(nearLimit), qPrintable(model.LastError()));
    QCOMPARE(ReadCsv(nearLimit).size(), 4);
}

void TestSaving::namesEverySystemTakes()
{
    // A category's file is named the same on every system, so that an export
    // made on Linux and one made on Windows match: characters and names that
    // Windows refuses are mapped, and names they make meet are kept apart.
    Model model;
    QVERIFY(model.AddFile(Feed("m.csv", {"name;categoryId", "a;a:b", "b;a_b", "c;Sale.", "d;x|y?", "e;PRN"})));
    const QString folder = m_dir->filePath("cats");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY2(model.SaveToFilesByCats(folder), qPrintable(model.LastError()));
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{"m-PRN.csv", "m-Sale_.csv", "m-a_b (2).csv", "m-a_b.csv", "m-x_y_.csv"}));
    QCOMPARE(Column(ReadCsv(folder + "/m-a_b (2).csv"), "name"), QStringList{"b"});
    QCOMPARE(model.Warnings().size(), 1);

    // A device name alone.
    Model device;
    QVERIFY(device.AddFile(Feed("d.csv", {"name;categoryId", "a;Con"})));
    const QString alone = m_dir->filePath("alone");
    QVERIFY(QDir().mkpath(alone));
    QVERIFY2(device.SaveToFilesByCats(alone), qPrintable(device.LastError()));
    QCOMPARE(QDir(alone).entryList(QDir::Files | QDir::Hidden), QStringList{"Con_.csv"});
}

void TestSaving::failurePartWayKeepsTheFolder()
{
    // The third category's file cannot be made: the files before it were
    // written, but none replaces its old file, and none is left half made.
    Model model;
    QVERIFY(model.AddFile(Feed("f.csv", {"name;categoryId", "a;A", "b;B", "c;C"})));
    QDir folder(m_dir->filePath("cats"));
    QVERIFY(folder.mkpath("f-C.csv"));
    WriteBytes(folder, "f-A.csv", "old A\r\n");
    QVERIFY(!model.SaveToFilesByCats(folder.path()));
    QVERIFY2(model.LastError().contains("f-C.csv"), qPrintable(model.LastError()));
    QCOMPARE(folder.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
             (QStringList{"f-A.csv", "f-C.csv"}));
    QCOMPARE(ReadBytes(folder.filePath("f-A.csv")), QByteArray("old A\r\n"));

    // Every file error carries the system's reason.
    QVERIFY(!model.SaveToFilesByCats(m_dir->filePath("absent")));
#ifdef Q_OS_UNIX
    QVERIFY2(model.LastError().contains(QString::fromLocal8Bit(std::strerror(ENOENT))), qPrintable(model.LastError()));
#else
    QVERIFY2(model.LastError().contains(QLatin1String(": ")), qPrintable(model.LastError()));
#endif
}

void TestSaving::readersAreBoundOnlyWhileSaving()
{
    Model model;
    QVERIFY(model.AddFile(Feed("f.csv", {"name;categoryId", "a;X"})));
    Good *good = model.Root().FirstGood();

    // While a save runs on a worker, other threads get empty rows. The
    // threads are joined (not QThread::wait()) so that ThreadSanitizer sees
    // what they hand over.
    struct Probe final : IProgress
    {
        Good *good;
        QStringList seenElsewhere{"unset"};
        bool Report(int current, int, const QString &) override
        {
            if (current == 0)
                std::thread([this]() { seenElsewhere = good->Row(); }).join();
            return true;
        }
    } probe;
    probe.good = good;
    bool saved = false;
    const QString out = m_dir->filePath("bound.csv");
    std::thread([&]() { saved = model.SaveToFile(out, nullptr, nullptr, nullptr, &probe); }).join();
    QVERIFY(saved);
    QVERIFY(probe.seenElsewhere.isEmpty());
    QCOMPARE(good->Name(good->Row()), QStringLiteral("a"));

    RecordingProgress cancelled(1);
    QVERIFY(!model.SaveToFile(out, nullptr, nullptr, nullptr, &cancelled));
    QStringList afterCancel;
    std::thread([&]() { afterCancel = good->Row(); }).join();
    QCOMPARE(afterCancel.value(0), QStringLiteral("a"));
}

void TestSaving::failedWritesAreReported()
{
    if (!QFileInfo::exists("/dev/full"))
        QSKIP("needs /dev/full");
    QStringList lines{"name;categoryId"};
    for (int i = 0; i < 20; ++i)
        lines << QStringLiteral("n%1;X").arg(i);
    Model model;
    QVERIFY(model.AddFile(Feed("f.csv", lines)));
    QVERIFY(!model.SaveToFile("/dev/full"));
    QVERIFY(model.LastError().contains("/dev/full"));
}

void TestSaving::copiedCellsMatchDecodedCells()
{
    // The CSV writer copies cells as bytes; any other writer gets decoded
    // text. Both must write the same rows.
    QFile file(m_dir->filePath("mixed.csv"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("name;descr;categoryId\r\n"
               "\"a;b\";\"x\"\"y\"\"\";X\r\n"
               "broken \xff\xfe;\"line\nbreak\";X\r\n"
               "\xEF\xBB\xBFmark;cr\rhere;X\r\n"
               "\"\";plain;X\r\n");
    file.close();
    Model model;
    QVERIFY(model.AddFile(file.fileName()));
    const QStringList header{"descr", "name", "categoryId"};
    const QString out = m_dir->filePath("copied.csv");
    QVERIFY(model.SaveToFile(out, nullptr, &header));
    ListWriter decoded;
    QVERIFY(model.WriteGoods(&decoded, header, true, nullptr, nullptr, nullptr, true));
    QCOMPARE(ReadCsv(out), decoded.rows);
    QCOMPARE(decoded.rows.size(), 5);

    // With the feed's own columns a row is copied whole: byte for byte what
    // the writer makes of the decoded row, whatever quoting the feed used.
    QFile same(m_dir->filePath("same.csv"));
    QVERIFY(same.open(QIODevice::WriteOnly));
    same.write("name;descr;categoryId\r\n"
               "plain;text;X\r\n"
               "\"needs;quotes\";\"x\"\"y\";X\r\n"
               "\"quoted for nothing\";\"\";X\r\n"
               "a\rb;lone cr;X\r\n"
               "broken \xff;ok;X\r\n"
               "\"half\"quoted;\"line\nbreak\";Y\r\n");
    same.close();
    Model whole;
    QVERIFY(whole.AddFile(same.fileName()));
    const QStringList columns{"name", "descr", "categoryId"};
    const QString copied = m_dir->filePath("copied-whole.csv");
    QVERIFY(whole.SaveToFile(copied, nullptr, &columns));
    ListWriter rows;
    QVERIFY(whole.WriteGoods(&rows, columns, true, nullptr, nullptr, nullptr, true));
    const QString rewritten = m_dir->filePath("rewritten.csv");
    {
        std::unique_ptr<IWriter> writer(CreateCsvWriter(rewritten));
        for (const QStringList &row : qAsConst(rows.rows))
            writer->WriteRow(row);
    }
    QCOMPARE(rows.rows.size(), 7);
    QCOMPARE(ReadBytes(copied), ReadBytes(rewritten));
}

QTEST_GUILESS_MAIN(TestSaving)
#include "tst_saving.moc"
