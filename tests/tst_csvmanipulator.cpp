#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <limits>
#include <memory>

#include "csvmanipulator.h"
#include "csvrowparser.h"
#include "csvrowscanner.h"

using Rows = QList<QStringList>;

class TestCsvManipulator : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void reading_data();
    void reading();
    void offsetsFindRowsAgain_data();
    void offsetsFindRowsAgain();
    void repeatedOffsetIsCached();
    void roundTrip();
    void invalidUtf8KeepsByteOffsets();
    void byteOrderMarkIsSkipped();
    void ownerThreadRefusesOthers();
    void badInput_data();
    void badInput();
    void veryLongRowIsReadWhole();
    void fieldsOverTheLimit_data();
    void fieldsOverTheLimit();
    void fileCutWhileOpenGivesEmptyRows();
    void rawScanAgreesWithDecodedRows();
    void utf8ValidationAgrees();
    void blockScanAgreesWithRowParser();
    void prices_data();
    void prices();
    void convertToCsvCopiesAnyReader();
    void realFeeds_data();
    void realFeeds();

private:
    QString WriteFile(const QByteArray &bytes);
    std::unique_ptr<QTemporaryDir> m_dir;
    int m_files = 0;
};

void TestCsvManipulator::init()
{
    m_dir.reset(new QTemporaryDir);
    QVERIFY(m_dir->isValid());
}

QString TestCsvManipulator::WriteFile(const QByteArray &bytes)
{
    const QString path = m_dir->filePath(QStringLiteral("feed%1.csv").arg(++m_files));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write test file");
    return path;
}

// Reads every row, noting the offset at which each begins.
static Rows ReadWithOffsets(IReader *reader, QList<qint64> *offsets)
{
    Rows rows;
    for (;;) {
        const qint64 offset = reader->Position();
        const QStringList row = reader->NextRow();
        if (row.isEmpty())
            return rows;
        offsets->append(offset);
        rows.append(row);
    }
}

static Rows ReadAll(IReader *reader)
{
    Rows rows;
    for (QStringList row = reader->NextRow(); !row.isEmpty(); row = reader->NextRow())
        rows.append(row);
    return rows;
}

