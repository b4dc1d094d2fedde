#include "categoryviewmodel.h"
#include "goodviewmodel.h"
#include "ioviewmodel.h"
#include "offerviewmodel.h"

#include "catmodel.h"
#include "defaultgoodqueryobject.h"
#include "filter.h"
#include "good.h"
#include "model.h"

#include "feedfile.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QFile>
#include <QGuiApplication>
#include <QPalette>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kHeader = QStringLiteral("name;price;oldprice;categoryId;vendor;id");

// Two feeds with one top-level category each, so that both land directly
// below the root:
//   Обувь (3)   Сапоги (2)   Зимние (1)   Туфли (1)
//   Одежда      Платья (2)   Куртки (1)
const QStringList kShoes = {
    QStringLiteral("Кеды;100;;Обувь;Alpha;1"),
    QStringLiteral("Шлёпанцы;50;;Обувь;Beta;2"),
    QStringLiteral("Тапочки;;;Обувь;;3"),
    QStringLiteral("Сапоги кожаные;300;400;Обувь/Сапоги;Alpha;4"),
    QStringLiteral("Сапоги резиновые;200;;Обувь/Сапоги;Beta;5"),
    QStringLiteral("Валенки;250;;Обувь/Сапоги/Зимние;Alpha;6"),
    QStringLiteral("Туфли;150;;Обувь/Туфли;Beta;7"),
};
const QStringList kClothes = {
    QStringLiteral("Платье летнее;500;;Одежда/Платья;Gamma;11"),
    QStringLiteral("Платье вечернее;900;1000;Одежда/Платья;Gamma;12"),
    QStringLiteral("Куртка;1500;;Одежда/Куртки;Delta;13"),
};

CatModel *NodeAt(Model &model, const QString &namePath)
{
    CatModel *node = &model.Root();
    const QStringList names = namePath.split(QLatin1Char('/'));
    for (const QString &name : names) {
        node = node ? node->FindChild(name) : nullptr;
    }
    return node;
}

QModelIndex IndexOf(const CategoryViewModel &view, const CatModel *node)
{
    if (!node || !node->parent)
        return QModelIndex();
    const QModelIndex parent = IndexOf(view, node->parent);
    return view.index(node->parent->children.indexOf(const_cast<CatModel *>(node)), 0, parent);
}

char StateLetter(const QVariant &state)
{
    switch (state.toInt()) {
    case Qt::Unchecked:
        return 'U';
    case Qt::PartiallyChecked:
        return 'P';
    case Qt::Checked:
        return 'C';
    }
    return '?';
}

const QStringList kAllPaths = {
    QStringLiteral("Обувь"),         QStringLiteral("Обувь/Сапоги"), QStringLiteral("Обувь/Сапоги/Зимние"),
    QStringLiteral("Обувь/Туфли"),   QStringLiteral("Одежда"),       QStringLiteral("Одежда/Платья"),
    QStringLiteral("Одежда/Куртки"),
};

} // namespace

class TestViewModels : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void sourcesShowFileNames();
    void offersShowLoadState_data();
    void offersShowLoadState();
    void categoriesShowSubtreeCounts();
    void checkBoxesEditUncheckedCategories_data();
    void checkBoxesEditUncheckedCategories();
    void removingRowDestroysSubtreeAndForgetsIt();
    void removeRowsRefusesRowsThatDoNotExist_data();
    void removeRowsRefusesRowsThatDoNotExist();
    void ghostToggleTwiceRestoresFlagAndPaths();
    void goodsFollowTheWalk_data();
    void goodsFollowTheWalk();
    void goodsHoldGoodPointers();
    void indexOfGood();
    void repaintAllCoversEveryRow();

private:
    QTemporaryDir *m_dir = nullptr;
    Model *m_model = nullptr;
};

void TestViewModels::init()
{
    m_dir = new QTemporaryDir;
    QVERIFY(m_dir->isValid());
    m_model = new Model;
    const QDir dir(m_dir->path());
    const QString shoes = WriteFeed(dir, QStringLiteral("shoes.csv"), QStringList{kHeader} + kShoes);
    const QString clothes = WriteFeed(dir, QStringLiteral("clothes.csv"), QStringList{kHeader} + kClothes);
    QVERIFY2(m_model->AddFile(shoes), qPrintable(m_model->LastError()));
    QVERIFY2(m_model->AddFile(clothes), qPrintable(m_model->LastError()));
    for (const QString &path : kAllPaths)
        QVERIFY2(NodeAt(*m_model, path), qPrintable(path));
}

