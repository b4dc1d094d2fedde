// The goods card of a changed good, grabbed into a PNG for the documentation
// (scripts/screenshots.sh runs it under the offscreen platform). It writes
// a small feed and its base, with a picture of its own read from a file,
// and shows the card of the good whose price and name changed.
//
//   QT_QPA_PLATFORM=offscreen cardshot OUT.png

#include <cstdio>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUrl>

#include "catmodel.h"
#include "defaultgoodqueryobject.h"
#include "good.h"
#include "goodviewdialog.h"
#include "model.h"

namespace {

bool WriteText(const QString &path, const QStringList &lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
    return file.flush();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: cardshot OUT.png\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("kettle.png"));
    {
        QImage image(480, 400, QImage::Format_RGB32);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        QLinearGradient sky(0, 0, 0, 400);
        sky.setColorAt(0, QColor(236, 239, 241));
        sky.setColorAt(1, QColor(207, 216, 220));
        painter.fillRect(image.rect(), sky);
        painter.setBrush(QColor(69, 90, 100));
        painter.setPen(Qt::NoPen);
        painter.drawRoundedRect(QRectF(140, 110, 200, 220), 40, 40);
        painter.drawRect(QRectF(120, 320, 240, 24));
        painter.setBrush(QColor(120, 144, 156));
        painter.drawRoundedRect(QRectF(330, 150, 60, 130), 30, 30);
        painter.setBrush(QColor(236, 239, 241));
        painter.drawRoundedRect(QRectF(345, 170, 30, 90), 15, 15);
        painter.setBrush(QColor(38, 50, 56));
        painter.drawRect(QRectF(190, 90, 100, 24));
        painter.end();
        image.save(picture);
    }
    const QString url = QUrl::fromLocalFile(picture).toString();
    const QString header = QStringLiteral(
            "name;price;oldprice;categoryId;vendor;url;picture;advcampaign_name;description");
    const QString feed = dir.filePath(QStringLiteral("feed.csv"));
    const QString base = dir.filePath(QStringLiteral("site.csv"));
    if (!WriteText(feed, {header,
                          "Чайник электрический Vitro 1,7 л;990;1290;Кухня/Чайники;Vitro;https://shop.example/k17;"
                                  + url + ";Уютный дом;Стеклянная колба, подсветка, автоотключение",
                          "Тостер Vitro T2;1490;;Кухня/Тостеры;Vitro;https://shop.example/t2;" + url
                                  + ";Уютный дом;Два отделения"})
        || !WriteText(base, {header,
                             "Чайник Vitro 1,7 л;1200;1290;Кухня/Чайники;Vitro;https://shop.example/k17;" + url
                                     + ";Уютный дом;Стеклянная колба, автоотключение",
                             "Тостер Vitro T2;1490;;Кухня/Тостеры;Vitro;https://shop.example/t2;" + url
                                     + ";Уютный дом;Два отделения"})) {
        std::fprintf(stderr, "cardshot: cannot write the feeds\n");
        return 1;
    }
    Model model;
    if (!model.AddFile(feed) || !model.AddFile(base, true)) {
        std::fprintf(stderr, "cardshot: %s\n", qPrintable(model.LastError()));
        return 1;
    }
    QList<Good *> goods;
    DefaultGoodQueryObject query(&goods);
    model.Root().QueryGoods(&query, nullptr, true);
    Good *changed = nullptr;
    for (Good *good : qAsConst(goods))
        changed = good->status == Changed ? good : changed;
    if (!changed) {
        std::fprintf(stderr, "cardshot: no changed good\n");
        return 1;
    }
    GoodViewDialog dialog(changed, nullptr, &model);
    dialog.resize(820, 560);
    dialog.show();
    auto *image = dialog.findChild<QLabel *>(QStringLiteral("image"));
    const QDeadlineTimer deadline(5000);
    while (image->pixmap(Qt::ReturnByValue).isNull() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    QCoreApplication::processEvents();
    if (!dialog.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cardshot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
