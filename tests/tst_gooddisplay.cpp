#include "gooddelegate.h"
#include "goodpropsview.h"
#include "goodview.h"
#include "goodviewdialog.h"
#include "goodviewmodel.h"
#include "goodwidget.h"
#include "imageloader.h"

#include "catmodel.h"
#include "defaultgoodqueryobject.h"
#include "good.h"
#include "ireader.h"
#include "model.h"
#include "replywatchdog.h"
#include "source.h"

#include "feedfile.h"
#include "httptestserver.h"

#include <QAbstractItemModelTester>
#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QImage>
#include <QPalette>
#include <QLabel>
#include <QLayout>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPainter>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTableView>
#include <QHelpEvent>
#include <QToolTip>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray Png(int width, int height, const QColor &colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

using Answer = HttpTestServer::Response;

Answer Picture(const QByteArray &body)
{
    return HttpTestServer::Ok(body, "image/png");
}

Answer Text(const QByteArray &body)
{
    return HttpTestServer::Ok(body, "text/plain");
}

Answer NotFound()
{
    return HttpTestServer::Status(404, "Not Found", "missing");
}

Q_DECLARE_METATYPE(HttpTestServer::Response)

class TestGoodDisplay : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void cardShowsFields_data();
    void cardShowsFields();
    void cardKeepsFieldsWhenRowUnreadable();
    void cardFitsEveryField_data();
    void cardFitsEveryField();
    void cardBackgrounds_data();
    void cardBackgrounds();
    void rowWithoutGoodIsNotDrawn();
    void cardTextsLastUntilListRepaints();
    void pictureArrivesAndCardIsRepainted();
    void twoCardsWithOneAddressDownloadOnce();
    void pictureDownloads_data();
    void pictureDownloads();
    void failedAddressRetriedAfterLaterSuccess();
    void picturesWaitTheirTurn();
    void oldPicturesLeaveTheCache();
    void cardWithoutPictureWaitsForNothing();
    void failedPictureSaysWhy_data();
    void failedPictureSaysWhy();
    void pictureAfterListRefilledRepaintsNewRow();
    void pictureForDestroyedModelGoesNowhere();
    void dialogListsProperties_data();
    void dialogListsProperties();
    void dialogShowsPicture_data();
    void dialogShowsPicture();
    void dialogShowsOldAndNew();

private:
    QString Feed(const QString &name, const QString &header, const QStringList &rows) const;
    Good *GoodNamed(Model &model, const QString &name) const;
    QImage Paint(GoodDelegate &delegate, const QModelIndex &index, bool selected = false) const;

    QTemporaryDir *m_dir = nullptr;
    HttpTestServer *m_server = nullptr;
    Model *m_model = nullptr;
};

QString TestGoodDisplay::Feed(const QString &name, const QString &header, const QStringList &rows) const
{
    return WriteFeed(QDir(m_dir->path()), name, QStringList{header} + rows);
}

Good *TestGoodDisplay::GoodNamed(Model &model, const QString &name) const
{
    QList<Good *> goods;
    DefaultGoodQueryObject query(&goods);
    model.Root().QueryGoods(&query, nullptr, true);
    for (Good *good : qAsConst(goods)) {
        if (good->Name(good->Row()) == name)
            return good;
    }
    return nullptr;
}

QImage TestGoodDisplay::Paint(GoodDelegate &delegate, const QModelIndex &index, bool selected) const
{
    QImage image(GoodDelegate::kWidth, GoodDelegate::kHeight, QImage::Format_RGB32);
    image.fill(Qt::green);
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, GoodDelegate::kWidth, GoodDelegate::kHeight);
    option.state = QStyle::State_Enabled | (selected ? QStyle::State_Selected : QStyle::State_None);
    QPainter painter(&image);
    delegate.paint(&painter, option, index);
    return image;
}

void TestGoodDisplay::initTestCase()
{
    qRegisterMetaType<QNetworkReply *>();
    // A picture host that never answers is given up on within a second.
    ReplyWatchdog::Limits limits;
    limits.answerMs = 1000;
    ReplyWatchdog::SetDefaults(limits);
}

