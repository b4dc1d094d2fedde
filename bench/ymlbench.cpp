// Times the load of a YML catalogue against the load of the same goods as
// CSV, side by side, and the XML parsers the conversion could stand on.
//
//   ymlbench FEED.xml        (make one with: feedgen --yml --rows 1000000 --out FEED.xml)
//
// 1. The parsers alone, every token read and nothing done with it:
//    QXmlStreamReader, expat (when built with it) and libxml2's SAX parser,
//    the one the conversion uses.
// 2. The conversion alone (YmlConverter), which also gives the CSV of the
//    same goods.
// 3. The whole load of the YML file (conversion and load) and the load of
//    that CSV, each in a process of its own so that each has its own peak
//    memory: wall and processor seconds, MB of XML a second, peak RSS.
// Targets: the YML load at least 100 MB of XML a second; its peak memory at
// most the CSV load's plus 50 MB.

#include <cstdio>
#include <cstring>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#ifdef FIDMORA_BENCH_EXPAT
#include <expat.h>
#endif
#include <libxml/parser.h>

#include "benchutil.h"
#include "catmodel.h"
#include "model.h"
#include "ymlconverter.h"

namespace
{

const qint64 kChunk = 1 << 20;

struct Tokens
{
    qint64 elements = 0;
    qint64 textBytes = 0;
};

void Report(const char *name, const char *key, double seconds, double cpu, double megabytes, const Tokens &tokens)
{
    std::printf("  %-28s %7.3f s wall, %7.3f s cpu, %7.1f MB/s (%lld elements, %lld text bytes)\n", name, seconds, cpu,
                megabytes / seconds, static_cast<long long>(tokens.elements), static_cast<long long>(tokens.textBytes));
    Bench::Figure(QByteArray(key) + "_seconds", seconds);
    Bench::Figure(QByteArray(key) + "_cpu_seconds", cpu);
}

void QtParser(const QString &path, double megabytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QElapsedTimer timer;
    const Bench::CpuTimes cpu = Bench::Cpu();
    timer.start();
    QXmlStreamReader xml(&file);
    Tokens tokens;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            ++tokens.elements;
            tokens.textBytes += xml.attributes().size();
            break;
        case QXmlStreamReader::Characters:
            tokens.textBytes += xml.text().size();
            break;
        default:
            break;
        }
    }
    Report("QXmlStreamReader", "qt", Bench::Seconds(timer), Bench::CpuSecondsSince(cpu), megabytes, tokens);
}

#ifdef FIDMORA_BENCH_EXPAT
void ExpatParser(const QString &path, double megabytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QElapsedTimer timer;
    const Bench::CpuTimes cpu = Bench::Cpu();
    timer.start();
    XML_Parser parser = XML_ParserCreate(nullptr);
    Tokens tokens;
    XML_SetUserData(parser, &tokens);
    XML_SetElementHandler(
            parser, [](void *data, const XML_Char *, const XML_Char **) { ++static_cast<Tokens *>(data)->elements; },
            [](void *, const XML_Char *) {});
    XML_SetCharacterDataHandler(parser, [](void *data, const XML_Char *, int size) {
        static_cast<Tokens *>(data)->textBytes += size;
    });
    for (;;) {
        void *buffer = XML_GetBuffer(parser, int(kChunk));
        const qint64 got = file.read(static_cast<char *>(buffer), kChunk);
        if (got < 0 || XML_ParseBuffer(parser, int(got), got == 0) != XML_STATUS_OK || got == 0)
            break;
    }
    XML_ParserFree(parser);
    Report("expat", "expat", Bench::Seconds(timer), Bench::CpuSecondsSince(cpu), megabytes, tokens);
}
#endif

