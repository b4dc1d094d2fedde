// Reads a feed through the CSV reader: once sequentially (Position and
// NextRow, every field decoded), once with the raw scan the loader uses, and
// then row by row at random offsets (RowAt), as the goods view and the save
// do.
//
//   readbench FEED [--random N] [--seed S]

#include <cstdio>
#include <memory>
#include <vector>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include "benchutil.h"
#include "csvmanipulator.h"
#include "csvrowstream.h"

namespace
{

// Touches every field so that no decode can be skipped.
qint64 Touch(const QStringList &row)
{
    qint64 sum = 0;
    for (const QString &field : row)
        sum += field.size() + (field.isEmpty() ? 0 : field.at(0).unicode());
    return sum;
}

void Report(const char *what, const char *key, qint64 rows, qint64 bytes, double seconds, double cpuSeconds)
{
    const double mbs = double(bytes) / 1e6 / seconds;
    const double rowsPerSecond = double(rows) / seconds;
    std::printf("%-28s %9lld rows %10.1f MB in %7.3f s: %8.1f MB/s %11.0f rows/s\n", what, static_cast<long long>(rows),
                double(bytes) / 1e6, seconds, mbs, rowsPerSecond);
    Bench::Figure(QByteArray(key) + "_seconds", seconds);
    Bench::Figure(QByteArray(key) + "_cpu_seconds", cpuSeconds);
    Bench::Figure(QByteArray(key) + "_mbs", mbs);
    Bench::Figure(QByteArray(key) + "_rows_per_s", rowsPerSecond);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser args;
    args.setApplicationDescription(QStringLiteral("Sequential and random reads of a CSV feed."));
    args.addHelpOption();
    args.addOptions({
        {QStringLiteral("random"), QStringLiteral("Number of random row reads."), QStringLiteral("N"), QStringLiteral("100000")},
        {QStringLiteral("seed"), QStringLiteral("Seed of the random offsets."), QStringLiteral("S"), QStringLiteral("1")},
    });
    args.addPositionalArgument(QStringLiteral("FEED"), QStringLiteral("The CSV feed."));
    args.process(app);
    if (args.positionalArguments().size() != 1)
        args.showHelp(2);
    const QString path = args.positionalArguments().first();
    const qint64 randomReads = args.value(QStringLiteral("random")).toLongLong();

    std::printf("readbench %s (%lld bytes; MB = 10^6 bytes)\n", qPrintable(path),
                static_cast<long long>(QFileInfo(path).size()));

    // Sequential, decoded.
    std::vector<qint64> offsets;
    qint64 checksum = 0;
    qint64 dataBytes = 0;
    {
        std::unique_ptr<IReader> reader(OpenCsvReader(path));
        if (!reader) {
            std::fprintf(stderr, "readbench: cannot open %s\n", qPrintable(path));
            return 1;
        }
        offsets.reserve(1 << 20);
        const Bench::CpuTimes cpu = Bench::Cpu();
        QElapsedTimer timer;
        timer.start();
        qint64 offset = reader->Position();
        const qint64 first = offset;
        for (;;) {
            const QStringList row = reader->NextRow();
            if (row.isEmpty())
                break;
            offsets.push_back(offset);
            checksum += Touch(row);
            offset = reader->Position();
        }
        const double seconds = Bench::Seconds(timer);
        dataBytes = offset - first;
        offsets.push_back(offset); // end of the last row
        Report("sequential NextRow:", "seq", qint64(offsets.size()) - 1, dataBytes, seconds, Bench::CpuSecondsSince(cpu));
    }
    const qint64 rows = qint64(offsets.size()) - 1;
    if (rows == 0) {
        std::fprintf(stderr, "readbench: %s holds no rows\n", qPrintable(path));
        return 1;
    }

    // Sequential, raw scan (the loader's path): rows found on a second
    // thread, fields not decoded.
    {
        CsvManipulator csv;
        if (!csv.Open(path, true))
            return 1;
        const Bench::CpuTimes cpu = Bench::Cpu();
        QElapsedTimer timer;
        timer.start();
        qint64 scanned = 0;
        CsvRowStream stream(path, csv.Position(), csv.Header().size(), csv.CrLineEnds());
        CsvRawRow row;
        while (const CsvRowBatch *batch = stream.Next()) {
            for (int i = 0; i < batch->Rows(); ++i) {
                batch->RowAt(i, row);
                ++scanned;
                checksum += row.Count();
            }
        }
        Report("sequential stream (raw):", "scan", scanned, dataBytes, Bench::Seconds(timer), Bench::CpuSecondsSince(cpu));
    }

    // The load's own scan: rows found where the file is mapped, on this
    // thread, with and without the check of their UTF-8.
    for (const bool checkUtf8 : {false, true}) {
        CsvManipulator csv;
        if (!csv.Open(path, true))
            return 1;
        const Bench::CpuTimes cpu = Bench::Cpu();
        QElapsedTimer timer;
        timer.start();
        qint64 scanned = 0;
        CsvRowScanner scanner(path, csv.Position(), csv.Header().size(), csv.CrLineEnds(), -1, nullptr,
                              CsvRowScanner::Mode::Mapped, checkUtf8);
        CsvRowBatch batch;
        while (scanner.Fill(batch))
            scanned += batch.Rows();
        checksum += scanner.InvalidUtf8Rows();
        Report(checkUtf8 ? "mapped scan, UTF-8 checked:" : "mapped scan:", checkUtf8 ? "mapped_utf8" : "mapped",
               scanned, dataBytes, Bench::Seconds(timer), Bench::CpuSecondsSince(cpu));
    }

    // Random rows.
    {
        std::unique_ptr<IReader> reader(OpenCsvReader(path));
        Bench::Random rng(args.value(QStringLiteral("seed")).toULongLong());
        std::vector<qint64> picks(static_cast<size_t>(randomReads));
        qint64 pickedBytes = 0;
        for (qint64 &pick : picks) {
            const size_t index = rng.Below(quint32(rows));
            pick = offsets[index];
            pickedBytes += offsets[index + 1] - offsets[index];
        }
        const Bench::CpuTimes cpu = Bench::Cpu();
        QElapsedTimer timer;
        timer.start();
        qint64 empty = 0;
        for (const qint64 pick : picks) {
            const QStringList row = reader->RowAt(pick);
            if (row.isEmpty())
                ++empty;
            checksum += Touch(row);
        }
        Report("random RowAt:", "random", randomReads, pickedBytes, Bench::Seconds(timer), Bench::CpuSecondsSince(cpu));
        if (empty > 0) {
            std::fprintf(stderr, "readbench: %lld random reads gave empty rows\n", static_cast<long long>(empty));
            return 1;
        }
    }
    std::printf("checksum %lld\n", static_cast<long long>(checksum));
    Bench::Figure("rows", double(rows));
    Bench::Figure("peak_rss_kb", double(Bench::PeakRssKb()));
    return 0;
}