void TestGoodDisplay::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_server = new HttpTestServer;
    QVERIFY(m_server->isListening());
    m_server->Set("/red.png", {Picture(Png(300, 260, Qt::red))});
    m_server->Set("/blue.png", {Picture(Png(100, 100, Qt::blue))});
    m_server->Set("/text", {Text("это не картинка")});

    const QString red = m_server->Url(QStringLiteral("/red.png"));
    const QString feed = Feed(
            QStringLiteral("shop.csv"),
            QStringLiteral("name;price;oldprice;categoryId;vendor;advcampaign_name;id;idTpl;picture;description"),
            {
                QStringLiteral("Сапоги кожаные;1999.90;2500;Обувь/Сапоги;Alpha;Shop;17;[a]-[i];%1 %2;Тёплые")
                        .arg(red, m_server->Url(QStringLiteral("/blue.png"))),
                QStringLiteral("Туфли;abc;;Обувь/Туфли;;Shop;18;[i];%1;").arg(red),
                QStringLiteral("Кеды;150;;Обувь;Beta;Shop;19;[a]-[i];%1;").arg(m_server->Url(QStringLiteral("/text"))),
                QStringLiteral("Сандалии;80;;Обувь;Beta;Shop;20;[i];%1;")
                        .arg(m_server->Url(QStringLiteral("/missing.png"))),
                QStringLiteral("Валенки;90;;Обувь;;Shop;21;[i];;"),
                QStringLiteral("Ботинки;70;;Обувь;;Shop;22;;;"),
                QStringLiteral("Калоши;60;;Обувь;;Shop;;;;"),
            });
    m_model = new Model;
    QVERIFY2(m_model->AddFile(feed), qPrintable(m_model->LastError()));
    QCOMPARE(m_model->Root().GoodCount(true), 7);
}

void TestGoodDisplay::cleanup()
{
    delete m_model;
    m_model = nullptr;
    delete m_server;
    m_server = nullptr;
    delete m_dir;
    m_dir = nullptr;
}

void TestGoodDisplay::cardShowsFields_data()
{
    QTest::addColumn<QString>("good");
    QTest::addColumn<bool>("ghostTop");
    QTest::addColumn<int>("status"); // -1: as loaded
    QTest::addColumn<QStringList>("fields"); // name, price, oldprice, category, vendor, source, id, status

    // A template of the feed's own shows the identity it makes; a missing
    // price shows nothing, not the -1 that stands for it inside.
    QTest::newRow("all fields") << "Сапоги кожаные" << false << -1
                                << QStringList{"Сапоги кожаные", "1999", "2500", "Обувь/Сапоги", "Alpha", "Shop",
                                               "Shop-17", "Добавлен"};
    QTest::newRow("path differs from raw category")
            << "Сапоги кожаные" << true << -1
            << QStringList{"Сапоги кожаные", "1999", "2500", "Сапоги (Обувь/Сапоги)", "Alpha", "Shop", "Shop-17",
                           "Добавлен"};
    QTest::newRow("no prices, no vendor")
            << "Туфли" << false << -1 << QStringList{"Туфли", "", "", "Обувь/Туфли", "", "Shop", "18", "Добавлен"};
    QTest::newRow("identity by offer and id")
            << "Ботинки" << false << 1
            << QStringList{"Ботинки", "70", "", "Обувь", "", "Shop", "по магазину и id: 22", "Изменён"};
    QTest::newRow("identity by offer and name")
            << "Калоши" << false << 2
            << QStringList{"Калоши", "60", "", "Обувь", "", "Shop", "по магазину и названию: Калоши", "Удалён"};
    QTest::newRow("unknown status") << "Кеды" << false << 7
                                    << QStringList{"Кеды", "150", "", "Обувь", "Beta", "Shop", "Shop-19", "Ошибка"};
}

void TestGoodDisplay::cardShowsFields()
{
    QFETCH(QString, good);
    QFETCH(bool, ghostTop);
    QFETCH(int, status);
    QFETCH(QStringList, fields);

    Good *shown = GoodNamed(*m_model, good);
    QVERIFY(shown);
    if (ghostTop)
        m_model->Root().FindChild(QStringLiteral("Обувь"))->ToggleGhost();
    if (status >= 0)
        shown->status = status;

    GoodWidget card;
    card.SetGood(shown, QModelIndex());
    const QStringList names = {"name", "price", "oldprice", "category", "vendor", "source", "id", "status"};
    for (int i = 0; i < names.size(); ++i) {
        auto *label = card.findChild<QLabel *>(names.at(i));
        QVERIFY2(label, qPrintable(names.at(i)));
        QCOMPARE(label->text(), fields.at(i));
    }
}

void TestGoodDisplay::cardKeepsFieldsWhenRowUnreadable()
{
    GoodWidget card;
    card.SetGood(GoodNamed(*m_model, QStringLiteral("Кеды")), QModelIndex());
    Good *other = GoodNamed(*m_model, QStringLiteral("Туфли"));

    // A save on another thread owns the reader: this thread reads empty rows.
    QThread saver;
    other->source->reader->SetOwnerThread(&saver);
    card.SetGood(other, QModelIndex());
    other->source->reader->SetOwnerThread(nullptr);

    QCOMPARE(card.findChild<QLabel *>(QStringLiteral("name"))->text(), QStringLiteral("Кеды"));
    QCOMPARE(card.findChild<QLabel *>(QStringLiteral("price"))->text(), QStringLiteral("150"));
}