void LibxmlParser(const QString &path, double megabytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QElapsedTimer timer;
    const Bench::CpuTimes cpu = Bench::Cpu();
    timer.start();
    xmlSAXHandler sax;
    std::memset(&sax, 0, sizeof(sax));
    sax.initialized = XML_SAX2_MAGIC;
    sax.startElementNs = [](void *data, const xmlChar *, const xmlChar *, const xmlChar *, int, const xmlChar **, int,
                            int, const xmlChar **) { ++static_cast<Tokens *>(data)->elements; };
    sax.characters = [](void *data, const xmlChar *, int size) { static_cast<Tokens *>(data)->textBytes += size; };
    sax.cdataBlock = sax.characters;
    sax.ignorableWhitespace = sax.characters;
    Tokens tokens;
    xmlParserCtxtPtr context = xmlCreatePushParserCtxt(&sax, &tokens, nullptr, 0, nullptr);
    xmlCtxtUseOptions(context, XML_PARSE_NONET);
    QByteArray chunk(int(kChunk), Qt::Uninitialized);
    for (;;) {
        const qint64 got = file.read(chunk.data(), kChunk);
        if (got < 0 || xmlParseChunk(context, chunk.constData(), int(got), got == 0) != 0 || got == 0)
            break;
    }
    xmlFreeParserCtxt(context);
    Report("libxml2 SAX (the converter's)", "libxml2", Bench::Seconds(timer), Bench::CpuSecondsSince(cpu), megabytes,
           tokens);
}

// The child process: one AddFile, its figures, and the converted file removed.
int LoadOnce(const QString &path)
{
    Model model;
    QElapsedTimer timer;
    const Bench::CpuTimes cpu = Bench::Cpu();
    timer.start();
    const bool ok = model.AddFile(path);
    const double seconds = Bench::Seconds(timer);
    if (!ok) {
        std::fprintf(stderr, "ymlbench: loading %s failed: %s\n", qPrintable(path), qPrintable(model.LastError()));
        return 1;
    }
    Bench::Figure("seconds", seconds);
    Bench::Figure("cpu_seconds", Bench::CpuSecondsSince(cpu));
    Bench::Figure("peak_rss_kb", double(Bench::PeakRssKb()));
    Bench::Figure("goods", model.Root().GoodCount(true));
    for (const Source &source : model.Sources()) {
        if (source.path != path)
            QFile::remove(source.path);
    }
    return 0;
}

struct Load
{
    double seconds = 0;
    double cpu = 0;
    double peakMb = 0;
    qint64 goods = 0;
};

bool RunChild(const QString &path, Load *load)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--load"), path});
    if (!child.waitForFinished(-1) || child.exitCode() != 0)
        return false;
    const QList<QByteArray> lines = child.readAllStandardOutput().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> parts = line.split(' ');
        if (parts.size() != 3 || parts.at(0) != "FIGURE")
            continue;
        const double value = parts.at(2).toDouble();
        if (parts.at(1) == "seconds")
            load->seconds = value;
        else if (parts.at(1) == "cpu_seconds")
            load->cpu = value;
        else if (parts.at(1) == "peak_rss_kb")
            load->peakMb = value / 1024.0;
        else if (parts.at(1) == "goods")
            load->goods = qint64(value);
    }
    return true;
}

QByteArray ReadLoadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? file.readLine().split(' ').value(0) : QByteArray("?");
}