void TestCsvManipulator::reading_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<int>("skipped"); // lines of malformed records passed over

    const QStringList h3{"id", "name", "price"};
    QTest::newRow("separator inside quotes")
            << QByteArray("id;name;price\r\n1;\"Кофта; синяя\";100\r\n") << h3
            << Rows{{"1", "Кофта; синяя", "100"}} << 0;
    QTest::newRow("doubled quotes") << QByteArray("id;name;price\r\n1;\"a\"\"b\"\"c\";2\r\n") << h3
                                    << Rows{{"1", "a\"b\"c", "2"}} << 0;
    QTest::newRow("line breaks inside quotes")
            << QByteArray("id;name;price\r\n1;\"a\nb\r\nc\";2\r\n3;d;4\r\n") << h3
            << Rows{{"1", "a\nb\r\nc", "2"}, {"3", "d", "4"}} << 0;
    QTest::newRow("quoted section in the middle of a field")
            << QByteArray("x\nab\"c;d\"e\n") << QStringList{"x"} << Rows{{"abc;de"}} << 0;
    QTest::newRow("lone carriage return is a character")
            << QByteArray("id;name;price\n1;a\rb;2\n") << h3 << Rows{{"1", "a\rb", "2"}} << 0;
    QTest::newRow("carriage return before a quote")
            << QByteArray("id;name;price\n1;a\r\"q\";2\n") << h3 << Rows{{"1", "a\rq", "2"}} << 0;
    QTest::newRow("lf line ends") << QByteArray("id;name;price\n1;a;2\n3;b;4\n") << h3
                                  << Rows{{"1", "a", "2"}, {"3", "b", "4"}} << 0;
    QTest::newRow("a row with too many fields is passed over")
            << QByteArray("id;name;price\n1;a;2\n1;a;2;3\n4;b;5\n") << h3 << Rows{{"1", "a", "2"}, {"4", "b", "5"}}
            << 1;
    QTest::newRow("blank lines are passed over") << QByteArray("id;name;price\n1;a;2\n\n\r\n4;b;5\n\n") << h3
                                                 << Rows{{"1", "a", "2"}, {"4", "b", "5"}} << 0;
    QTest::newRow("carriage returns alone end the lines")
            << QByteArray("id;name;price\r1;\"a\rb\";2\r3;b;4\r") << h3 << Rows{{"1", "a\rb", "2"}, {"3", "b", "4"}}
            << 0;
    QTest::newRow("trailing empty field without line end is dropped")
            << QByteArray("id;name;price\n1;x;") << h3 << Rows{} << 1;
    QTest::newRow("trailing empty field with line end is kept")
            << QByteArray("id;name;price\n1;x;\n") << h3 << Rows{{"1", "x", QString()}} << 0;
    QTest::newRow("last row without line end") << QByteArray("id;name;price\r\n1;x;2") << h3
                                               << Rows{{"1", "x", "2"}} << 0;
    QTest::newRow("a quote that never closes costs its line")
            << QByteArray("id;name;price\n1;a;2\n3;\"b;4\n5;c;6\n7;\"\"d\"\";8\n") << h3
            << Rows{{"1", "a", "2"}, {"5", "c", "6"}, {"7", "d", "8"}} << 1;
    QTest::newRow("a quote left open in the last row, of the right shape")
            << QByteArray("a;b\n1;x\n2;\"y") << QStringList{"a", "b"} << Rows{{"1", "x"}} << 1;
    QTest::newRow("a stray quote that spans rows into too many fields costs its lines one by one")
            << QByteArray("id;name;price\r\n\"1;a;2\r\n3;b;4\r\n5;c\";6;x;y\r\n7;d;8\r\n") << h3
            << Rows{{"3", "b", "4"}, {"7", "d", "8"}} << 2;
    QTest::newRow("a stray quote that spans rows into the right shape makes one row")
            << QByteArray("id;name;price\n1;\"a;2\n3;b\";4\n5;c;6\n") << h3 << Rows{{"1", "a;2\n3;b", "4"}, {"5", "c", "6"}}
            << 0;
    QTest::newRow("character after a closing quote at the end of the file")
            << QByteArray("a;b\n1;\"x\"y") << QStringList{"a", "b"} << Rows{{"1", "xy"}} << 0;
    QTest::newRow("byte-order marks inside a cell, before a malformed byte")
            << QByteArray("a;b\n1;\xEF\xBB\xBF\xEF\xBB\xBF\xFF\n") << QStringList{"a", "b"}
            << Rows{{"1", QString(QChar(0xFEFF)) + QChar(0xFEFF) + QChar(0xFFFD)}} << 0;
    // Each malformed sequence is one replacement character, whichever Qt
    // the program is built with: the longest start of a well-formed
    // sequence (E2 82, F0 9F 98 cut by the cell's end), or a single byte.
    QTest::newRow("malformed UTF-8, one replacement per longest well-formed start")
            << QByteArray("a;b\n1;\xE2\x82" "A\xC0\xAF\xED\xA0\x80\xF0\x9F\x98\n") << QStringList{"a", "b"}
            << Rows{{"1", QString(QChar(0xFFFD)) + "A" + QString(6, QChar(0xFFFD))}} << 0;
    QTest::newRow("empty quoted field before the final line end")
            << QByteArray("a;b\n1;\"\"\n") << QStringList{"a", "b"} << Rows{{"1", QString()}} << 0;
}

void TestCsvManipulator::reading()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, header);
    QFETCH(Rows, rows);
    QFETCH(int, skipped);

    std::unique_ptr<CsvManipulator> reader(OpenCsvReader(WriteFile(bytes)));
    QVERIFY(reader);
    QCOMPARE(reader->Header(), header);
    QList<qint64> offsets;
    const Rows read = ReadWithOffsets(reader.get(), &offsets);
    QCOMPARE(read, rows);
    for (const QStringList &row : read) {
        for (const QString &cell : row)
            QCOMPARE(cell.isNull(), cell.isEmpty()); // an empty cell reads as null
    }
    // The random reads agree with the in-order read: a row read again by its
    // offset, a skipped line as no row.
    QCOMPARE(reader->SkippedRows(), qint64(skipped));
    for (int i = 0; i < read.size(); ++i)
        QCOMPARE(reader->RowAt(offsets.at(i)), read.at(i));
    // A cell read by itself, its row looked at only up to it, is the cell
    // of the whole row (where the feed is mapped; a build that reads feeds
    // without mappings reads rows whole instead).
    CsvRawRow raw;
    QByteArray cell;
    for (int i = 0; i < read.size() && reader->IsMapped(); ++i) {
        for (int column = 0; column < header.size(); ++column) {
            QVERIFY(reader->ReadMappedCell(offsets.at(i), column, raw, cell));
            QCOMPARE(CsvRawRow::Decoded(cell.constData(), cell.size()), read.at(i).at(column));
        }
    }
    for (const qint64 line : reader->FirstSkipped()) {
        QVERIFY(line == 0 || bytes.at(int(line) - 1) == '\n' || bytes.at(int(line) - 1) == '\r');
        QVERIFY(reader->RowAt(line).isEmpty());
    }
}

void TestCsvManipulator::offsetsFindRowsAgain_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("cyrillic and quoted breaks")
            << QByteArray("id;name;descr\r\n1;Кофта;\"Строка\r\nдругая; и \"\"третья\"\"\"\r\n"
                          "2;Сапоги;\"я\nя\"\r\n3;Ёж;ёё\r\n");
    QTest::newRow("four-byte characters") << QByteArray("a;b\n😀;x\n🙂🙂;\"y\n\"\nz;w\n");
}