void TestGoodDisplay::cardFitsEveryField_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("url");

    QTest::newRow("short values") << "Валенки" << "http://shop.test/1";
    // A name that wraps once and an identity far wider than the card.
    QTest::newRow("long values")
            << "Набор инструментов для дома и сада в чемодане с колёсами, сто сорок два предмета"
            << "http://shop.test/catalog/tools/garden/sets/very-long-product-address-that-never-ends-0142.html";
}

void TestGoodDisplay::cardFitsEveryField()
{
    QFETCH(QString, name);
    QFETCH(QString, url);

    Model model;
    QVERIFY(model.AddFile(Feed(QStringLiteral("long.csv"), QStringLiteral("name;price;categoryId;url"),
                                    {QStringLiteral("%1;100;Инструменты;%2").arg(name, url)})));
    GoodWidget card;
    card.SetGood(GoodNamed(model, name), QModelIndex());
    card.resize(GoodDelegate::kWidth, GoodDelegate::kHeight);
    card.layout()->activate();

    // The delegate draws every row in one fixed size: the card must not
    // need more (a card without a parent grows to its layout's minimum),
    // and every field must lie inside it.
    QCOMPARE(card.size(), QSize(GoodDelegate::kWidth, GoodDelegate::kHeight));
    const QRect inside(QPoint(0, 0), card.size());
    const QStringList names = {"name", "price", "oldprice", "category", "vendor", "source", "id", "status"};
    for (const QString &field : names) {
        const QLabel *label = card.findChild<QLabel *>(field);
        QVERIFY2(inside.contains(label->geometry()), qPrintable(field));
    }
}

void TestGoodDisplay::cardBackgrounds_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QColor>("background");

    // The palette's colours, under the palette's text colour: a dark theme
    // stays readable.
    const QPalette palette = QGuiApplication::palette();
    QTest::newRow("first row") << 0 << false << palette.color(QPalette::Base);
    QTest::newRow("second row") << 1 << false << palette.color(QPalette::AlternateBase);
    QTest::newRow("third row") << 2 << false << palette.color(QPalette::Base);
    QTest::newRow("selected even row") << 2 << true << palette.color(QPalette::Button);
    QTest::newRow("selected odd row") << 3 << true << palette.color(QPalette::Button);
}

void TestGoodDisplay::cardBackgrounds()
{
    QFETCH(int, row);
    QFETCH(bool, selected);
    QFETCH(QColor, background);

    GoodViewModel goods;
    goods.Fill(&m_model->Root(), nullptr);
    GoodDelegate delegate;
    QCOMPARE(delegate.sizeHint(QStyleOptionViewItem(), goods.index(row)), QSize(600, 166));

    const QImage image = Paint(delegate, goods.index(row), selected);
    // The corners lie outside every label of the card.
    QCOMPARE(QColor(image.pixel(0, 0)), background);
    QCOMPARE(QColor(image.pixel(image.width() - 1, image.height() - 1)), background);
    QCOMPARE(QColor(image.pixel(image.width() - 1, 0)), background);
    // The texts are drawn on it.
    int inked = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 160; x < image.width(); ++x)
            inked += QColor(image.pixel(x, y)) != background ? 1 : 0;
    }
    QVERIFY(inked > 100);
}

void TestGoodDisplay::rowWithoutGoodIsNotDrawn()
{
    QStringListModel texts({QStringLiteral("не товар")});
    GoodViewModel goods;
    GoodDelegate delegate;
    for (const QModelIndex &index : {texts.index(0), goods.index(0), QModelIndex()}) {
        const QImage image = Paint(delegate, index);
        QImage untouched(image.size(), image.format());
        untouched.fill(Qt::green);
        QCOMPARE(image, untouched);
    }
}

void TestGoodDisplay::cardTextsLastUntilListRepaints()
{
    GoodViewModel goods;
    goods.Fill(&m_model->Root(), nullptr);
    GoodDelegate delegate;
    const QModelIndex index = goods.IndexOfGood(GoodNamed(*m_model, QStringLiteral("Сапоги кожаные")));
    const QImage before = Paint(delegate, index);

    // A paint does not read the row again: the card keeps what it showed...
    m_model->Root().FindChild(QStringLiteral("Обувь"))->ToggleGhost();
    QCOMPARE(Paint(delegate, index), before);
    // ...until the list says its goods changed, as the window does after a
    // ghost toggle or an offer's new name.
    goods.RepaintAll();
    QVERIFY(Paint(delegate, index) != before);
}