void TestViewModels::cleanup()
{
    delete m_model;
    m_model = nullptr;
    delete m_dir;
    m_dir = nullptr;
}

void TestViewModels::sourcesShowFileNames()
{
    IOViewModel view(&m_model->Sources());
    QAbstractItemModelTester tester(&view, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(view.rowCount(), 2);
    QCOMPARE(view.index(0).data().toString(), QStringLiteral("shoes"));
    QCOMPARE(view.index(1).data().toString(), QStringLiteral("clothes"));
    QVERIFY(!view.index(0).data(Qt::ForegroundRole).isValid());
    QVERIFY(!view.headerData(0, Qt::Horizontal).isValid());
}

void TestViewModels::offersShowLoadState_data()
{
    QTest::addColumn<QString>("exportUrl");
    QTest::addColumn<bool>("exportLoaded");
    QTest::addColumn<bool>("hasGoods");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QColor>("colour");

    // The palette's colours, so that a dark theme stays readable; no colour
    // of its own for the usual text.
    const QColor grey = QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
    const QColor black;
    QTest::newRow("no feed, no goods") << QString() << false << false << "Магазин" << grey;
    QTest::newRow("feed not loaded") << "http://127.0.0.1/feed.csv" << false << false << "Магазин (+)" << grey;
    QTest::newRow("feed loaded, goods") << "http://127.0.0.1/feed.csv" << true << true << "Магазин" << black;
    QTest::newRow("goods from a file") << "http://127.0.0.1/feed.csv" << false << true << "Магазин (+)" << black;
}

void TestViewModels::offersShowLoadState()
{
    QFETCH(QString, exportUrl);
    QFETCH(bool, exportLoaded);
    QFETCH(bool, hasGoods);
    QFETCH(QString, text);
    QFETCH(QColor, colour);

    Offer *offer = m_model->FindOrCreateOffer(QStringLiteral("Магазин"));
    offer->exportUrl = exportUrl;
    offer->exportLoaded = exportLoaded;
    offer->hasGoods = hasGoods;

    OfferViewModel view(&m_model->Offers());
    QAbstractItemModelTester tester(&view, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const int row = m_model->Offers().size() - 1;
    QCOMPARE(view.rowCount(), m_model->Offers().size());
    QCOMPARE(view.index(row).data().toString(), text);
    QCOMPARE(view.index(row).data(Qt::ForegroundRole).value<QColor>(), colour);
    // "(+)" is explained where it stands.
    QCOMPARE(view.index(row).data(Qt::ToolTipRole).toString().isEmpty(), !text.endsWith(QLatin1String("(+)")));
}

void TestViewModels::categoriesShowSubtreeCounts()
{
    Filter filter;
    CategoryViewModel view(&m_model->Root(), &filter);
    QAbstractItemModelTester tester(&view, QAbstractItemModelTester::FailureReportingMode::QtTest);

    const QStringList expected = {
        QStringLiteral("Обувь (7)"), QStringLiteral("Сапоги (3)"),  QStringLiteral("Зимние (1)"),
        QStringLiteral("Туфли (1)"), QStringLiteral("Одежда (3)"), QStringLiteral("Платья (2)"),
        QStringLiteral("Куртки (1)"),
    };
    for (int i = 0; i < kAllPaths.size(); ++i) {
        const QModelIndex index = IndexOf(view, NodeAt(*m_model, kAllPaths.at(i)));
        QCOMPARE(index.data().toString(), expected.at(i));
        QCOMPARE(view.NodeAt(index), NodeAt(*m_model, kAllPaths.at(i)));
        QVERIFY(view.flags(index) & Qt::ItemIsUserCheckable);
    }
    QCOMPARE(view.rowCount(), 2);
    QCOMPARE(view.NodeAt(QModelIndex()), &m_model->Root());
    QCOMPARE(view.flags(QModelIndex()), Qt::NoItemFlags);
}

void TestViewModels::checkBoxesEditUncheckedCategories_data()
{
    QTest::addColumn<QStringList>("clicks"); // "path=state", state 0 or 2
    QTest::addColumn<QString>("states");     // letters in the order of kAllPaths

    //                                                                   Об Са Зи Ту Од Пл Ку
    QTest::newRow("uncheck subtree") << QStringList{"Обувь=0"} << "UUUUCCC";
    QTest::newRow("partial parent") << QStringList{"Одежда/Платья=0"} << "CCCCPUC";
    QTest::newRow("uncheck keeps ancestors") << QStringList{"Обувь/Сапоги/Зимние=0"} << "PPUCCCC";
    QTest::newRow("re-check inside unchecked")
            << QStringList{"Обувь=0", "Обувь/Сапоги=2"} << "PCCUCCC";
    QTest::newRow("re-check deep inside unchecked")
            << QStringList{"Обувь=0", "Обувь/Сапоги/Зимние=2"} << "PCCUCCC";
    QTest::newRow("check again") << QStringList{"Обувь=0", "Обувь=2"} << "CCCCCCC";
    QTest::newRow("both top levels") << QStringList{"Обувь=0", "Одежда=0"} << "UUUUUUU";
}

void TestViewModels::checkBoxesEditUncheckedCategories()
{
    QFETCH(QStringList, clicks);
    QFETCH(QString, states);

    Filter filter;
    CategoryViewModel view(&m_model->Root(), &filter);
    QAbstractItemModelTester tester(&view, QAbstractItemModelTester::FailureReportingMode::QtTest);

    QStringList events;
    QSet<const CatModel *> repainted;
    connect(&view, &QAbstractItemModel::dataChanged, this,
            [&](const QModelIndex &from, const QModelIndex &to, const QVector<int> &roles) {
                QCOMPARE(from, to);
                QCOMPARE(roles, QVector<int>{Qt::CheckStateRole});
                repainted.insert(view.NodeAt(from));
                events << QStringLiteral("dataChanged");
            });
    connect(&view, &CategoryViewModel::GoodSetChanged, this, [&] { events << QStringLiteral("GoodSetChanged"); });

    for (const QString &click : qAsConst(clicks)) {
        const QString path = click.section(QLatin1Char('='), 0, 0);
        const int state = click.section(QLatin1Char('='), 1).toInt();
        const QModelIndex index = IndexOf(view, NodeAt(*m_model, path));
        QVERIFY(index.isValid());

        QHash<const CatModel *, char> before;
        for (const QString &p : kAllPaths) {
            const CatModel *node = NodeAt(*m_model, p);
            before.insert(node, StateLetter(IndexOf(view, node).data(Qt::CheckStateRole)));
        }
        events.clear();
        repainted.clear();
        QVERIFY(view.setData(index, state, Qt::CheckStateRole));

        // One GoodSetChanged, after every dataChanged.
        QCOMPARE(events.count(QStringLiteral("GoodSetChanged")), 1);
        QCOMPARE(events.last(), QStringLiteral("GoodSetChanged"));
        // Every category whose box changed was announced.
        for (const QString &p : kAllPaths) {
            const CatModel *node = NodeAt(*m_model, p);
            if (StateLetter(IndexOf(view, node).data(Qt::CheckStateRole)) != before.value(node))
                QVERIFY2(repainted.contains(node), qPrintable(p));
        }
    }

    QString actual;
    for (const QString &path : kAllPaths) {
        const CatModel *node = NodeAt(*m_model, path);
        const char letter = StateLetter(IndexOf(view, node).data(Qt::CheckStateRole));
        actual += QLatin1Char(letter);
        // Unchecked exactly when the filter leaves the category's own goods out.
        QCOMPARE(filter.uncheckedCategories.contains(node), letter == 'U');
    }
    QCOMPARE(actual, states);

    // The goods the walk then gives are those of the checked categories.
    QList<Good *> walked;
    DefaultGoodQueryObject query(&walked);
    m_model->Root().QueryGoods(&query, &filter, true);
    for (const Good *good : qAsConst(walked))
        QVERIFY(!filter.uncheckedCategories.contains(good->category));
}

void TestViewModels::removingRowDestroysSubtreeAndForgetsIt()
{
    Filter filter;
    CategoryViewModel view(&m_model->Root(), &filter);
    QAbstractItemModelTester tester(&view, QAbstractItemModelTester::FailureReportingMode::QtTest);

    CatModel *shoes = NodeAt(*m_model, QStringLiteral("Обувь"));
    const QModelIndex shoesIndex = IndexOf(view, shoes);
    // Uncheck all of "Сапоги" and "Туфли" but not "Обувь" itself.
    QVERIFY(view.setData(IndexOf(view, NodeAt(*m_model, QStringLiteral("Обувь/Сапоги"))), 0, Qt::CheckStateRole));
    QVERIFY(view.setData(IndexOf(view, NodeAt(*m_model, QStringLiteral("Обувь/Туфли"))), 0, Qt::CheckStateRole));
    QCOMPARE(filter.uncheckedCategories.size(), 3);

    QSignalSpy removed(&view, &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(&view, &QAbstractItemModel::dataChanged);
    QVERIFY(view.removeRows(0, 1, shoesIndex));

    QCOMPARE(removed.count(), 1);
    QCOMPARE(removed.first().at(1).toInt(), 0);
    QCOMPARE(removed.first().at(2).toInt(), 0);
    // "Туфли" moved up into the freed row.
    QCOMPARE(shoes->children.size(), 1);
    QCOMPARE(view.index(0, 0, shoesIndex).data().toString(), QStringLiteral("Туфли (1)"));
    QCOMPARE(shoesIndex.data().toString(), QStringLiteral("Обувь (4)"));
    QCOMPARE(m_model->Root().GoodCount(true), 7);
    // The removed category and everything below it left the filter.
    QCOMPARE(filter.uncheckedCategories.size(), 1);
    QVERIFY(filter.uncheckedCategories.contains(NodeAt(*m_model, QStringLiteral("Обувь/Туфли"))));
    // The parent's count and box were repainted.
    bool parentRepainted = false;
    for (const QList<QVariant> &signal : qAsConst(changed))
        parentRepainted = parentRepainted || signal.at(0).toModelIndex() == shoesIndex;
    QVERIFY(parentRepainted);
    QCOMPARE(StateLetter(shoesIndex.data(Qt::CheckStateRole)), 'P');

    // A whole top-level category.
    QVERIFY(view.removeRows(0, 1));
    QCOMPARE(view.rowCount(), 1);
    QCOMPARE(view.index(0, 0).data().toString(), QStringLiteral("Одежда (3)"));
    QVERIFY(filter.uncheckedCategories.isEmpty());
}

void TestViewModels::removeRowsRefusesRowsThatDoNotExist_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("count");
    QTest::newRow("negative row") << -1 << 1;
    QTest::newRow("no rows") << 0 << 0;
    QTest::newRow("past the end") << 2 << 1;
    QTest::newRow("too many") << 1 << 2;
}

void TestViewModels::removeRowsRefusesRowsThatDoNotExist()
{
    QFETCH(int, row);
    QFETCH(int, count);

    Filter filter;
    CategoryViewModel view(&m_model->Root(), &filter);
    QAbstractItemModelTester tester(&view, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy removing(&view, &QAbstractItemModel::rowsAboutToBeRemoved);
    QVERIFY(!view.removeRows(row, count));
    QCOMPARE(removing.count(), 0);
    QCOMPARE(m_model->Root().children.size(), 2);
}

void TestViewModels::ghostToggleTwiceRestoresFlagAndPaths()
{
    Filter filter;
    CategoryViewModel view(&m_model->Root(), &filter);
    QAbstractItemModelTester tester(&view, QAbstractItemModelTester::FailureReportingMode::QtTest);

    CatModel *shoes = NodeAt(*m_model, QStringLiteral("Обувь"));
    CatModel *winter = NodeAt(*m_model, QStringLiteral("Обувь/Сапоги/Зимние"));
    const QModelIndex index = IndexOf(view, shoes);
    QSignalSpy changed(&view, &QAbstractItemModel::dataChanged);

    QVERIFY(view.ToggleGhost(index));
    QVERIFY(shoes->ghost);
    QCOMPARE(winter->path, QStringLiteral("Сапоги/Зимние"));
    QCOMPARE(shoes->path, QStringLiteral("Обувь"));
    QCOMPARE(index.data(Qt::ForegroundRole).value<QColor>(),
             QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(2).value<QVector<int>>(), QVector<int>{Qt::ForegroundRole});

    QVERIFY(view.ToggleGhost(index));
    QVERIFY(!shoes->ghost);
    QCOMPARE(winter->path, QStringLiteral("Обувь/Сапоги/Зимние"));
    QVERIFY(!index.data(Qt::ForegroundRole).isValid());

    // The root is not a category of any path.
    QVERIFY(!view.ToggleGhost(QModelIndex()));
    QVERIFY(!m_model->Root().ghost);
}

void TestViewModels::goodsFollowTheWalk_data()
{
    QTest::addColumn<int>("priceLow");
    QTest::addColumn<QString>("unchecked");
    QTest::addColumn<int>("rows");

    QTest::newRow("everything") << -1 << QString() << 10;
    QTest::newRow("price filter, per good") << 200 << QString() << 6;
    QTest::newRow("unchecked category") << -1 << "Обувь" << 7;
    QTest::newRow("both") << 200 << "Одежда/Платья" << 4;
}

void TestViewModels::goodsFollowTheWalk()
{
    QFETCH(int, priceLow);
    QFETCH(QString, unchecked);
    QFETCH(int, rows);

    Filter filter;
    filter.priceLow = priceLow;
    if (!unchecked.isEmpty())
        filter.uncheckedCategories.insert(NodeAt(*m_model, unchecked));

    QList<Good *> expected;
    DefaultGoodQueryObject query(&expected);
    m_model->Root().QueryGoods(&query, &filter, true);
    QCOMPARE(expected.size(), rows);

    GoodViewModel goods;
    QAbstractItemModelTester tester(&goods, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QSignalSpy inserted(&goods, &QAbstractItemModel::rowsInserted);

    // Filled as a visitor, row by row or list by list, twice over.
    m_model->Root().QueryGoods(&goods, &filter, true);
    QCOMPARE(goods.rowCount(), rows);
    QVERIFY(inserted.count() > 0);
    m_model->Root().QueryGoods(&goods, &filter, true);
    QCOMPARE(goods.rowCount(), 2 * rows);
    for (int row = 0; row < 2 * rows; ++row)
        QCOMPARE(goods.index(row).data().value<Good *>(), expected.at(row % rows));

    goods.ClearGoods();
    QCOMPARE(goods.rowCount(), 0);

    // Filled in one reset.
    QSignalSpy reset(&goods, &QAbstractItemModel::modelReset);
    inserted.clear();
    goods.Fill(&m_model->Root(), &filter);
    QCOMPARE(reset.count(), 1);
    QCOMPARE(inserted.count(), 0);
    QCOMPARE(goods.rowCount(), rows);
    for (int row = 0; row < rows; ++row)
        QCOMPARE(goods.index(row).data().value<Good *>(), expected.at(row));
    // Goods added afterwards are announced again.
    goods.AddGood(expected.first());
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(goods.rowCount(), rows + 1);
}

void TestViewModels::goodsHoldGoodPointers()
{
    GoodViewModel goods;
    goods.Fill(&m_model->Root(), nullptr);
    const QVariant value = goods.index(0).data();
    QCOMPARE(value.userType(), QMetaType::type("Good *"));
    QVERIFY(value.value<Good *>());
    // Read as text, a row gives the good's name.
    QCOMPARE(value.toString(), QStringLiteral("Кеды"));
    QVERIFY(!goods.index(0).data(Qt::ToolTipRole).isValid());
    QVERIFY(!goods.index(0).data(Qt::EditRole).isValid());
    QVERIFY(!goods.data(goods.index(0).sibling(99, 0)).isValid());
    QCOMPARE(goods.flags(QModelIndex()), Qt::NoItemFlags);
    QVERIFY(goods.flags(goods.index(0)) & Qt::ItemIsEnabled);
    QCOMPARE(goods.rowCount(goods.index(0)), 0);
}

void TestViewModels::indexOfGood()
{
    Filter filter;
    filter.priceLow = 200;
    GoodViewModel goods;
    goods.Fill(&m_model->Root(), &filter);

    Good *kept = NodeAt(*m_model, QStringLiteral("Обувь/Сапоги/Зимние"))->goods.first();
    Good *filteredOut = NodeAt(*m_model, QStringLiteral("Обувь"))->goods.first();
    const QModelIndex index = goods.IndexOfGood(kept);
    QVERIFY(index.isValid());
    QCOMPARE(index.data().value<Good *>(), kept);
    QVERIFY(!goods.IndexOfGood(filteredOut).isValid());
    QVERIFY(!goods.IndexOfGood(nullptr).isValid());
}

void TestViewModels::repaintAllCoversEveryRow()
{
    GoodViewModel goods;
    QSignalSpy changed(&goods, &QAbstractItemModel::dataChanged);
    goods.RepaintAll();
    QCOMPARE(changed.count(), 0);

    goods.Fill(&m_model->Root(), nullptr);
    goods.RepaintAll();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(0).toModelIndex().row(), 0);
    QCOMPARE(changed.first().at(1).toModelIndex().row(), goods.rowCount() - 1);
}

QTEST_MAIN(TestViewModels)
#include "tst_viewmodels.moc"