void TestCsvManipulator::offsetsFindRowsAgain()
{
    QFETCH(QByteArray, bytes);
    std::unique_ptr<IReader> reader(OpenCsvReader(WriteFile(bytes)));
    QVERIFY(reader);
    QList<qint64> offsets;
    const Rows rows = ReadWithOffsets(reader.get(), &offsets);
    QVERIFY(rows.size() >= 3);
    // Offsets are true byte offsets: the row starts right there in the file.
    for (int i = 1; i < offsets.size(); ++i)
        QCOMPARE(bytes.at(int(offsets.at(i)) - 1), '\n');
    for (int i = offsets.size() - 1; i >= 0; --i)
        QCOMPARE(reader->RowAt(offsets.at(i)), rows.at(i));
}

void TestCsvManipulator::repeatedOffsetIsCached()
{
    const QString path = WriteFile("a;b\n1;old\n2;x\n");
    std::unique_ptr<IReader> reader(OpenCsvReader(path));
    QVERIFY(reader);
    const qint64 first = reader->Position();
    QCOMPARE(reader->RowAt(first), (QStringList{"1", "old"}));
    {
        QFile same(path);
        QVERIFY(same.open(QIODevice::ReadWrite));
        same.seek(first);
        same.write("3;new\n4;y\n");
    }
    // The same offset again is answered from the cached row, not the file.
    QCOMPARE(reader->RowAt(first), (QStringList{"1", "old"}));
    std::unique_ptr<IReader> fresh(OpenCsvReader(path));
    QCOMPARE(fresh->RowAt(first), (QStringList{"3", "new"}));
}

void TestCsvManipulator::roundTrip()
{
    const QStringList header{"plain", "tricky"};
    const QStringList values{
        QString(), "a\"b\"c", "x;y", "line\nbreak", "cr\rlf\r\n", "\"", "\"\"", " spaced ", "Кириллица ёЁ", "😀 emoji",
        ";", "\"quoted; and\nbroken\"",
    };
    const QString path = m_dir->filePath("written.csv");
    {
        std::unique_ptr<IWriter> writer(CreateCsvWriter(path));
        QVERIFY(writer);
        writer->WriteHeader(header);
        for (const QString &value : values)
            writer->WriteRow(QStringList{"v", value});
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    QVERIFY(!written.startsWith("\xEF\xBB\xBF"));
    QVERIFY(written.startsWith("plain;tricky\r\n"));
    QVERIFY(written.contains("v;\"a\"\"b\"\"c\"\r\n"));
    QVERIFY(written.contains("v;\"x;y\"\r\n"));
    QVERIFY(written.contains("v; spaced \r\n"));

    std::unique_ptr<IReader> reader(OpenCsvReader(path));
    QVERIFY(reader);
    QCOMPARE(reader->Header(), header);
    const Rows rows = ReadAll(reader.get());
    QCOMPARE(rows.size(), values.size());
    for (int i = 0; i < values.size(); ++i)
        QCOMPARE(rows.at(i).at(1), values.at(i));
}

void TestCsvManipulator::invalidUtf8KeepsByteOffsets()
{
    const QByteArray bytes("a;b\n1;x\xff\xfe\xc3y\n2;\xd0\xaf\n3;z\n");
    std::unique_ptr<IReader> reader(OpenCsvReader(WriteFile(bytes)));
    QVERIFY(reader);
    const QStringList first = reader->NextRow();
    QCOMPARE(first.at(0), QStringLiteral("1"));
    QVERIFY(first.at(1).startsWith(QLatin1Char('x')));
    QVERIFY(first.at(1).contains(QChar(0xFFFD)));
    QVERIFY(first.at(1).endsWith(QLatin1Char('y')));
    const qint64 second = reader->Position();
    QCOMPARE(second, qint64(bytes.indexOf("2;")));
    QCOMPARE(reader->NextRow(), (QStringList{"2", "Я"}));
    const qint64 third = reader->Position();
    QCOMPARE(reader->NextRow(), (QStringList{"3", "z"}));
    QCOMPARE(reader->RowAt(second), (QStringList{"2", "Я"}));
    QCOMPARE(reader->RowAt(third), (QStringList{"3", "z"}));
}

void TestCsvManipulator::byteOrderMarkIsSkipped()
{
    const QByteArray bytes("\xEF\xBB\xBFid;name\r\n1;a\r\n");
    std::unique_ptr<IReader> reader(OpenCsvReader(WriteFile(bytes)));
    QVERIFY(reader);
    QCOMPARE(reader->Header(), (QStringList{"id", "name"}));
    const qint64 offset = reader->Position();
    QCOMPARE(offset, qint64(3 + 9));
    QCOMPARE(reader->NextRow(), (QStringList{"1", "a"}));
    QCOMPARE(reader->RowAt(offset), (QStringList{"1", "a"}));
    QCOMPARE(reader->RowAt(0), (QStringList{"id", "name"}));
}

void TestCsvManipulator::ownerThreadRefusesOthers()
{
    std::unique_ptr<CsvManipulator> reader(OpenCsvReader(WriteFile("a;b\n1;2\n3;4\n")));
    QVERIFY(reader);
    const qint64 offset = reader->Position();
    QThread other;
    reader->SetOwnerThread(&other);
    QVERIFY(reader->RowAt(offset).isEmpty());
    QVERIFY(reader->NextRow().isEmpty());
    QVERIFY(!reader->ScanAt(offset));
    QCOMPARE(reader->Position(), offset); // a refused read leaves the position alone

    QStringList readThere;
    std::atomic<bool> read{false}; // QThread::wait synchronises where the thread checker cannot see
    QThread *worker = QThread::create([&]() {
        readThere = reader->RowAt(offset);
        read.store(true, std::memory_order_release);
    });
    reader->SetOwnerThread(worker);
    worker->start();
    QVERIFY(worker->wait(10000));
    QVERIFY(read.load(std::memory_order_acquire));
    delete worker;
    QCOMPARE(readThere, (QStringList{"1", "2"}));

    reader->SetOwnerThread(nullptr);
    QCOMPARE(reader->RowAt(offset), (QStringList{"1", "2"}));
}

void TestCsvManipulator::badInput_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("opens");
    QTest::addColumn<int>("rows");

    QTest::newRow("empty file") << QByteArray() << false << 0;
    QTest::newRow("empty first line") << QByteArray("\r\nid;name\r\n1;2\r\n") << false << 0;
    QTest::newRow("only a header") << QByteArray("id;name\r\n") << true << 0;
    QByteArray binary;
    for (int i = 0; i < 70000; ++i)
        binary.append(char((i * 7919 + 13) % 256));
    QTest::newRow("binary") << binary << true << -1;
    QTest::newRow("byte order mark alone") << QByteArray("\xEF\xBB\xBF") << false << 0;
    QTest::newRow("quote opening in the header") << QByteArray("\"id;name\n1;2\n") << false << 0;
}