void TestGoodDisplay::pictureArrivesAndCardIsRepainted()
{
    GoodViewModel goods;
    goods.Fill(&m_model->Root(), nullptr);
    GoodView view;
    view.setModel(&goods);
    GoodDelegate delegate;
    const QModelIndex index = goods.IndexOfGood(GoodNamed(*m_model, QStringLiteral("Сапоги кожаные")));
    QVERIFY(index.isValid());
    QSignalSpy changed(&goods, &QAbstractItemModel::dataChanged);

    // Picture area: 150 × 130 at the card's left, centred vertically.
    const QPoint pictureCentre(9 + 75, GoodDelegate::kHeight / 2);
    QImage image = Paint(delegate, index);
    QVERIFY(QColor(image.pixel(pictureCentre)) != QColor(Qt::red));

    QVERIFY(changed.wait());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(0).toModelIndex(), index);
    QCOMPARE(changed.first().at(1).toModelIndex(), index);

    image = Paint(delegate, index);
    QCOMPARE(QColor(image.pixel(pictureCentre)), QColor(Qt::red));
    QCOMPARE(m_server->Hits("/red.png"), 1);
    QCOMPARE(m_server->Hits("/blue.png"), 0);
}

void TestGoodDisplay::twoCardsWithOneAddressDownloadOnce()
{
    GoodViewModel goods;
    goods.Fill(&m_model->Root(), nullptr);
    GoodWidget card;
    const QModelIndex first = goods.IndexOfGood(GoodNamed(*m_model, QStringLiteral("Сапоги кожаные")));
    const QModelIndex second = goods.IndexOfGood(GoodNamed(*m_model, QStringLiteral("Туфли")));
    QSignalSpy changed(&goods, &QAbstractItemModel::dataChanged);

    card.SetGood(goods.index(first.row()).data().value<Good *>(), first);
    auto *picture = card.findChild<QLabel *>(QStringLiteral("image"));
    QCOMPARE(picture->text(), QStringLiteral("Загрузка..."));
    QVERIFY(picture->pixmap(Qt::ReturnByValue).isNull());
    card.SetGood(goods.index(second.row()).data().value<Good *>(), second);
    card.SetGood(goods.index(second.row()).data().value<Good *>(), second);

    // Both cards on screen get their repaint.
    while (changed.count() < 2)
        QVERIFY(changed.wait());
    QSet<int> rows;
    for (const QList<QVariant> &signal : qAsConst(changed))
        rows.insert(signal.at(0).toModelIndex().row());
    QCOMPARE(rows, (QSet<int>{first.row(), second.row()}));

    card.SetGood(goods.index(second.row()).data().value<Good *>(), second);
    QVERIFY(!picture->pixmap(Qt::ReturnByValue).isNull());
    QCOMPARE(picture->pixmap(Qt::ReturnByValue).size(), QSize(150, 130));
    QVERIFY(picture->text().isEmpty());
    QCOMPARE(m_server->Hits("/red.png"), 1);
}

void TestGoodDisplay::pictureDownloads_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QList<Answer>>("answers");
    QTest::addColumn<bool>("loaded");  // ImageLoaded is emitted
    QTest::addColumn<QSize>("size");   // of the cached picture; empty: a null picture

    const QSize none;
    QTest::newRow("scaled down") << QByteArray("/big.png")
                                 << QList<Answer>{Picture(Png(300, 260, Qt::red))}
                                 << true << QSize(150, 130);
    QTest::newRow("scaled up to fit") << QByteArray("/small.png")
                                      << QList<Answer>{Picture(Png(100, 100, Qt::blue))}
                                      << true << QSize(130, 130);
    QTest::newRow("wide") << QByteArray("/wide.png")
                          << QList<Answer>{Picture(Png(600, 100, Qt::blue))} << true
                          << QSize(150, 25);
    QTest::newRow("not an image") << QByteArray("/page")
                                  << QList<Answer>{Text("<html>нет</html>")} << true
                                  << none;
    QTest::newRow("missing") << QByteArray("/gone.png") << QList<Answer>{NotFound()}
                             << false << none;
    QTest::newRow("redirected") << QByteArray("/moved.png")
                                << QList<Answer>{HttpTestServer::Redirect("/big.png")} << true
                                << QSize(150, 130);
}

