// Times the goods list: filling the goods model from the whole category
// tree, and painting screenfuls of cards through the goods delegate.
//
//   paintbench FEED.csv [SCREENFULS]
//   paintbench --rows N [SCREENFULS]     (writes a feed of N goods first)

#include "gooddelegate.h"
#include "mainwindow.h"
#include "goodview.h"
#include "goodviewmodel.h"

#include "catmodel.h"
#include "filter.h"
#include "model.h"

#include <cstdio>

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QNetworkProxy>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionViewItem>
#include <QTemporaryDir>

namespace {

// The main window, with its command for adding files reached without the
// file chooser. It writes its autosave beside this program when it closes.
class BenchWindow : public MainWindow
{
public:
    BenchWindow() : MainWindow(nullptr, nullptr) {}
    void Add(const QString &feed) { AddFiles(QStringList{feed}, false); }
    // Clicks the last category of the tree, whose goods lie at the end of
    // the goods list; false when the tree is empty.
    bool ClickLastCategory()
    {
        auto *tree = findChild<QAbstractItemView *>(QStringLiteral("catTreeView"));
        QAbstractItemModel *categories = tree ? tree->model() : nullptr;
        if (!categories || categories->rowCount() == 0)
            return false;
        QModelIndex index = categories->index(categories->rowCount() - 1, 0);
        while (categories->rowCount(index) > 0)
            index = categories->index(categories->rowCount(index) - 1, 0, index);
        catViewSelectionChanged(index);
        return true;
    }
};

constexpr int kScreenRows = 6; // cards of 166 pixels on a 1000-pixel list

double Ms(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

bool WriteFeed(const QString &path, int rows)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block = "name;price;oldprice;categoryId;vendor;id;picture;description;url\n";
    for (int i = 0; i < rows; ++i) {
        const QByteArray n = QByteArray::number(i);
        block += "Товар номер " + n + " с довольно длинным названием для переноса строк;"
                + QByteArray::number(100 + i % 9000) + (i % 3 ? ".50;" : ".00;")
                + (i % 4 ? QByteArray() : QByteArray::number(200 + i % 9000)) + ";"
                + "Раздел " + QByteArray::number(i % 20) + "/Подраздел " + QByteArray::number(i % 200) + ";"
                + "Производитель " + QByteArray::number(i % 50) + ";" + n + ";"
                + "http://127.0.0.1:9/p/" + QByteArray::number(i % 5000) + ".jpg;"
                + "Описание товара " + n + ", несколько слов о нём;http://127.0.0.1:9/item/" + n + "\n";
        if (block.size() > (1 << 20)) {
            file.write(block);
            block.clear();
        }
    }
    file.write(block);
    return file.error() == QFile::NoError;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The picture loader writes a debug line per failed picture: not here.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &message) {
        if (type != QtDebugMsg && type != QtInfoMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    // Picture requests of the cards must not leave the machine: they go to
    // a proxy that refuses them.
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), 9));

    QStringList args = app.arguments();
    args.removeFirst();
    QTemporaryDir dir;
    QString feed;
    if (args.size() >= 2 && args.first() == QLatin1String("--rows")) {
        const int rows = args.at(1).toInt();
        feed = dir.filePath(QStringLiteral("generated.csv"));
        if (rows <= 0 || !WriteFeed(feed, rows)) {
            std::fprintf(stderr, "cannot write a feed of %d goods\n", rows);
            return 1;
        }
        args = args.mid(2);
    } else if (!args.isEmpty()) {
        feed = args.takeFirst();
    } else {
        std::fprintf(stderr, "usage: paintbench FEED.csv [SCREENFULS] | --rows N [SCREENFULS]\n");
        return 2;
    }
    const int screenfuls = args.isEmpty() ? 200 : qMax(1, args.first().toInt());

    Model model;
    QElapsedTimer timer;
    timer.start();
    if (!model.AddFile(feed)) {
        std::fprintf(stderr, "%s\n", qPrintable(model.LastError()));
        return 1;
    }
    const int total = model.Root().GoodCount(true);
    std::printf("load: %d goods in %.1f ms\n", total, Ms(timer));
    if (total == 0)
        return 1;

    GoodViewModel goods;
    timer.restart();
    goods.Fill(&model.Root(), nullptr);
    std::printf("fill, one reset, whole lists: %.1f ms (%d rows)\n", Ms(timer), goods.rowCount());

    Filter perGood;
    perGood.priceLow = 0; // an active filter: every good is tested and added alone
    timer.restart();
    goods.Fill(&model.Root(), &perGood);
    std::printf("fill, one reset, good by good: %.1f ms (%d rows)\n", Ms(timer), goods.rowCount());

    goods.ClearGoods();
    timer.restart();
    model.Root().QueryGoods(&goods, &perGood, true);
    std::printf("fill as a visitor, a row insertion per good: %.1f ms (%d rows)\n", Ms(timer), goods.rowCount());

    goods.Fill(&model.Root(), nullptr);
    const int rows = goods.rowCount();
    GoodDelegate delegate;
    QImage screen(GoodDelegate::kWidth, GoodDelegate::kHeight * kScreenRows, QImage::Format_ARGB32_Premultiplied);
    QStyleOptionViewItem option;
    option.state = QStyle::State_Enabled;

    const auto paintScreen = [&](int first) {
        QPainter painter(&screen);
        for (int i = 0; i < kScreenRows && first + i < rows; ++i) {
            option.rect = QRect(0, i * GoodDelegate::kHeight, GoodDelegate::kWidth, GoodDelegate::kHeight);
            delegate.paint(&painter, option, goods.index(first + i));
        }
    };

    paintScreen(0); // polish the card and its fonts once
    timer.restart();
    for (int s = 0; s < screenfuls; ++s)
        paintScreen(0);
    std::printf("paint, the same screenful again: %.3f ms per screenful\n", Ms(timer) / screenfuls);

    // Screenfuls spread over the whole list, as when the scroll bar is dragged.
    const int step = qMax(1, (rows - kScreenRows) / screenfuls);
    timer.restart();
    int painted = 0;
    for (int first = 0; first + kScreenRows <= rows && painted < screenfuls; first += step, ++painted)
        paintScreen(first);
    std::printf("paint, screenfuls across the list: %.3f ms per screenful (%d screenfuls)\n",
                Ms(timer) / qMax(1, painted), painted);

    // Scrolling one card at a time: every card but one was painted before.
    timer.restart();
    painted = 0;
    for (int first = rows / 2; first + kScreenRows <= rows && painted < screenfuls; ++first, ++painted)
        paintScreen(first);
    std::printf("paint, scrolling card by card: %.3f ms per screenful\n", Ms(timer) / qMax(1, painted));

    // The whole view: layout of the list and a paint of what it shows.
    GoodView view;
    view.setItemDelegate(&delegate);
    view.resize(GoodDelegate::kWidth + 40, GoodDelegate::kHeight * kScreenRows);
    timer.restart();
    view.setModel(&goods);
    QImage viewImage(view.size(), QImage::Format_ARGB32_Premultiplied);
    view.render(&viewImage);
    std::printf("view: set model and first paint: %.1f ms\n", Ms(timer));
    timer.restart();
    for (int s = 0; s < screenfuls; ++s) {
        view.verticalScrollBar()->setValue(int(qint64(view.verticalScrollBar()->maximum()) * s / screenfuls));
        view.render(&viewImage);
    }
    std::printf("view: scroll and paint: %.3f ms per screenful\n", Ms(timer) / screenfuls);
    view.setModel(nullptr);

    // The window itself: the feed added through its command's worker, then
    // every view rebuilt from the catalogue, as after any command.
    {
        BenchWindow window;
        window.resize(1366, 768);
        timer.restart();
        window.Add(feed);
        std::printf("window: add the feed through its command (load and views): %.1f ms\n", Ms(timer));
        timer.restart();
        window.loadAllViews();
        std::printf("window: loadAllViews: %.1f ms\n", Ms(timer));
        QImage windowImage(window.size(), QImage::Format_ARGB32_Premultiplied);
        timer.restart();
        window.render(&windowImage);
        std::printf("window: first paint of the whole window: %.1f ms\n", Ms(timer));
        timer.restart();
        if (window.ClickLastCategory()) {
            window.render(&windowImage);
            std::printf("window: click the last category and paint: %.1f ms\n", Ms(timer));
        }
    }
    return 0;
}