void TestCsvManipulator::badInput()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, opens);
    QFETCH(int, rows);
    const QString path = WriteFile(bytes);
    std::unique_ptr<IReader> reader(OpenCsvReader(path));
    QCOMPARE(bool(reader), opens);
    if (!reader)
        return;
    const Rows read = ReadAll(reader.get());
    if (rows >= 0)
        QCOMPARE(read.size(), rows);
    QVERIFY(reader->Position() <= QFileInfo(path).size());
}

void TestCsvManipulator::veryLongRowIsReadWhole()
{
    // A row much larger than the reader's blocks, with and without a line end.
    const QByteArray big(8 * 1024 * 1024 + 17, 'x');
    const QByteArray bytes = "a;b\n1;" + big + "\n2;" + big;
    std::unique_ptr<IReader> reader(OpenCsvReader(WriteFile(bytes)));
    QVERIFY(reader);
    const qint64 first = reader->Position();
    QStringList row = reader->NextRow();
    QCOMPARE(row.size(), 2);
    QCOMPARE(row.at(1).size(), big.size());
    const qint64 second = reader->Position();
    row = reader->NextRow();
    QCOMPARE(row.size(), 2);
    QCOMPARE(row.at(0), QStringLiteral("2"));
    QCOMPARE(row.at(1).size(), big.size());
    QVERIFY(reader->NextRow().isEmpty());
    QCOMPARE(reader->RowAt(first).at(0), QStringLiteral("1"));
    QCOMPARE(reader->RowAt(second).at(1).size(), big.size());
}

void TestCsvManipulator::fieldsOverTheLimit_data()
{
    QTest::addColumn<int>("size");    // bytes of the second row's long field
    QTest::addColumn<bool>("quoted"); // quoted, with a line break every megabyte
    QTest::addColumn<int>("skipped"); // lines passed over; 0 when the row is read
    const int limit = int(CsvRowParser::kMaxField);
    QTest::newRow("a field of 64 MB is read") << limit << false << 0;
    QTest::newRow("one byte more is a malformed row") << limit + 1 << false << 1;
    // Its first line is skipped; each line after it, read as a record of
    // its own, has one field, and the last opens a quote that never closes.
    QTest::newRow("a quoted field of 65 lines over 64 MB") << limit + (1 << 20) << true << 65;
}