void TestGoodDisplay::pictureDownloads()
{
    QFETCH(QByteArray, path);
    QFETCH(QList<Answer>, answers);
    QFETCH(bool, loaded);
    QFETCH(QSize, size);

    m_server->Set(path, answers);
    m_server->Set("/big.png", {Picture(Png(300, 260, Qt::red))});
    ImageLoader loader;
    auto *manager = loader.findChild<QNetworkAccessManager *>();
    QVERIFY(manager);
    QSignalSpy finished(manager, &QNetworkAccessManager::finished);
    QSignalSpy arrived(&loader, &ImageLoader::ImageLoaded);

    const QString url = m_server->Url(QString::fromLatin1(path));
    loader.Request(url, QModelIndex());
    QVERIFY(finished.wait());
    QCOMPARE(arrived.count(), loaded ? 1 : 0);
    // Whatever shows no picture says why.
    QCOMPARE(loader.Failure(url).isEmpty(), !size.isEmpty());
    if (!loaded) {
        QVERIFY(!loader.Cached(url));
        return;
    }
    QCOMPARE(arrived.first().at(1).toString(), url);
    const QPixmap *cached = loader.Cached(url);
    QVERIFY(cached);
    QCOMPARE(cached->isNull(), size.isEmpty());
    if (!size.isEmpty())
        QCOMPARE(cached->size(), size);
    QCOMPARE(arrived.first().at(0).value<QPixmap>().cacheKey(), cached->cacheKey());

    // Never asked for again.
    const int replies = manager->findChildren<QNetworkReply *>().size();
    loader.Request(url, QModelIndex());
    QCOMPARE(manager->findChildren<QNetworkReply *>().size(), replies);
    QCOMPARE(m_server->Hits(path), 1);
}

void TestGoodDisplay::failedAddressRetriedAfterLaterSuccess()
{
    m_server->Set("/flaky.png", {NotFound(), Picture(Png(30, 26, Qt::red))});
    ImageLoader loader;
    auto *manager = loader.findChild<QNetworkAccessManager *>();
    QSignalSpy finished(manager, &QNetworkAccessManager::finished);
    QSignalSpy arrived(&loader, &ImageLoader::ImageLoaded);
    const QString flaky = m_server->Url(QStringLiteral("/flaky.png"));
    const QString red = m_server->Url(QStringLiteral("/red.png"));

    loader.Request(flaky, QModelIndex());
    QVERIFY(finished.wait());
    QVERIFY(!loader.Cached(flaky));
    QCOMPARE(arrived.count(), 0);

    // A failed address waits for some download to succeed.
    int replies = manager->findChildren<QNetworkReply *>().size();
    loader.Request(flaky, QModelIndex());
    QCOMPARE(manager->findChildren<QNetworkReply *>().size(), replies);

    loader.Request(red, QModelIndex());
    QVERIFY(arrived.wait());
    QCOMPARE(arrived.last().at(1).toString(), red);

    replies = manager->findChildren<QNetworkReply *>().size();
    loader.Request(flaky, QModelIndex());
    QCOMPARE(manager->findChildren<QNetworkReply *>().size(), replies + 1);
    QVERIFY(arrived.wait());
    QCOMPARE(arrived.last().at(1).toString(), flaky);
    QVERIFY(loader.Cached(flaky) && !loader.Cached(flaky)->isNull());
    QCOMPARE(m_server->Hits("/flaky.png"), 2);
}

void TestGoodDisplay::picturesWaitTheirTurn()
{
    // Six slow pictures hold every connection the network layer opens to
    // the server for longer than a server may take to answer; the seventh
    // waits its turn in the loader, where its time to answer does not run.
    const QByteArray png = Png(30, 26, Qt::red);
    ImageLoader loader;
    QSignalSpy arrived(&loader, &ImageLoader::ImageLoaded);
    QSignalSpy failed(&loader, &ImageLoader::ImageFailed);
    for (int i = 0; i < ImageLoader::kParallelPerServer; ++i) {
        const QByteArray path = "/slow" + QByteArray::number(i) + ".png";
        m_server->Set(path, {HttpTestServer::Drip(png, qMax(1, png.size() / 20), 100)});
        loader.Request(m_server->Url(QString::fromLatin1(path)), QModelIndex());
    }
    const QString last = m_server->Url(QStringLiteral("/blue.png"));
    loader.Request(last, QModelIndex());
    QTRY_COMPARE_WITH_TIMEOUT(arrived.count() + failed.count(), ImageLoader::kParallelPerServer + 1, 20000);
    QCOMPARE(failed.count(), 0);
    // It started only when a slow one had finished: never the first to come.
    int at = -1;
    for (int i = 0; i < arrived.count(); ++i) {
        if (arrived.at(i).at(1).toString() == last)
            at = i;
    }
    QVERIFY2(at > 0, qPrintable(QString::number(at)));
}

