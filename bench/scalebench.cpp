// One step of the catalogue's work on a feed, in a process of its own so
// that its peak memory is its own: the data load alone, or the data load
// followed by a base load, duplicate removal or a save.
//
//   scalebench FEED --step load|base|dedup|save [--base BASE] [--out FILE]
//
// Prints the seconds (wall clock and processor) of the load and of the
// step, the rows per second and the peak resident memory, as FIGURE lines.

#include <cstdio>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "benchutil.h"
#include "model.h"
#include "statuscounts.h"

namespace
{

bool Timed(const char *name, const std::function<bool()> &work)
{
    const Bench::CpuTimes cpu = Bench::Cpu();
    QElapsedTimer timer;
    timer.start();
    if (!work())
        return false;
    const double seconds = Bench::Seconds(timer);
    std::printf("%-8s %8.3f s (%s)\n", name, seconds, qPrintable(Bench::CpuSince(cpu)));
    Bench::Figure(QByteArray(name) + "_seconds", seconds);
    Bench::Figure(QByteArray(name) + "_cpu_seconds", Bench::CpuSecondsSince(cpu));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser args;
    args.setApplicationDescription(QStringLiteral("One step of the catalogue's work on a feed."));
    args.addHelpOption();
    args.addOptions({
        {QStringLiteral("step"), QStringLiteral("load, base, dedup or save."), QStringLiteral("STEP"),
         QStringLiteral("load")},
        {QStringLiteral("base"), QStringLiteral("The base of the base step."), QStringLiteral("BASE")},
        {QStringLiteral("out"), QStringLiteral("The file of the save step (default: a temporary one)."),
         QStringLiteral("FILE")},
    });
    args.addPositionalArgument(QStringLiteral("FEED"), QStringLiteral("The data feed."));
    args.process(app);
    if (args.positionalArguments().size() != 1)
        args.showHelp(2);
    const QString feed = args.positionalArguments().first();
    const QString step = args.value(QStringLiteral("step"));

    Model model;
    const auto fail = [&model](const char *what) {
        std::fprintf(stderr, "scalebench: %s failed: %s\n", what, qPrintable(model.LastError()));
        return 1;
    };
    if (!Timed("load", [&]() { return model.AddFile(feed); }))
        return fail("the load");
    const StatusCounts loaded = StatusCounts::Of(model.Root());
    Bench::Figure("rows", double(loaded.goods));

    QTemporaryDir temporary;
    bool ok = true;
    if (step == QLatin1String("base")) {
        ok = Timed("step", [&]() { return model.AddFile(args.value(QStringLiteral("base")), true); });
        const StatusCounts left = StatusCounts::Of(model.Root());
        std::printf("goods left: %lld (added %lld, changed %lld, deleted %lld)\n", left.goods, left.added,
                    left.changed, left.deleted);
    } else if (step == QLatin1String("dedup")) {
        ok = Timed("step", [&]() { return model.RemoveDuplicates(); });
        std::printf("goods left: %lld\n", StatusCounts::Of(model.Root()).goods);
    } else if (step == QLatin1String("save")) {
        QString out = args.value(QStringLiteral("out"));
        if (out.isEmpty())
            out = temporary.filePath(QStringLiteral("export.csv"));
        ok = Timed("step", [&]() { return model.SaveToFile(out); });
        std::printf("saved %.1f MB\n", double(QFileInfo(out).size()) / 1e6);
        if (args.value(QStringLiteral("out")).isEmpty())
            QFile::remove(out);
    } else if (step != QLatin1String("load")) {
        args.showHelp(2);
    }
    if (!ok)
        return fail(qPrintable(step));
    const qint64 peak = Bench::PeakRssKb();
    std::printf("peak memory %.1f MB\n", double(peak) / 1024.0);
    Bench::Figure("peak_rss_kb", double(peak));
    return 0;
}