void Warm(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    QByteArray block(int(kChunk) * 4, Qt::Uninitialized);
    while (file.read(block.data(), block.size()) > 0) {
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser args;
    args.setApplicationDescription(QStringLiteral("Times a YML catalogue's load against the same goods as CSV."));
    args.addHelpOption();
    args.addOptions({
        {QStringLiteral("load"), QStringLiteral("(internal) Load one file and print its figures."),
         QStringLiteral("FILE")},
        {QStringLiteral("no-parsers"), QStringLiteral("Skip the parsers alone.")},
    });
    args.addPositionalArgument(QStringLiteral("FEED"), QStringLiteral("A YML catalogue."));
    args.process(app);
    if (args.isSet(QStringLiteral("load")))
        return LoadOnce(args.value(QStringLiteral("load")));
    const QStringList paths = args.positionalArguments();
    if (paths.size() != 1)
        args.showHelp(2);
    const QString xml = paths.first();
    const double megabytes = double(QFileInfo(xml).size()) / 1e6;
    std::printf("ymlbench %s (%.1f MB; MB = 10^6 bytes; load average %s)\n", qPrintable(xml), megabytes,
                ReadLoadAverage().constData());
    Warm(xml);

    if (!args.isSet(QStringLiteral("no-parsers"))) {
        std::printf("Parsers alone (every token read, nothing done with it):\n");
        QtParser(xml, megabytes);
#ifdef FIDMORA_BENCH_EXPAT
        ExpatParser(xml, megabytes);
#else
        std::printf("  expat: not built in (install libexpat1-dev and configure again)\n");
#endif
        LibxmlParser(xml, megabytes);
    }

    QTemporaryDir folder;
    const QString csv = folder.filePath(QFileInfo(xml).completeBaseName() + QLatin1String(".csv"));
    {
        YmlConverter converter;
        QElapsedTimer timer;
        const Bench::CpuTimes cpu = Bench::Cpu();
        timer.start();
        if (!converter.Convert(xml, csv, nullptr)) {
            std::fprintf(stderr, "ymlbench: converting %s failed: %s\n", qPrintable(xml),
                         qPrintable(converter.ErrorText()));
            return 1;
        }
        const double seconds = Bench::Seconds(timer);
        std::printf("Conversion alone (YmlConverter): %.3f s wall, %.3f s cpu, %.1f MB/s of XML; %d offers, "
                    "%d categories, %.1f MB of CSV\n",
                    seconds, Bench::CpuSecondsSince(cpu), megabytes / seconds, converter.Offers(),
                    converter.Categories(), double(QFileInfo(csv).size()) / 1e6);
        Bench::Figure("convert_seconds", seconds);
    }

    Load yml;
    Load plain;
    Warm(xml);
    if (!RunChild(xml, &yml))
        return 1;
    Warm(csv);
    if (!RunChild(csv, &plain))
        return 1;
    const double ymlRate = megabytes / yml.seconds;
    std::printf("\nWhole loads (AddFile, each in a process of its own):\n");
    std::printf("  %-34s %9s %9s %14s %12s %10s\n", "feed", "wall s", "cpu s", "MB of XML/s", "peak RSS MB", "goods");
    std::printf("  %-34s %9.3f %9.3f %14.1f %12.1f %10lld\n", "YML (conversion and load)", yml.seconds, yml.cpu,
                ymlRate, yml.peakMb, static_cast<long long>(yml.goods));
    std::printf("  %-34s %9.3f %9.3f %14.1f %12.1f %10lld\n", "the same goods as CSV", plain.seconds, plain.cpu,
                megabytes / plain.seconds, plain.peakMb, static_cast<long long>(plain.goods));
    std::printf("  YML / CSV: %.2fx the time, %+.1f MB of peak memory\n", yml.seconds / plain.seconds,
                yml.peakMb - plain.peakMb);
    Bench::Figure("yml_load_seconds", yml.seconds);
    Bench::Figure("yml_load_mb_per_s", ymlRate);
    Bench::Figure("yml_peak_rss_kb", yml.peakMb * 1024.0);
    Bench::Figure("csv_load_seconds", plain.seconds);
    Bench::Figure("csv_peak_rss_kb", plain.peakMb * 1024.0);

    const bool fast = ymlRate >= 100.0;
    const bool lean = yml.peakMb <= plain.peakMb + 50.0;
    const bool same = yml.goods == plain.goods;
    std::printf("\n%-52s %10.1f  %s\n", "YML load >= 100 MB of XML/s", ymlRate, fast ? "PASS" : "FAIL");
    std::printf("%-52s %10.1f  %s\n", "YML peak RSS <= CSV peak RSS + 50 MB (MB over)", yml.peakMb - plain.peakMb,
                lean ? "PASS" : "FAIL");
    std::printf("%-52s %10lld  %s\n", "the same goods in both", static_cast<long long>(yml.goods),
                same ? "PASS" : "FAIL");
    return fast && lean && same ? 0 : 3;
}