void TestGoodDisplay::oldPicturesLeaveTheCache()
{
    // Only the last pictures stay; one that left is downloaded again.
    ImageLoader loader(nullptr, 2);
    QSignalSpy arrived(&loader, &ImageLoader::ImageLoaded);
    QStringList urls;
    for (int i = 0; i < 3; ++i) {
        const QByteArray path = "/kept" + QByteArray::number(i) + ".png";
        m_server->Set(path, {Picture(Png(20, 20, Qt::blue))});
        urls << m_server->Url(QString::fromLatin1(path));
        loader.Request(urls.last(), QModelIndex());
        QVERIFY(arrived.wait());
    }
    QVERIFY(!loader.Cached(urls.at(0)));
    QVERIFY(loader.Cached(urls.at(1)) && loader.Cached(urls.at(2)));
    loader.Request(urls.at(0), QModelIndex());
    QVERIFY(arrived.wait());
    QVERIFY(loader.Cached(urls.at(0)));
    QVERIFY(!loader.Cached(urls.at(1)));
    QCOMPARE(m_server->Hits("/kept0.png"), 2);
    QCOMPARE(m_server->Hits("/kept2.png"), 1);
}

void TestGoodDisplay::cardWithoutPictureWaitsForNothing()
{
    GoodWidget card;
    auto *picture = card.findChild<QLabel *>(QStringLiteral("image"));
    card.SetGood(GoodNamed(*m_model, QStringLiteral("Валенки")), QModelIndex());
    QCOMPARE(picture->text(), QStringLiteral("Нет изображения"));
    QVERIFY(picture->pixmap(Qt::ReturnByValue).isNull());
    QCOMPARE(m_server->TotalHits(), 0);
}

void TestGoodDisplay::failedPictureSaysWhy_data()
{
    QTest::addColumn<QString>("good");
    QTest::addColumn<QString>("reason"); // a part of the tooltip
    QTest::addColumn<bool>("silent");    // the picture's server never answers

    QTest::newRow("not found") << "Сандалии" << "missing.png" << false;
    QTest::newRow("not a picture") << "Кеды" << "/text" << false;
    QTest::newRow("no answer") << "Сандалии" << "нет ответа 1 с" << true;
}

void TestGoodDisplay::failedPictureSaysWhy()
{
    QFETCH(QString, good);
    QFETCH(QString, reason);
    QFETCH(bool, silent);
    if (silent)
        m_server->Set("/missing.png", HttpTestServer::Silent());

    GoodViewModel goods;
    goods.Fill(&m_model->Root(), nullptr);
    GoodView view;
    view.setModel(&goods);
    view.resize(GoodDelegate::kWidth, GoodDelegate::kHeight * 3);
    auto *delegate = new GoodDelegate(&view);
    view.setItemDelegate(delegate);
    const QModelIndex index = goods.IndexOfGood(GoodNamed(*m_model, good));
    QSignalSpy changed(&goods, &QAbstractItemModel::dataChanged);

    // Not "Загрузка..." for ever: once the answer is in, the card says so.
    GoodWidget card;
    auto *picture = card.findChild<QLabel *>(QStringLiteral("image"));
    card.SetGood(GoodNamed(*m_model, good), index);
    QCOMPARE(picture->text(), QStringLiteral("Загрузка..."));
    QVERIFY(changed.wait());
    card.SetGood(GoodNamed(*m_model, good), index);
    QCOMPARE(picture->text(), QStringLiteral("Нет изображения"));

    changed.clear();
    Paint(*delegate, index);
    QVERIFY(changed.wait());
    Paint(*delegate, index);
    // The tooltip over the picture gives the reason.
    QStyleOptionViewItem option;
    option.rect = QRect(0, 0, GoodDelegate::kWidth, GoodDelegate::kHeight);
    QHelpEvent help(QEvent::ToolTip, QPoint(80, 80), view.viewport()->mapToGlobal(QPoint(80, 80)));
    QVERIFY(delegate->helpEvent(&help, &view, option, index));
    QVERIFY2(QToolTip::text().contains(reason), qPrintable(QToolTip::text()));
}

