// Loads a feed into the catalogue as data, saves the whole catalogue to one
// file and to one file per category, and then loads a base over it.
//
//   loadbench FEED [BASE] [--out DIR] [--keep] [--reapply]
//
// With --reapply the offer with the most goods gets new category rules
// right after the data load (half its top-level categories renamed, one
// left out), its goods are placed again under them and then under its old
// rules again: the time of each (target: 1,000,000 goods in under a second),
// and of the count of goods by status that the window takes after loads.
//
// The saves run right after the data load, while the catalogue still holds
// every good of the feed: after a base load it holds only the changes.

#include <algorithm>
#include <cstdio>
#include <memory>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include "benchutil.h"
#include "catmodel.h"
#include "good.h"
#include "igoodqueryobject.h"
#include "model.h"
#include "statuscounts.h"

namespace
{

void Memory(const char *when, const char *key)
{
    const qint64 peak = Bench::PeakRssKb();
    const qint64 now = Bench::CurrentRssKb();
    std::printf("  memory %s: peak %.1f MB, now %.1f MB\n", when, double(peak) / 1024.0, double(now) / 1024.0);
    Bench::Figure(QByteArray(key) + "_peak_rss_kb", double(peak));
}

void Statuses(const Model &model, const char *key)
{
    const StatusCounts counts = StatusCounts::Of(model.Root());
    std::printf("  goods: %lld (added %lld, changed %lld, deleted %lld) in %d categories with goods\n",
                static_cast<long long>(counts.goods), static_cast<long long>(counts.added),
                static_cast<long long>(counts.changed), static_cast<long long>(counts.deleted),
                model.Root().CountWithGoods());
    const QByteArray prefix(key);
    Bench::Figure(prefix + "_goods", double(counts.goods));
    Bench::Figure(prefix + "_added", double(counts.added));
    Bench::Figure(prefix + "_changed", double(counts.changed));
    Bench::Figure(prefix + "_deleted", double(counts.deleted));
}

qint64 FolderBytes(const QString &folder, int *files)
{
    qint64 bytes = 0;
    const QFileInfoList list = QDir(folder).entryInfoList(QDir::Files);
    for (const QFileInfo &info : list)
        bytes += info.size();
    *files = list.size();
    return bytes;
}

// New rules for the offer with the most goods, its goods placed under them
// and then under the old rules again; false when an operation failed.
bool Reapply(Model &model)
{
    QHash<const Offer *, qint64> goods;
    struct Counter final : IGoodQueryObject
    {
        virtual ~Counter() = default;
        QHash<const Offer *, qint64> *goods = nullptr;
        void AddGoods(const QList<Good *> &list) override
        {
            for (Good *good : list)
                AddGood(good);
        }
        void AddGood(Good *good) override { ++(*goods)[good->offer]; }
    } counter;
    counter.goods = &goods;
    model.Root().QueryGoods(&counter, nullptr, true);
    Offer *offer = nullptr;
    for (Offer &candidate : model.Offers()) {
        if (!offer || goods.value(&candidate) > goods.value(offer))
            offer = &candidate;
    }
    if (!offer)
        return true;
    QStringList tops;
    for (const QString &raw : qAsConst(offer->categories)) {
        const QString top = raw.section(QLatin1Char('/'), 0, 0, QString::SectionSkipEmpty);
        if (!tops.contains(top))
            tops.append(top);
    }
    std::sort(tops.begin(), tops.end());
    const Offer before = *offer;
    for (int i = 0; i < tops.size(); i += 2)
        offer->rename.insert(CategoryRule::FromText(tops.at(i)), RenameTarget{tops.at(i) + QStringLiteral(" (новое)"), false});
    if (tops.size() > 1)
        offer->exclude.append(CategoryRule::FromText(tops.at(1)));
    offer->NormaliseRules();

    for (const char *step : {"new rules", "old rules"}) {
        QElapsedTimer timer;
        const Bench::CpuTimes cpu = Bench::Cpu();
        timer.start();
        if (!model.ReapplyRules(offer)) {
            std::fprintf(stderr, "loadbench: reapplying the rules failed: %s\n", qPrintable(model.LastError()));
            return false;
        }
        const double seconds = Bench::Seconds(timer);
        const qint64 placed = goods.value(offer);
        const double perMillion = placed > 0 ? seconds * 1e6 / double(placed) : 0;
        std::printf("rules reapplied (%s, offer %s, %lld goods): %.3f s, %.3f s per 1M goods, target < 1 s: %s (%s)\n",
                    step, qPrintable(offer->name), static_cast<long long>(placed), seconds, perMillion,
                    perMillion < 1.0 ? "PASS" : "FAIL", qPrintable(Bench::CpuSince(cpu)));
        for (const QString &warning : model.Warnings())
            std::printf("  %s\n", qPrintable(warning));
        Bench::Figure(QByteArray("reapply_") + (step[0] == 'n' ? "new" : "old") + "_seconds", seconds);
        offer->include = before.include;
        offer->exclude = before.exclude;
        offer->rename = before.rename;
        offer->includeOther = before.includeOther;
        goods.clear();
        model.Root().QueryGoods(&counter, nullptr, true);
    }

    // The window counts the goods by status after every load.
    QElapsedTimer timer;
    timer.start();
    StatusCounts counts;
    const int rounds = 10;
    for (int i = 0; i < rounds; ++i)
        counts = StatusCounts::Of(model.Root());
    const double count = Bench::Seconds(timer) / rounds;
    std::printf("count of goods by status (%lld goods): %.4f s\n", static_cast<long long>(counts.goods), count);
    Bench::Figure("status_count_seconds", count);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser args;
    args.setApplicationDescription(QStringLiteral("Loads a feed (and a base) into the catalogue and saves it."));
    args.addHelpOption();
    args.addOptions({
        {QStringLiteral("out"), QStringLiteral("Folder for the saved files (default: a temporary one)."), QStringLiteral("DIR")},
        {QStringLiteral("keep"), QStringLiteral("Keep the saved files.")},
        {QStringLiteral("reapply"), QStringLiteral("Place the largest offer's goods again under new category rules.")},
    });
    args.addPositionalArgument(QStringLiteral("FEED"), QStringLiteral("The data feed."));
    args.addPositionalArgument(QStringLiteral("BASE"), QStringLiteral("A base to load over it."), QStringLiteral("[BASE]"));
    args.process(app);
    const QStringList paths = args.positionalArguments();
    if (paths.isEmpty() || paths.size() > 2)
        args.showHelp(2);

    QTemporaryDir temporary;
    QString outDir = args.value(QStringLiteral("out"));
    if (outDir.isEmpty())
        outDir = temporary.path();
    QDir().mkpath(outDir);
    const QString oneFile = QDir(outDir).filePath(QStringLiteral("catalogue.csv"));
    const QString catsDir = QDir(outDir).filePath(QStringLiteral("by-category"));
    QDir(catsDir).removeRecursively();
    QDir().mkpath(catsDir);

    const qint64 feedBytes = QFileInfo(paths.at(0)).size();
    std::printf("loadbench %s (%.1f MB)\n", qPrintable(paths.at(0)), double(feedBytes) / 1e6);
    Model model;

    QElapsedTimer timer;
    Bench::CpuTimes cpu = Bench::Cpu();
    timer.start();
    if (!model.AddFile(paths.at(0))) {
        std::fprintf(stderr, "loadbench: loading %s failed: %s\n", qPrintable(paths.at(0)), qPrintable(model.LastError()));
        return 1;
    }
    const double load = Bench::Seconds(timer);
    std::printf("data load (AddFile):          %8.3f s, %.1f MB/s (%s)\n", load, double(feedBytes) / 1e6 / load,
                qPrintable(Bench::CpuSince(cpu)));
    Bench::Figure("load_seconds", load);
    Bench::Figure("load_cpu_seconds", Bench::CpuSecondsSince(cpu));
    Memory("after the data load", "load");
    Statuses(model, "load");
    if (args.isSet(QStringLiteral("reapply")) && !Reapply(model))
        return 1;

    cpu = Bench::Cpu();
    timer.restart();
    if (!model.SaveToFile(oneFile)) {
        std::fprintf(stderr, "loadbench: saving %s failed: %s\n", qPrintable(oneFile), qPrintable(model.LastError()));
        return 1;
    }
    const double save = Bench::Seconds(timer);
    std::printf("save to one file (SaveToFile): %7.3f s, %.1f MB written, %.2f x data load (%s)\n", save,
                double(QFileInfo(oneFile).size()) / 1e6, save / load, qPrintable(Bench::CpuSince(cpu)));
    Bench::Figure("save_seconds", save);
    Bench::Figure("save_cpu_seconds", Bench::CpuSecondsSince(cpu));
    Bench::Figure("save_bytes", double(QFileInfo(oneFile).size()));
    Memory("after the save", "save");

    cpu = Bench::Cpu();
    timer.restart();
    if (!model.SaveToFilesByCats(catsDir)) {
        std::fprintf(stderr, "loadbench: saving into %s failed: %s\n", qPrintable(catsDir), qPrintable(model.LastError()));
        return 1;
    }
    const double saveCats = Bench::Seconds(timer);
    int files = 0;
    const qint64 catsBytes = FolderBytes(catsDir, &files);
    std::printf("save by categories (SaveToFilesByCats): %7.3f s, %d files, %.1f MB, %.2f x data load (%s)\n", saveCats,
                files, double(catsBytes) / 1e6, saveCats / load, qPrintable(Bench::CpuSince(cpu)));
    Bench::Figure("savecats_seconds", saveCats);
    Bench::Figure("savecats_cpu_seconds", Bench::CpuSecondsSince(cpu));
    Bench::Figure("savecats_files", files);
    Memory("after the save by categories", "savecats");
    if (!args.isSet(QStringLiteral("keep"))) {
        QFile::remove(oneFile);
        QDir(catsDir).removeRecursively();
    }

    if (paths.size() == 2) {
        cpu = Bench::Cpu();
        timer.restart();
        if (!model.AddFile(paths.at(1), true)) {
            std::fprintf(stderr, "loadbench: loading the base %s failed: %s\n", qPrintable(paths.at(1)),
                         qPrintable(model.LastError()));
            return 1;
        }
        const double base = Bench::Seconds(timer);
        std::printf("base load (AddFile as base):  %8.3f s, %.2f x data load (%s)\n", base, base / load,
                    qPrintable(Bench::CpuSince(cpu)));
        Bench::Figure("base_seconds", base);
        Bench::Figure("base_cpu_seconds", Bench::CpuSecondsSince(cpu));
        Memory("after the base load", "base");
        Statuses(model, "base");

        const QString changes = QDir(outDir).filePath(QStringLiteral("changes.csv"));
        timer.restart();
        if (!model.SaveToFile(changes)) {
            std::fprintf(stderr, "loadbench: saving %s failed: %s\n", qPrintable(changes), qPrintable(model.LastError()));
            return 1;
        }
        const double saveChanges = Bench::Seconds(timer);
        std::printf("save of the changes:          %8.3f s, %.1f MB\n", saveChanges, double(QFileInfo(changes).size()) / 1e6);
        Bench::Figure("savechanges_seconds", saveChanges);
        if (!args.isSet(QStringLiteral("keep")))
            QFile::remove(changes);
    }
    Bench::Figure("peak_rss_kb", double(Bench::PeakRssKb()));
    return 0;
}
