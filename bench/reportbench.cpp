// The change report and the card's old and new over a big delta: a feed is
// loaded as data, a base derived from it as base, and then the report's
// figures, its page and the file are timed, and the differences of changed
// goods as the card reads them. The goal: the report of a 1M-row feed
// against a 1M-row base (about 150,000 changes) in under 1 s.
//
//   feedgen --rows 1000000 --out feed.csv
//   feedgen --base-from feed.csv --out base.csv --drop 0.05 --change 0.15 --add 0.03
//   reportbench feed.csv base.csv

#include <cstdio>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include "benchutil.h"
#include "catmodel.h"
#include "changedgoods.h"
#include "changereport.h"
#include "defaultgoodqueryobject.h"
#include "good.h"
#include "model.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: reportbench FEED BASE\n");
        return 2;
    }
    Model model;
    QElapsedTimer timer;
    timer.start();
    if (!model.AddFile(args.at(1)) || !model.AddFile(args.at(2), true)) {
        std::fprintf(stderr, "reportbench: loading failed: %s\n", qPrintable(model.LastError()));
        return 1;
    }
    const double load = Bench::Seconds(timer);
    const qint64 entries = model.Changes().Size();
    Bench::Say(QStringLiteral("loaded data and base in %1 s: %2 changed goods keep their base row, %3 bytes each "
                              "(%4 MB)")
                       .arg(load, 0, 'f', 2)
                       .arg(entries)
                       .arg(sizeof(ChangedGoods::Entry))
                       .arg(double(entries) * sizeof(ChangedGoods::Entry) / 1e6, 0, 'f', 1));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.html"));
    const Bench::CpuTimes cpu = Bench::Cpu();
    timer.restart();
    const ChangeReport::Figures figures = ChangeReport::Compute(model, nullptr, 50);
    const double compute = Bench::Seconds(timer);
    QString error;
    if (!ChangeReport::Write(path, figures, QLocale(QLocale::Russian, QLocale::Russia), &error)) {
        std::fprintf(stderr, "reportbench: %s\n", qPrintable(error));
        return 1;
    }
    const double total = Bench::Seconds(timer);
    Bench::Say(QStringLiteral("report of %1 goods (%2 added, %3 changed, %4 deleted): figures %5 s, written %6 s "
                              "(%7), %8 KB; %9")
                       .arg(figures.goods)
                       .arg(figures.added)
                       .arg(figures.changed)
                       .arg(figures.deleted)
                       .arg(compute, 0, 'f', 3)
                       .arg(total, 0, 'f', 3)
                       .arg(Bench::CpuSince(cpu))
                       .arg(QFileInfo(path).size() / 1024)
                       .arg(total < 1.0 ? QStringLiteral("PASS (< 1 s)") : QStringLiteral("FAIL (>= 1 s)")));
    Bench::Figure("report_seconds", total);
    Bench::Figure("report_figures_seconds", compute);

    // The card of a changed good: its row and its base row read and compared.
    QList<Good *> goods;
    DefaultGoodQueryObject query(&goods);
    model.Root().QueryGoods(&query, nullptr, true);
    QList<Good *> changed;
    for (Good *good : qAsConst(goods)) {
        if (good->status == Changed)
            changed.append(good);
    }
    if (!changed.isEmpty()) {
        Bench::Random rng(27);
        const int cards = 2000;
        qint64 differences = 0;
        timer.restart();
        for (int i = 0; i < cards; ++i)
            differences += model.ChangesOf(changed.at(int(rng.Below(quint32(changed.size()))))).size();
        const double perCard = Bench::Seconds(timer) * 1000.0 / cards;
        Bench::Say(QStringLiteral("card's old and new: %1 ms a good (%2 random changed goods, %3 differences); %4")
                           .arg(perCard, 0, 'f', 3)
                           .arg(cards)
                           .arg(differences)
                           .arg(perCard < 10 ? QStringLiteral("PASS (< 10 ms)") : QStringLiteral("FAIL (>= 10 ms)")));
        Bench::Figure("card_changes_ms", perCard);
    }
    return total < 1.0 ? 0 : 1;
}