void TestGoodDisplay::pictureAfterListRefilledRepaintsNewRow()
{
    GoodViewModel goods;
    QAbstractItemModelTester tester(&goods, QAbstractItemModelTester::FailureReportingMode::QtTest);
    goods.Fill(&m_model->Root(), nullptr);
    Good *good = GoodNamed(*m_model, QStringLiteral("Сапоги кожаные"));
    GoodWidget card;
    card.SetGood(good, goods.IndexOfGood(good));

    // The list is refilled while the picture is on its way; the good now
    // sits in another row.
    goods.ClearGoods();
    goods.AddGood(GoodNamed(*m_model, QStringLiteral("Кеды")));
    goods.AddGood(good);
    const QModelIndex now = goods.index(1);
    QSignalSpy changed(&goods, &QAbstractItemModel::dataChanged);
    card.SetGood(good, now);

    QVERIFY(changed.wait());
    for (const QList<QVariant> &signal : qAsConst(changed))
        QCOMPARE(signal.at(0).toModelIndex(), now);
    QCOMPARE(m_server->Hits("/red.png"), 1);
}

void TestGoodDisplay::pictureForDestroyedModelGoesNowhere()
{
    auto *goods = new GoodViewModel;
    goods->Fill(&m_model->Root(), nullptr);
    ImageLoader loader;
    QSignalSpy arrived(&loader, &ImageLoader::ImageLoaded);
    loader.Request(m_server->Url(QStringLiteral("/red.png")), goods->index(0));
    delete goods;

    QVERIFY(arrived.wait());
    QVERIFY(!arrived.first().at(2).toModelIndex().isValid());
}

void TestGoodDisplay::dialogListsProperties_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("row");
    QTest::addColumn<bool>("unreadable");
    QTest::addColumn<QStringList>("properties");

    // The window's captions for the columns it knows, the feed's names for
    // the others; the identity and the status as the card shows them.
    QTest::newRow("every column")
            << "name;price;oldprice;categoryId;vendor;advcampaign_name;description;id;extra"
            << "Дрель;1999.90;2100;Инструменты/Дрели;Bosch;Shop;Мощная;D-1;x" << false
            << QStringList{"Название=Дрель", "Цена=1999", "Старая цена=2100", "Категория=Инструменты/Дрели",
                           "Производитель=Bosch", "Источник=Shop", "Описание=Мощная",
                           "Идентификатор=по магазину и id: D-1", "Статус=Добавлен", "Код товара=D-1", "extra=x"};
    QTest::newRow("columns in another order")
            << "extra;id;price;name;categoryId;advcampaign_name" << "x;D-2;15.5;Пила;Инструменты;Shop" << false
            << QStringList{"Название=Пила", "Цена=15", "Категория=Инструменты", "Источник=Shop",
                           "Идентификатор=по магазину и id: D-2", "Статус=Добавлен", "extra=x", "Код товара=D-2"};
    QTest::newRow("no price given")
            << "name;price;categoryId" << "Гвозди;;Инструменты" << false
            << QStringList{"Название=Гвозди", "Цена=", "Категория=Инструменты", "Источник=dialog",
                           "Идентификатор=по магазину и названию: Гвозди", "Статус=Добавлен"};
    QTest::newRow("row cannot be read")
            << "name;price;oldprice;categoryId;vendor;advcampaign_name;id" << "Дрель;1999.90;2100;Инструменты;Bosch;Shop;D-1"
            << true << QStringList{"Цена=1999", "Старая цена=2100", "Категория=Инструменты", "Источник=Shop",
                                   "Статус=Добавлен"};
}

