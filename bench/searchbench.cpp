// Times the search of the goods list: the walk that takes the goods passing
// the filter's other tests, then the search text tested against every good
// a slice at a time, as the window runs it, and the filter's own walk with
// the same text (what an export with a search text pays). Run by hand:
//
//   feedgen --rows 1000000 --out FEED.csv && searchbench FEED.csv [TEXT...]

#include <cstdio>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include "benchutil.h"
#include "catmodel.h"
#include "defaultgoodqueryobject.h"
#include "filter.h"
#include "goodsearch.h"
#include "model.h"

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    if (arguments.isEmpty()) {
        std::fprintf(stderr, "usage: searchbench FEED.csv [TEXT...]\n");
        return 2;
    }
    const QString feed = arguments.takeFirst();
    // An ASCII text, a Cyrillic one in other letters' case, and one found nowhere.
    if (arguments.isEmpty())
        arguments = QStringList{QStringLiteral("ab"), QStringLiteral("ПЛАТЬЕ"), QStringLiteral("zzzzzz")};

    Model model;
    QElapsedTimer timer;
    timer.start();
    if (!model.AddFile(feed)) {
        std::fprintf(stderr, "%s\n", qPrintable(model.LastError()));
        return 1;
    }
    Bench::Say(QStringLiteral("loaded %1 goods in %2 s").arg(model.Root().GoodCount(true)).arg(Bench::Seconds(timer)));

    for (const QString &text : qAsConst(arguments)) {
        Filter filter;
        filter.searchText = text;
        GoodSearch search;
        int slices = 0;
        const Bench::CpuTimes startCpu = Bench::Cpu();
        timer.restart();
        search.Start(&model.Root(), filter);
        const double walk = Bench::Seconds(timer);
        while (!search.Step(30))
            ++slices;
        const double whole = Bench::Seconds(timer);
        const double wholeCpu = Bench::CpuSecondsSince(startCpu);
        timer.restart();
        QList<Good *> walked;
        DefaultGoodQueryObject query(&walked);
        model.Root().QueryGoods(&query, &filter, true);
        const double filtered = Bench::Seconds(timer);
        Bench::Say(QStringLiteral("\"%1\": found %2; walk %3 s, search %4 s (processor %8 s) in %5 slices; "
                                  "filter walk %6 s (%7)")
                           .arg(text)
                           .arg(search.Found().size())
                           .arg(walk)
                           .arg(whole)
                           .arg(slices + 1)
                           .arg(filtered)
                           .arg(walked.size())
                           .arg(wholeCpu));
        Bench::Figure("search_s_" + text.toUtf8().toHex(), whole);
        Bench::Figure("search_cpu_s_" + text.toUtf8().toHex(), wholeCpu);
    }
    return 0;
}