void TestCsvManipulator::fieldsOverTheLimit()
{
    QFETCH(int, size);
    QFETCH(bool, quoted);
    QFETCH(int, skipped);
    QByteArray field(size, 'x');
    if (quoted) {
        for (int i = 1 << 20; i < size - 1; i += 1 << 20)
            field[i] = '\n';
        field[0] = field[size - 1] = '"';
    }
    const QString path = WriteFile("a;b\n1;x\n2;" + field + "\n3;y\n");
    field.clear();
    const qint64 offset = 8;
    // The in-order read, and all three random reads (the last through the
    // file rather than its mapping).
    std::unique_ptr<CsvManipulator> reader(OpenCsvReader(path));
    QVERIFY(reader);
    QList<qint64> offsets;
    const Rows rows = ReadWithOffsets(reader.get(), &offsets);
    QCOMPARE(reader->SkippedRows(), qint64(skipped));
    QCOMPARE(rows.size(), skipped ? 2 : 3);
    QCOMPARE(rows.first(), (QStringList{"1", "x"}));
    QCOMPARE(rows.last(), (QStringList{"3", "y"}));
    if (skipped) {
        QCOMPARE(reader->FirstSkipped().front(), offset);
        QVERIFY(reader->RowAt(offset).isEmpty());
        QVERIFY(!reader->ScanAt(offset));
        QVERIFY(!reader->ReadAt(offset));
    } else {
        QCOMPARE(offsets.at(1), offset);
        QCOMPARE(rows.at(1).at(1).size(), size);
        QCOMPARE(reader->RowAt(offset).at(1).size(), size);
        QCOMPARE(reader->ScanAt(offset)->fields[1].size, size);
        QCOMPARE(reader->ReadAt(offset)->fields[1].size, size);
    }
    QCOMPARE(reader->RowAt(offsets.last()), (QStringList{"3", "y"}));
}

void TestCsvManipulator::fileCutWhileOpenGivesEmptyRows()
{
#ifdef __SANITIZE_THREAD__
    QSKIP("ThreadSanitizer ends the program on the bus error of a mapping whose file was cut, before its handler runs");
#endif
    QByteArray bytes("a;b\n");
    for (int i = 0; i < 5000; ++i)
        bytes.append(QByteArray::number(i) + ";" + QByteArray(60, 'x') + "\n");
    const QString path = WriteFile(bytes);
    std::unique_ptr<CsvManipulator> reader(OpenCsvReader(path));
    QVERIFY(reader);
    QList<qint64> offsets;
    QCOMPARE(ReadWithOffsets(reader.get(), &offsets).size(), 5000);
    // Another program cuts the feed to a few rows while it is loaded.
    QVERIFY(QFile::resize(path, offsets.at(10)));
    QCOMPARE(reader->RowAt(offsets.at(3)).value(0), QStringLiteral("3"));
    for (int i = 100; i < offsets.size(); i += 97) {
        QVERIFY(reader->RowAt(offsets.at(i)).isEmpty());
        QVERIFY(!reader->ScanAt(offsets.at(i)));
    }
}

void TestCsvManipulator::rawScanAgreesWithDecodedRows()
{
    const QByteArray bytes("id;name;descr\n1;\"Кофта; синяя\";\"a\"\"b\"\n2;;\"\"\n3;\"\"\"\";\xEF\xBB\xBFx\r\n");
    const QString path = WriteFile(bytes);
    std::unique_ptr<IReader> decoded(OpenCsvReader(path));
    std::unique_ptr<CsvManipulator> raw(OpenCsvReader(path));
    QVERIFY(decoded && raw);
    QList<qint64> offsets;
    const Rows rows = ReadWithOffsets(decoded.get(), &offsets);
    for (int r = 0; r < rows.size(); ++r) {
        const QStringList &row = rows.at(r);
        const CsvRawRow *scanned = raw->ScanAt(offsets.at(r));
        QVERIFY(scanned);
        QCOMPARE(scanned->Count(), row.size());
        for (int i = 0; i < row.size(); ++i) {
            QCOMPARE(scanned->Text(i), row.at(i));
            QCOMPARE(scanned->IsEmpty(i), row.at(i).isEmpty());
            QCOMPARE(scanned->Bytes(i), row.at(i).toUtf8());
        }
        QVERIFY(scanned->IsEmpty(-1));
        QVERIFY(scanned->Text(row.size()).isNull());
    }
    QCOMPARE(offsets.size(), 3);
    // Cells compare by their text, whatever quoting they were written with.
    const CsvRawRow first = *raw->ScanAt(offsets.at(0));
    const CsvRawRow *other = raw->ScanAt(offsets.at(1));
    QVERIFY(CsvRawRow::SameText(*other, 1, *other, 2)); // "" and empty
    QVERIFY(!CsvRawRow::SameText(*other, 0, *other, 1));
    Q_UNUSED(first)
}