void TestGoodDisplay::dialogListsProperties()
{
    QFETCH(QString, header);
    QFETCH(QString, row);
    QFETCH(bool, unreadable);
    QFETCH(QStringList, properties);

    Model model;
    QVERIFY2(model.AddFile(Feed(QStringLiteral("dialog.csv"), header, {row})), qPrintable(model.LastError()));
    QList<Good *> goods;
    DefaultGoodQueryObject query(&goods);
    model.Root().QueryGoods(&query, nullptr, true);
    QCOMPARE(goods.size(), 1);

    QThread saver;
    if (unreadable)
        goods.first()->source->reader->SetOwnerThread(&saver);
    GoodViewDialog dialog(goods.first());
    goods.first()->source->reader->SetOwnerThread(nullptr);

    const GoodPropsView *view = dialog.Properties();
    QVERIFY(view);
    QAbstractItemModelTester tester(const_cast<GoodPropsView *>(view), QAbstractItemModelTester::FailureReportingMode::QtTest);
    QStringList actual;
    for (int i = 0; i < view->rowCount(); ++i)
        actual << view->index(i, 0).data().toString() + QLatin1Char('=') + view->index(i, 1).data().toString();
    QCOMPARE(actual, properties);
    QCOMPARE(view->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Свойство"));
    QCOMPARE(view->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Значение"));
    QVERIFY(!view->headerData(0, Qt::Vertical).isValid());
    QVERIFY(!(view->flags(view->index(0, 1)) & Qt::ItemIsEditable));

    auto *table = dialog.findChild<QTableView *>(QStringLiteral("tableView"));
    QCOMPARE(table->model(), view);
    QCOMPARE(table->editTriggers(), QAbstractItemView::NoEditTriggers);
    // Values can be selected and copied.
    QCOMPARE(table->selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(table->verticalHeader()->isHidden());
}

void TestGoodDisplay::dialogShowsPicture_data()
{
    QTest::addColumn<QString>("good");
    QTest::addColumn<bool>("arrives");

    QTest::newRow("picture") << "Сапоги кожаные" << true;
    QTest::newRow("picture not found") << "Сандалии" << false;
}

void TestGoodDisplay::dialogShowsPicture()
{
    QFETCH(QString, good);
    QFETCH(bool, arrives);

    GoodViewDialog dialog(GoodNamed(*m_model, good));
    auto *picture = dialog.findChild<QLabel *>(QStringLiteral("image"));
    QCOMPARE(picture->text(), QStringLiteral("Загрузка..."));
    dialog.show();
    if (arrives) {
        // The picture (300 × 260) fits the room it has, and grows with the
        // dialog up to its own size.
        QTRY_VERIFY(!picture->pixmap(Qt::ReturnByValue).isNull());
        QVERIFY(picture->pixmap(Qt::ReturnByValue).width() < 300);
        dialog.resize(1400, 1000);
        QTRY_COMPARE(picture->pixmap(Qt::ReturnByValue).size(), QSize(300, 260));
    } else {
        QTRY_COMPARE(picture->text(), QStringLiteral("Нет изображения"));
        QVERIFY2(picture->toolTip().contains(QLatin1String("missing.png")), qPrintable(picture->toolTip()));
    }
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Просмотр товара"));
    QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
}

void TestGoodDisplay::dialogShowsOldAndNew()
{
    Model model;
    const QString header = QStringLiteral("name;price;categoryId;url");
    QVERIFY(model.AddFile(Feed(QStringLiteral("fresh.csv"), header, {"Чайник;990;X;u1", "Кружка;100;X;u2"})));
    QVERIFY(model.AddFile(Feed(QStringLiteral("site.csv"), header, {"Чайник старый;1200;X;u1", "Ложка;50;X;u3"}),
                          true));

    // Every compared column that differs, old and new, amounts as the
    // interface writes them; the category, not compared, is not listed.
    GoodViewDialog dialog(GoodNamed(model, QStringLiteral("Чайник")), nullptr, &model);
    const QString changes = dialog.findChild<QLabel *>(QStringLiteral("changes"))->text();
    const QString nbsp(QChar(0x00A0));
    QVERIFY2(changes.contains(QStringLiteral("Цена: 1") + nbsp + QStringLiteral("200 → 990 (−17,5") + nbsp
                              + QStringLiteral("%)")),
             qPrintable(changes));
    QVERIFY2(changes.contains(QStringLiteral("Название: Чайник старый → Чайник")), qPrintable(changes));
    QCOMPARE(changes.count(QLatin1Char('\n')), 2);
    const GoodPropsView *properties = dialog.Properties();
    QStringList marked;
    for (int row = 0; row < properties->rowCount(); ++row) {
        if (properties->IsMarked(row))
            marked << properties->index(row, 0).data().toString();
    }
    QCOMPARE(marked, (QStringList{"Название", "Цена"}));

    // The values are selectable, and copied a row a line.
    auto *table = dialog.findChild<QTableView *>(QStringLiteral("tableView"));
    table->selectionModel()->select(QItemSelection(properties->index(0, 0), properties->index(1, 1)),
                                    QItemSelectionModel::Select);
    dialog.CopySelection();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("Название\tЧайник\nЦена\t990"));

    // A good only the site holds says so; an added one says nothing.
    GoodViewDialog deleted(GoodNamed(model, QStringLiteral("Ложка")), nullptr, &model);
    QVERIFY(deleted.findChild<QLabel *>(QStringLiteral("changes"))
                    ->text()
                    .contains(QStringLiteral("только в базе site")));
    GoodViewDialog added(GoodNamed(model, QStringLiteral("Кружка")), nullptr, &model);
    QVERIFY(added.findChild<QLabel *>(QStringLiteral("changes"))->isHidden());
}

QTEST_MAIN(TestGoodDisplay)
#include "tst_gooddisplay.moc"
