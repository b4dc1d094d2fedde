#include <QTemporaryDir>
#include <QtTest>

#include "catmodel.h"
#include "defaultgoodqueryobject.h"
#include "digestmap.h"
#include "duplicateremover.h"
#include "feedfile.h"
#include "good.h"
#include "model.h"
#include "recordingprogress.h"
#include "source.h"

class TestDuplicateRemover : public QObject
{
    Q_OBJECT

private slots:
    void survivors_data();
    void survivors();
    void urlsOfBadBytesReadAlike();
    void progressCountsAndCancel();
    void emptyCatalogue();
    void largeFeedReadOnTwoThreads();
    void keysCrowdingIntoOnePart();
    void keysWrappingPastTheTableEnd();

private:
    QTemporaryDir m_dir;
};

static QStringList Remaining(Model &model)
{
    QList<Good *> goods;
    DefaultGoodQueryObject query(&goods);
    model.Root().QueryGoods(&query, nullptr, true);
    QStringList names;
    for (const Good *good : qAsConst(goods))
        names << good->Name(good->Row());
    return names;
}

void TestDuplicateRemover::survivors_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("remaining");

    QTest::newRow("same url in one category: the first stays")
            << QStringList{"name;url;categoryId", "a;u1;X", "b;u2;X", "c;u1;X"} << QStringList{"a", "b"};
    QTest::newRow("three alike: two go")
            << QStringList{"name;url;categoryId", "a;u;X", "b;u;X", "c;u;X", "d;v;X"} << QStringList{"a", "d"};
    QTest::newRow("the parent's good stays")
            << QStringList{"name;url;categoryId", "child;u;X/Y", "parent;u;X"} << QStringList{"parent"};
    QTest::newRow("goods without url, id and name are never duplicates")
            << QStringList{"descr;categoryId", "same;X", "same;X"} << QStringList{QString(), QString()};
    QTest::newRow("same id of two offers is not a duplicate")
            << QStringList{"name;id;advcampaign_name;categoryId", "a;7;S1;X", "b;7;S2;X", "c;7;S1;X"}
            << QStringList{"a", "b"};
    QTest::newRow("same url of two offers is")
            << QStringList{"name;url;advcampaign_name;categoryId", "a;u;S1;X", "b;u;S2;X"} << QStringList{"a"};
    QTest::newRow("a row's own template")
            << QStringList{"name;id;idTpl;categoryId", "a;1;[n];X", "a;2;[n];X", "b;3;[i]-[p];X", "b;3;[i]-[p];X"}
            << QStringList{"a", "b", "b"};
}

void TestDuplicateRemover::survivors()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, remaining);
    // The digests of the load and those of the rows read again agree.
    for (const bool keepDigests : {true, false}) {
        Model model;
        QVERIFY(model.AddFile(WriteFeed(QDir(m_dir.path()), "feed.csv", lines)));
        if (!keepDigests)
            model.Sources().first().digests = Source::Digests();
        QVERIFY(model.RemoveDuplicates());
        QCOMPARE(Remaining(model), remaining);
        for (const CatModel *node : model.Root().Descendants(true)) {
            for (const Good *good : node->goods)
                QCOMPARE(good->category, node);
        }
    }
}

void TestDuplicateRemover::urlsOfBadBytesReadAlike()
{
    // Bytes that are not UTF-8 read as replacement characters, so these
    // urls are one, whether the load digested them (its rows' UTF-8 known
    // from the scan) or the rows are read again.
    const QByteArray bytes("name;url;categoryId\n"
                           "a;u\xFF;X\n"
                           "b;u\xFE;X\n"
                           "c;u\xEF\xBF\xBD;X\n"
                           "d;v;X\n");
    for (const bool keepDigests : {true, false}) {
        Model model;
        QVERIFY(model.AddFile(WriteBytes(QDir(m_dir.path()), "bad.csv", bytes)));
        if (!keepDigests)
            model.Sources().first().digests = Source::Digests();
        QVERIFY(model.RemoveDuplicates());
        QCOMPARE(Remaining(model), (QStringList{"a", "d"}));
    }
}

void TestDuplicateRemover::progressCountsAndCancel()
{
    Model model;
    QVERIFY(model.AddFile(WriteFeed(QDir(m_dir.path()), "feed.csv",
                                    {"name;url;categoryId", "a;u;X", "b;u;X", "c;u;X", "d;v;X/Y", "e;v;Z"})));
    DuplicateRemover remover;
    RecordingProgress progress;
    QVERIFY(remover.Run(&model.Root(), &progress));
    // One report per category that holds goods, with the running count.
    QCOMPARE(progress.reports, (QStringList{"0/0 Удаление дублей. Обработано 3 товаров",
                                            "0/0 Удаление дублей. Обработано 4 товаров",
                                            "0/0 Удаление дублей. Обработано 5 товаров"}));
    QCOMPARE(remover.processedCount, 5);
    QCOMPARE(remover.removedCount, qint64(3)); // b, c and e
    QCOMPARE(remover.seenKeys.Size(), 2);
    RowHasher digest;
    digest.Add(QByteArray("u"));
    const Good *survivor = remover.seenKeys.Value(digest.Result());
    QVERIFY(survivor);
    QCOMPARE(survivor->Name(survivor->Row()), QStringLiteral("a"));

    // A cancel lets the walk finish but says so.
    Model again;
    QVERIFY(again.AddFile(WriteFeed(QDir(m_dir.path()), "feed2.csv",
                                    {"name;url;categoryId", "a;u;X", "b;u;X", "c;v;Z", "d;v;Z"})));
    RecordingProgress cancelling(1);
    QVERIFY(!again.RemoveDuplicates(&cancelling));
    QCOMPARE(Remaining(again), (QStringList{"a", "c"}));
    QVERIFY(!again.LastError().isEmpty());
}