void TestCsvManipulator::utf8ValidationAgrees()
{
    // The vector validation must answer exactly as the byte-at-a-time one:
    // every two-, three- and four-byte pattern at every place around the
    // 32-byte block edges, then random text built from UTF-8 pieces.
    const QByteArray filler(70, 'a');
    const QByteArray cyrillic = QStringLiteral("Привет мир, ёжик; ").toUtf8().repeated(4);
    int checked = 0;
    const auto check = [&](const QByteArray &bytes) {
        ++checked;
        const bool scalar = CsvRawRow::IsValidUtf8Scalar(bytes.constData(), bytes.size());
        const bool fast = CsvRawRow::IsValidUtf8(bytes.constData(), bytes.size());
        if (scalar != fast)
            QFAIL(qPrintable(QStringLiteral("disagree on %1").arg(QString::fromLatin1(bytes.toHex()))));
        QCOMPARE(scalar, QString::fromUtf8(bytes.constData(), bytes.size()).toUtf8() == bytes);
    };
    const QList<uchar> probes{0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF,
                              0xE0, 0xE1, 0xEC, 0xED, 0xEE, 0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xFF};
    for (int place : {0, 29, 30, 31, 32, 33, 62, 63}) {
        for (uchar a : probes) {
            for (uchar b : probes) {
                for (int length : {2, 3, 4}) {
                    QByteArray bytes = filler;
                    QByteArray piece;
                    piece.append(char(a)).append(char(b));
                    for (int i = 2; i < length; ++i)
                        piece.append(char(0x80 | (i * 7)));
                    bytes.replace(place, piece.size(), piece);
                    check(bytes);
                    check(cyrillic.left(place) + piece + cyrillic);
                    check(filler.left(40 + place) + piece); // at the very end
                }
            }
        }
    }
    quint32 state = 12345;
    const auto next = [&state]() {
        state = state * 1103515245 + 12345;
        return (state >> 16) & 0x7FFF;
    };
    const QList<QByteArray> pieces{"a", " ", "\xD0\x96", "\xE2\x82\xAC", "\xF0\x9F\x98\x80", "\x80",
                                   "\xC3", "\xE2\x82", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC1\xBF"};
    for (int i = 0; i < 20000; ++i) {
        QByteArray bytes;
        const int count = int(next() % 60);
        for (int j = 0; j < count; ++j) {
            const int pick = int(next() % 100);
            bytes += pick < 90 ? pieces.at(pick % 5) : pieces.at(5 + pick % 6);
        }
        check(bytes);
    }
    QVERIFY(checked > 60000);
}

namespace {

struct Found
{
    QList<QPair<int, int>> fields; // offset and size
    QList<bool> quoted;
    int begin = 0;
    int end = 0;
    bool operator==(const Found &other) const
    {
        return fields == other.fields && quoted == other.quoted && begin == other.begin && end == other.end;
    }
};

struct Scan
{
    QList<Found> rows;
    QList<int> skipped; // where the skipped lines begin
    bool operator==(const Scan &other) const { return rows == other.rows && skipped == other.skipped; }
};

Found FoundRow(const QByteArray &bytes, const CsvRawRow &row, const char *begin, const char *end)
{
    Found found;
    for (const CsvField &field : row.fields) {
        found.fields.append({int(field.data - bytes.constData()), field.size});
        found.quoted.append(field.quoted);
    }
    found.begin = int(begin - bytes.constData());
    found.end = int(end - bytes.constData());
    return found;
}

// The rule of malformed records written out plainly over the row parser:
// a record that is not a row of fieldCount fields costs the line it begins
// on, and reading goes on at the next line.
Scan ByRecords(const QByteArray &bytes, bool cr, int fieldCount, CsvRecordLimits limits)
{
    Scan scan;
    const char *p = bytes.constData();
    const char *end = p + bytes.size();
    CsvRawRow row;
    const char *next = nullptr;
    for (;;) {
        const CsvRowParser::Result result = CsvRowParser::Parse(p, end, true, cr, row, &next, limits);
        if (result == CsvRowParser::Result::Nothing)
            break;
        if (result == CsvRowParser::Result::Row) {
            if (!CsvRowParser::IsBlank(row) && (fieldCount == 0 || row.Count() == fieldCount))
                scan.rows.append(FoundRow(bytes, row, p, next));
            if (CsvRowParser::IsBlank(row) || fieldCount == 0 || row.Count() == fieldCount) {
                p = next;
                continue;
            }
        }
        scan.skipped.append(int(p - bytes.constData()));
        const char *lineEnd = CsvRowParser::LineEnd(p, end, cr);
        if (!lineEnd)
            break;
        p = lineEnd + 1;
    }
    return scan;
}

// The block scan as the loads run it: the bytes up to cut first (a chunk
// of a file, its last record left for later, or a window that starts no
// record at or past cut), then the rest.
Scan ByBlocks(const QByteArray &bytes, bool cr, int fieldCount, CsvRecordLimits limits, int cut, bool chunk,
             bool portable)
{
    Scan scan;
    const char *begin = bytes.constData();
    const char *end = begin + bytes.size();
    CsvRawRow row;
    // The scan's own UTF-8 check may suspect a good row, never pass a bad one.
    CsvRowParser::Utf8Watch utf8;
    const auto onRow = [&](const CsvRawRow &found, const char *rowBegin, const char *rowEnd) {
        scan.rows.append(FoundRow(bytes, found, rowBegin, rowEnd));
        if (rowBegin >= utf8.suspectUpTo && !CsvRawRow::IsValidUtf8Scalar(rowBegin, int(rowEnd - rowBegin)))
            scan.skipped.append(-2); // a row of bad UTF-8 that the scan passed
    };
    const auto onSkipped = [&](const char *line) { scan.skipped.append(int(line - begin)); };
    // The copy of the scan this processor runs, or the one of a processor
    // without AVX2.
    const auto scanRows = [&](const char *from, const char *to, const char *lastBegin, bool atEnd) {
        return portable ? CsvRowParser::ScanRowsPortable(from, to, lastBegin, atEnd, cr, fieldCount, row, onRow,
                                                         onSkipped, limits, &utf8)
                        : CsvRowParser::ScanRows(from, to, lastBegin, atEnd, cr, fieldCount, row, onRow, onSkipped,
                                                 limits, &utf8);
    };
    CsvRowParser::ScanEnd first =
            chunk ? scanRows(begin, begin + cut, begin + cut, false) : scanRows(begin, end, begin + cut, true);
    const char *next = first.next;
    if (first.inSkippedLine) {
        const char *lineEnd = CsvRowParser::LineEnd(next, end, cr);
        if (!lineEnd)
            return scan;
        next = lineEnd + 1;
    }
    const CsvRowParser::ScanEnd last = scanRows(next, end, end, true);
    if (last.next != end || last.inSkippedLine)
        scan.skipped.append(-1); // a scan to the end of the bytes ends there
    // The check a scan may leave to the taker of its batch finds exactly the
    // rows of bad UTF-8.
    CsvRowBatch batch;
    batch.bytes = begin;
    QList<int> bad;
    for (const Found &found : qAsConst(scan.rows)) {
        if (!CsvRawRow::IsValidUtf8Scalar(begin + found.begin, found.end - found.begin))
            bad.append(batch.Rows());
        batch.offsets.push_back(found.begin);
        batch.ends.push_back(found.end);
    }
    std::vector<qint64> offsets;
    CsvRowScanner::CheckDeferredUtf8(batch, &offsets);
    if (QList<int>(batch.invalidUtf8.begin(), batch.invalidUtf8.end()) != bad || offsets.size() != size_t(bad.size()))
        scan.skipped.append(-3);
    return scan;
}

} // namespace

void TestCsvManipulator::blockScanAgreesWithRowParser()
{
    // The block scan of the loads must find exactly the rows and skipped
    // lines that the row parser of random reads finds under the same rule,
    // whatever the quotes, line ends, limits and 64-byte block edges do:
    // random text from the dialect's pieces, whole, in two chunks and in
    // two windows. Its rows of bad UTF-8 must all be suspected by the scan.
    const QList<QByteArray> pieces{"a", "bc", "Жук", ";", ";", "\"", "\"\"", "\"\"\"", "\r", "\n", "\r\n", "x;y\n",
                                   QByteArray(70, 'z'), "\xD0", "\x80", "\xE2\x82", "\xF0\x9F\x98\x80", "\xC0\xAF"};
    quint64 state = 42;
    const auto next = [&state]() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state >> 33;
    };
    for (int i = 0; i < 20000; ++i) {
        QByteArray bytes;
        const int count = int(next() % 120);
        for (int j = 0; j < count; ++j)
            bytes += pieces.at(int(next() % quint64(pieces.size())));
        if (i % 4 == 1) {
            // Bytes that end on a block's edge, in the middle of a sequence.
            bytes += QByteArray(64 - bytes.size() % 64, 'a');
            bytes[bytes.size() - 1] = '\xD0';
        }
        const bool cr = i % 5 == 0;
        const int fieldCount = int(next() % 4);
        CsvRecordLimits limits;
        if (i % 3 == 0) {
            limits.field = qint64(next() % 80);
            limits.row = qint64(next() % 300);
        }
        const int cut = bytes.isEmpty() ? 0 : int(next() % quint64(bytes.size() + 1));
        const Scan plain = ByRecords(bytes, cr, fieldCount, limits);
        // Every other run of four takes the copy of a processor without AVX2.
        const bool portable = (i / 4) % 2 == 1;
        for (const bool chunk : {true, false}) {
            const Scan blocks = ByBlocks(bytes, cr, fieldCount, limits, cut, chunk, portable);
            if (!(blocks == plain)) {
                for (const Scan *scan : {&plain, &blocks}) {
                    for (const Found &row : scan->rows)
                        qWarning("%s: a row at %d-%d", scan == &plain ? "by records" : "by blocks", row.begin, row.end);
                    for (const int line : scan->skipped)
                        qWarning("%s: a line skipped at %d", scan == &plain ? "by records" : "by blocks", line);
                }
                QFAIL(QByteArray("the scans differ on " + bytes.toPercentEncoding() + ", " + QByteArray::number(fieldCount)
                                 + " fields, limits " + QByteArray::number(limits.field) + "/"
                                 + QByteArray::number(limits.row) + (chunk ? ", in chunks at " : ", in windows at ")
                                 + QByteArray::number(cut) + (cr ? ", carriage returns alone" : "")
                                 + (portable ? ", the scan without AVX2" : ""))
                              .constData());
            }
        }
    }
}

