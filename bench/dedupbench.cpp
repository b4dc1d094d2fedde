// Duplicate removal over generated feeds: each feed is loaded as data with
// AddFile, so that the identity keys are read from the rows of the file as in
// real use, and then Model::RemoveDuplicates is timed.
//
//   dedupbench MANY_CATEGORIES_FEED ONE_CATEGORY_FEED

#include <cstdio>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStringList>

#include "benchutil.h"
#include "model.h"
#include "statuscounts.h"

namespace
{

// Loads the feed, removes duplicates and prints both steps; the time of the
// removal, or -1 on failure.
double Run(const QString &path, const char *key)
{
    Model model;
    QElapsedTimer timer;
    timer.start();
    if (!model.AddFile(path)) {
        std::fprintf(stderr, "dedupbench: loading %s failed: %s\n", qPrintable(path), qPrintable(model.LastError()));
        return -1;
    }
    const double load = Bench::Seconds(timer);
    const qint64 before = StatusCounts::Of(model.Root()).goods;
    const int categories = model.Root().CountWithGoods();

    const Bench::CpuTimes cpu = Bench::Cpu();
    timer.restart();
    if (!model.RemoveDuplicates()) {
        std::fprintf(stderr, "dedupbench: duplicate removal failed: %s\n", qPrintable(model.LastError()));
        return -1;
    }
    const double seconds = Bench::Seconds(timer);
    const QString cpuText = Bench::CpuSince(cpu);
    const double cpuSeconds = Bench::CpuSecondsSince(cpu);
    const qint64 after = StatusCounts::Of(model.Root()).goods;
    std::printf("%s (%.1f MB): loaded %lld goods in %d categories in %.3f s; RemoveDuplicates removed %lld, "
                "left %lld, in %.3f s (%s)\n",
                qPrintable(QFileInfo(path).fileName()), double(QFileInfo(path).size()) / 1e6,
                static_cast<long long>(before), categories, load, static_cast<long long>(before - after),
                static_cast<long long>(after), seconds, qPrintable(cpuText));
    const QByteArray prefix(key);
    Bench::Figure(prefix + "_load_seconds", load);
    Bench::Figure(prefix + "_seconds", seconds);
    Bench::Figure(prefix + "_cpu_seconds", cpuSeconds);
    Bench::Figure(prefix + "_goods", double(before));
    Bench::Figure(prefix + "_removed", double(before - after));
    Bench::Figure(prefix + "_categories", categories);
    return seconds;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: dedupbench MANY_CATEGORIES_FEED ONE_CATEGORY_FEED\n");
        return 2;
    }
    const double many = Run(args.at(1), "many");
    if (many < 0)
        return 1;
    const double one = Run(args.at(2), "one");
    if (one < 0)
        return 1;
    std::printf("one category / many categories: %.2f\n", one / many);
    Bench::Figure("ratio", one / many);
    Bench::Figure("peak_rss_kb", double(Bench::PeakRssKb()));
    return 0;
}