void TestDuplicateRemover::emptyCatalogue()
{
    Model model;
    RecordingProgress progress;
    QVERIFY(model.RemoveDuplicates(&progress));
    QVERIFY(progress.reports.isEmpty());
}

void TestDuplicateRemover::largeFeedReadOnTwoThreads()
{
    // Enough goods that both processors digest them and fill the table of
    // keys at once; the walk (category X, then Y) runs across the file's
    // order, so the first good of a key in the walk is often not the first
    // in the file.
    // Rows long enough that the feed and the base each come in several
    // batches, so that the stream's thread looks base rows up while the
    // loader marks the goods of the batch before.
    QStringList lines{"name;url;categoryId;description"};
    const QString text(300, QLatin1Char('d'));
    QStringList inX;
    QStringList inY;
    QSet<int> seen;
    for (int i = 0; i < 30000; ++i) {
        const int key = (i * 37) % 10000;
        const bool x = i % 3 != 1; // the first row makes X the first category
        lines << QStringLiteral("n%1;u%2;%3;%4").arg(i).arg(key).arg(x ? "X" : "Y", text);
        (x ? inX : inY) << QStringLiteral("%1:%2").arg(key).arg(i);
    }
    QStringList expected;
    QStringList survivingRows{lines.first()};
    for (const QString &entry : inX + inY) {
        const int key = entry.section(QLatin1Char(':'), 0, 0).toInt();
        if (!seen.contains(key)) {
            seen.insert(key);
            const int row = entry.section(QLatin1Char(':'), 1).toInt();
            expected << QStringLiteral("n%1").arg(row);
            survivingRows << lines.at(row + 1);
        }
    }
    const QString feed = WriteFeed(QDir(m_dir.path()), "big.csv", lines);
    // With the load's digests, and with every row read again in stretches.
    for (const bool keepDigests : {true, false}) {
        Model model;
        QVERIFY(model.AddFile(feed));
        if (!keepDigests)
            model.Sources().first().digests = Source::Digests();
        QVERIFY(model.RemoveDuplicates());
        QCOMPARE(Remaining(model), expected);
    }
    // Before a base the same survivors are matched, by their keys and their
    // cells: a base of exactly their rows leaves nothing.
    Model model;
    QVERIFY(model.AddFile(feed));
    QVERIFY(model.AddFile(WriteFeed(QDir(m_dir.path()), "big_base.csv", survivingRows), true));
    QCOMPARE(Remaining(model), QStringList());
    QCOMPARE(model.BaseRows(), qint64(10000));
}

void TestDuplicateRemover::keysCrowdingIntoOnePart()
{
    // Keys that all fall into one part of the map, as two threads fill it
    // each with its own part's keys: that part grows by itself while the
    // other stays as reserved, and every key stays findable, its cells too.
    DigestMap map;
    map.KeepCells();
    map.Reserve(1000);
    Good goods[2];
    const auto keyOf = [](quint64 i, int part) {
        RowHash key;
        key.a = i * 0x9E3779B97F4A7C15ull;
        key.b = (quint64(part) << 63) | i;
        return key;
    };
    for (int part : {1, 0}) {
        const int count = part == 1 ? 5000 : 10;
        for (int i = 0; i < count; ++i) {
            bool inserted = false;
            DigestMap::Entry *entry = map.InsertInPart(part, keyOf(quint64(i), part), &goods[part], &inserted);
            QVERIFY(inserted);
            map.Cells(entry).a = quint64(i);
        }
    }
    QCOMPARE(map.Size(), 5010);
    for (int part : {0, 1}) {
        for (int i = 0; i < (part == 1 ? 5000 : 10); ++i) {
            DigestMap::Entry *entry = map.Find(keyOf(quint64(i), part));
            QVERIFY(entry);
            QCOMPARE(entry->Value(), &goods[part]);
            QCOMPARE(map.Cells(entry).a, quint64(i));
        }
    }
    bool inserted = true;
    QCOMPARE(map.Insert(keyOf(7, 1), &goods[0], &inserted)->Value(), &goods[1]);
    QVERIFY(!inserted);
}

void TestDuplicateRemover::keysWrappingPastTheTableEnd()
{
    // Keys whose probes all begin at a part's last slot go on from its
    // first: each stays findable, a key that is not there is told so, and
    // the same holds once the part has grown past its reserve and moved
    // every key.
    DigestMap map;
    map.Reserve(100);
    Good good;
    const auto keyOf = [](quint64 i) {
        RowHash key;
        key.a = ~quint64(0) - i; // the top of the range: the last slot
        key.b = i;               // part 0
        return key;
    };
    for (const int count : {60, 400}) {
        for (int i = 0; i < count; ++i) {
            bool inserted = false;
            map.Insert(keyOf(quint64(i)), &good, &inserted);
            QCOMPARE(inserted, i >= 60 || count == 60);
        }
        QCOMPARE(map.Size(), count);
        for (int i = 0; i < count; ++i)
            QVERIFY(map.Find(keyOf(quint64(i))));
        QVERIFY(!map.Find(keyOf(quint64(count))));
    }
}

QTEST_GUILESS_MAIN(TestDuplicateRemover)
#include "tst_duplicateremover.moc"