void TestCsvManipulator::prices_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("price");
    QTest::newRow("decimal") << "1999.90" << 1999;
    QTest::newRow("whole") << "150" << 150;
    QTest::newRow("group separator") << "1 999" << -1;
    QTest::newRow("letters") << "abc" << -1;
    QTest::newRow("negative") << "-5" << -5;
    QTest::newRow("negative decimal") << "-5.9" << -5;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("exponent") << "1e3" << 1000;
    QTest::newRow("comma") << "12,5" << -1;
    QTest::newRow("too large") << "99999999999" << -1;
    QTest::newRow("largest") << "2147483647" << 2147483647;
    QTest::newRow("trailing dot") << "12." << 12;
    QTest::newRow("more nines than a double holds") << "10.99999999999999999" << 10;
    QTest::newRow("exponent moving the point") << "1.59e1" << 15;
    QTest::newRow("nines and an exponent") << "9.99999999999999999e0" << 9;
    QTest::newRow("negative below one") << "-0.5" << 0;
    QTest::newRow("spaces around, a plus") << " +12.5 " << 12;
    QTest::newRow("only a fraction") << ".75" << 0;
    QTest::newRow("largest with a fraction") << "2147483647.9" << 2147483647;
    QTest::newRow("smallest") << "-2147483648" << int(std::numeric_limits<qint32>::min());
    QTest::newRow("exponent too large") << "1e10" << -1;
    QTest::newRow("huge exponent") << "1e400" << -1;
    QTest::newRow("not a number") << "nan" << -1;
    QTest::newRow("hexadecimal") << "0x1A" << -1;
    QTest::newRow("an exponent without digits") << "5e" << -1;
}

void TestCsvManipulator::prices()
{
    QFETCH(QString, text);
    QFETCH(int, price);
    QCOMPARE(CsvRawRow::ParsePrice(text), price);
    const QByteArray bytes = text.toUtf8();
    QCOMPARE(CsvRawRow::ParsePrice(bytes.constData(), bytes.size()), price);
}

void TestCsvManipulator::convertToCsvCopiesAnyReader()
{
    std::unique_ptr<IReader> source(OpenCsvReader(WriteFile("a;b\n1;\"x;y\"\n2;z\n")));
    QVERIFY(source);
    const QString copy = m_dir->filePath("copy.csv");
    std::unique_ptr<IReader> converted(ConvertToCsv(copy, source.get()));
    QVERIFY(converted);
    QCOMPARE(converted->Header(), (QStringList{"a", "b"}));
    QCOMPARE(ReadAll(converted.get()), (Rows{{"1", "x;y"}, {"2", "z"}}));
    QVERIFY(!ConvertToCsv(m_dir->filePath("missing/folder/copy.csv"), source.get()));
}

void TestCsvManipulator::realFeeds_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("firstColumn");
    QTest::newRow("affiliate feed, no quoting") << "admitad_quke_test_first5000lines.csv" << 4999 << 9 << "shop";
    QTest::newRow("shop import with byte order mark and quoted html")
            << "admitad_derived_woocommerce_vseinstrumenti.csv" << 51 << 13 << "Тип";
}

void TestCsvManipulator::realFeeds()
{
    QFETCH(QString, file);
    QFETCH(int, rows);
    QFETCH(int, columns);
    QFETCH(QString, firstColumn);
    std::unique_ptr<IReader> reader(OpenCsvReader(QStringLiteral(SAMPLES_DIR "/") + file));
    QVERIFY(reader);
    QCOMPARE(reader->Header().size(), columns);
    QCOMPARE(reader->Header().first(), firstColumn);
    QList<qint64> offsets;
    const Rows read = ReadWithOffsets(reader.get(), &offsets);
    QCOMPARE(read.size(), rows);
    for (int i = 0; i < read.size(); i += 7)
        QCOMPARE(reader->RowAt(offsets.at(i)), read.at(i));
}

QTEST_GUILESS_MAIN(TestCsvManipulator)
#include "tst_csvmanipulator.moc"
