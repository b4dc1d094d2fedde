#include <QTemporaryDir>
#include <QtTest>

#include "catmodel.h"
#include "commongoodinfo.h"
#include "defaultgoodqueryobject.h"
#include "feedfile.h"
#include "filter.h"
#include "filteroptions.h"
#include "good.h"
#include "goodsearch.h"
#include "model.h"

namespace {

// Counts how the walk hands goods over.
class RecordingQuery final : public IGoodQueryObject
{
public:
    virtual ~RecordingQuery() = default;
    void AddGoods(const QList<Good *> &goods) override
    {
        ++listCalls;
        received.append(goods);
    }
    void AddGood(Good *good) override
    {
        ++goodCalls;
        received.append(good);
    }
    QList<Good *> received;
    int listCalls = 0;
    int goodCalls = 0;
};

QStringList Ids(const QList<Good *> &goods)
{
    QStringList ids;
    for (const Good *good : goods)
        ids << good->Id(good->Row());
    return ids;
}

} // namespace

class TestFilter : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void accepts_data();
    void accepts();
    void vendors();
    void search_data();
    void search();
    void searchNarrowsByCategoryAndStatus();
    void emptyFilter();
    void optionsRoundTrip();
    void optionValues_data();
    void optionValues();
    void destroyedCategoriesAreNeverUnchecked();
    void walkOrderAndUncheckedCategories();
    void priceInfo();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<Model> m_model;
};

void TestFilter::init()
{
    m_model.reset(new Model);
    const QString feed = WriteFeed(QDir(m_dir.path()), "shop.csv",
                                   {"id;categoryId;price;oldprice;vendor;name;description",
                                    "1;A;100;150;ECCO;Сапоги;Тёплые зимние",
                                    "2;A/B;200;200;ecco;Ботинки;лёгкие",
                                    "3;A/B;99;;;Туфли;Кожаные",
                                    "4;C;201;300;Geox;Кеды;Летние",
                                    "5;C;;;Geox;Тапки;Домашние"});
    QVERIFY(m_model->AddFile(feed));
}

static Good *GoodWithId(Model &model, const QString &id)
{
    QList<Good *> goods;
    DefaultGoodQueryObject query(&goods);
    model.Root().QueryGoods(&query, nullptr, true);
    for (Good *good : qAsConst(goods)) {
        if (good->Id(good->Row()) == id)
            return good;
    }
    return nullptr;
}

void TestFilter::accepts_data()
{
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<bool>("discount");
    QTest::addColumn<QString>("accepted");

    QTest::newRow("bounds are inclusive") << 100 << 200 << false << "1 2";
    QTest::newRow("only a lower bound") << 150 << -1 << false << "2 4";
    QTest::newRow("only an upper bound") << -1 << 99 << false << "3";
    QTest::newRow("no bounds: goods without a price pass") << -1 << -1 << false << "1 2 3 4 5";
    QTest::newRow("discount needs an old price above the price") << -1 << -1 << true << "1 4";
    QTest::newRow("everything together") << 150 << 300 << true << "4";
}

void TestFilter::accepts()
{
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(bool, discount);
    QFETCH(QString, accepted);
    Filter filter;
    filter.priceLow = low;
    filter.priceHigh = high;
    filter.discountOnly = discount;
    QStringList passed;
    for (int id = 1; id <= 5; ++id) {
        if (filter.Accepts(GoodWithId(*m_model, QString::number(id))))
            passed << QString::number(id);
    }
    QCOMPARE(passed.join(QLatin1Char(' ')), accepted);
}

void TestFilter::vendors()
{
    Filter filter;
    filter.vendors.insert(m_model->Vendors().Find(QStringLiteral("ECCO")));
    QVERIFY(filter.Accepts(GoodWithId(*m_model, "1")));
    QVERIFY(!filter.Accepts(GoodWithId(*m_model, "2"))); // vendor in small letters
    QVERIFY(!filter.Accepts(GoodWithId(*m_model, "3"))); // no vendor
}

void TestFilter::search_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("found");
    QTest::newRow("a name, case aside") << "сАПОГИ" << "1";
    QTest::newRow("a vendor in ASCII, case aside") << "eCCo" << "1 2";
    QTest::newRow("part of a vendor") << "cc" << "1 2";
    QTest::newRow("an id") << "17" << "17";
    QTest::newRow("a quoted cell") << "уют" << "6";
    QTest::newRow("a separator inside quotes") << "c;m" << "6";
    QTest::newRow("ё is not е") << "ёль" << "";
    QTest::newRow("Cyrillic capitals") << "ЕЛЬ" << "17";
    QTest::newRow("the description is not searched") << "Тёплые" << "";
    QTest::newRow("the category is not searched") << "Обувь" << "";
    QTest::newRow("nothing") << "zzz" << "";
    QTest::newRow("no text") << "" << "1 2 17 6";
}

void TestFilter::search()
{
    QFETCH(QString, text);
    QFETCH(QString, found);
    Model model;
    QVERIFY(model.AddFile(WriteFeed(QDir(m_dir.path()), "search.csv",
                                    {"id;categoryId;price;vendor;name;description",
                                     "1;Обувь;100;ECCO;Сапоги;Тёплые зимние",
                                     "2;Обувь;200;ecco;Ботинки;лёгкие",
                                     "17;Дом;;;Ель;ёлка",
                                     "6;Дом;;\"Ac;me\";\"Плед \"\"Уют\"\"\";"})));
    Filter filter;
    filter.searchText = text;
    // The filter's walk and the search in slices find the same goods.
    RecordingQuery walked;
    model.Root().QueryGoods(&walked, &filter, true);
    QCOMPARE(Ids(walked.received).join(QLatin1Char(' ')), found);
    GoodSearch search;
    search.Start(&model.Root(), filter);
    while (!search.Step(0)) {
    }
    QCOMPARE(Ids(search.Found().toList()).join(QLatin1Char(' ')), found);
}

void TestFilter::searchNarrowsByCategoryAndStatus()
{
    CatModel &root = m_model->Root();
    Filter filter;
    filter.uncheckedCategories.insert(root.FindOrCreatePath(QStringLiteral("shop/A/B")));
    GoodSearch search;
    search.Start(&root, filter);
    QVERIFY(search.IsDone());
    QCOMPARE(Ids(search.Found().toList()), (QStringList{"1", "4", "5"}));
    // The subtree counts follow the filter: A keeps one good, A/B none.
    const QHash<const CatModel *, int> counts = search.SubtreeCounts();
    CatModel *a = root.FindOrCreatePath(QStringLiteral("shop/A"));
    QCOMPARE(counts.value(a), 1);
    QVERIFY(!counts.contains(root.FindOrCreatePath(QStringLiteral("shop/A/B"))));
    QCOMPARE(counts.value(&root), 3);
    QCOMPARE(Ids(search.Below(a).toList()), QStringList{"1"});
    QCOMPARE(Ids(search.Below(root.FindOrCreatePath(QStringLiteral("shop/C"))).toList()), (QStringList{"4", "5"}));
    QCOMPARE(search.Below(nullptr).size(), 3);

    GoodWithId(*m_model, "4")->status = Changed;
    GoodWithId(*m_model, "5")->status = Deleted;
    const QVector<Good *> all = search.Found();
    QCOMPARE(Ids(GoodSearch::WithStatus(all, GoodSearch::StatusBit(Changed)).toList()), QStringList{"4"});
    QCOMPARE(Ids(GoodSearch::WithStatus(all, GoodSearch::StatusBit(Added) | GoodSearch::StatusBit(Deleted)).toList()),
             (QStringList{"1", "5"}));
    QCOMPARE(GoodSearch::WithStatus(all, GoodSearch::kEveryStatus).size(), 3);
}

void TestFilter::emptyFilter()
{
    Filter filter;
    QVERIFY(!filter.IsActive());
    filter.uncheckedCategories.insert(m_model->Root().children.first());
    QVERIFY(!filter.IsActive());
    for (int id = 1; id <= 5; ++id)
        QVERIFY(filter.Accepts(GoodWithId(*m_model, QString::number(id))));
    filter.searchText = QStringLiteral("x");
    QVERIFY(filter.IsActive());
}

void TestFilter::optionsRoundTrip()
{
    CatModel &root = m_model->Root();
    CatModel *ghost = root.children.first(); // the offer's ghost node
    QVERIFY(ghost->ghost);
    Filter filter;
    filter.priceLow = 10;
    filter.priceHigh = 5000;
    filter.discountOnly = true;
    filter.searchText = QStringLiteral("Сапоги");
    filter.vendors.insert(m_model->Vendors().Find(QStringLiteral("Geox")));
    filter.uncheckedCategories.insert(root.FindOrCreatePath(QStringLiteral("shop/A/B")));
    filter.uncheckedCategories.insert(root.FindOrCreatePath(QStringLiteral("shop/C")));
    m_model->SetOption(QStringLiteral("filter/stale"), QStringLiteral("x"));
    m_model->AppendArrayOption(QStringLiteral("filter/old"), QStringLiteral("x"));
    m_model->SetOption(QStringLiteral("filterless"), QStringLiteral("kept"));

    m_model->StoreFilter(QStringLiteral("filter"), filter);
    QCOMPARE(m_model->Option("filter/price/low"), QStringLiteral("10"));
    QCOMPARE(m_model->Option("filter/price/high"), QStringLiteral("5000"));
    QCOMPARE(m_model->Option("filter/discount"), QStringLiteral("true"));
    QVERIFY(!m_model->Options().contains("filter/stale"));
    QVERIFY(!m_model->ArrayOptions().contains("filter/old"));
    QCOMPARE(m_model->Option("filterless"), QStringLiteral("kept"));
    QStringList unchecked = m_model->ArrayOption("filter/unchecked");
    unchecked.sort();
    QCOMPARE(unchecked, (QStringList{"shop/A/B", "shop/C"}));
    QCOMPARE(m_model->ArrayOption("filter/ghosts"), QStringList{"shop"});
    QCOMPARE(m_model->ArrayOption("filter/vendors"), QStringList{"Geox"});

    // A fresh catalogue reads it back, creating the categories it names.
    Model other;
    for (auto it = m_model->Options().constBegin(); it != m_model->Options().constEnd(); ++it)
        other.SetOption(it.key(), it.value());
    for (auto it = m_model->ArrayOptions().constBegin(); it != m_model->ArrayOptions().constEnd(); ++it)
        other.SetArrayOption(it.key(), it.value());
    const Filter read = FilterOptions::Read(other, QStringLiteral("filter"));
    QCOMPARE(read.priceLow, 10);
    QCOMPARE(read.priceHigh, 5000);
    QVERIFY(read.discountOnly);
    QCOMPARE(read.searchText, QStringLiteral("Сапоги"));
    QCOMPARE(read.vendors.size(), 1);
    QCOMPARE(*(*read.vendors.begin()), QStringLiteral("Geox"));
    QCOMPARE(*read.vendors.begin(), other.Vendors().Find(QStringLiteral("Geox")));
    QCOMPARE(read.uncheckedCategories.size(), 2);
    CatModel *shop = other.Root().children.first();
    QVERIFY(shop->ghost);
    CatModel *ab = other.Root().FindOrCreatePath(QStringLiteral("shop/A/B"));
    QVERIFY(read.uncheckedCategories.contains(ab));
    QVERIFY(ab->goods.isEmpty());
    QCOMPARE(ab->path, QStringLiteral("A/B"));

    // The empty filter writes no lists at all.
    m_model->StoreFilter(QStringLiteral("filter"), Filter());
    QVERIFY(!m_model->ArrayOptions().contains("filter/unchecked"));
    QCOMPARE(m_model->Option("filter/price/low"), QStringLiteral("-1"));
    QCOMPARE(m_model->Option("filter/discount"), QStringLiteral("false"));
}

void TestFilter::optionValues_data()
{
    QTest::addColumn<QString>("low");
    QTest::addColumn<QString>("discount");
    QTest::addColumn<int>("priceLow");
    QTest::addColumn<bool>("discountOnly");
    QTest::newRow("twelve point nine") << "12.9" << "true" << 12 << true;
    QTest::newRow("not a number") << "abc" << "True" << -1 << false;
    QTest::newRow("missing") << QString() << QString() << -1 << false;
    QTest::newRow("huge") << "1e20" << "yes" << -1 << false;
}

void TestFilter::optionValues()
{
    QFETCH(QString, low);
    QFETCH(QString, discount);
    QFETCH(int, priceLow);
    QFETCH(bool, discountOnly);
    Model model;
    if (!low.isNull())
        model.SetOption("filter/price/low", low);
    if (!discount.isNull())
        model.SetOption("filter/discount", discount);
    const Filter filter = FilterOptions::Read(model, QStringLiteral("filter"));
    QCOMPARE(filter.priceLow, priceLow);
    QCOMPARE(filter.priceHigh, -1);
    QCOMPARE(filter.discountOnly, discountOnly);
}

void TestFilter::destroyedCategoriesAreNeverUnchecked()
{
    CatModel &root = m_model->Root();
    Filter filter;
    CatModel *doomed = root.FindOrCreatePath(QStringLiteral("shop/A/B"));
    filter.uncheckedCategories.insert(doomed);
    doomed->Destroy();
    // Whatever the allocator hands out next, no new node is unchecked.
    QList<CatModel *> created;
    for (int i = 0; i < 200; ++i)
        created << root.FindOrCreatePath(QStringLiteral("shop/A/N%1").arg(i));
    for (const CatModel *node : qAsConst(created))
        QVERIFY(!filter.uncheckedCategories.contains(node));
    m_model->StoreFilter(QStringLiteral("filter"), filter);
    QVERIFY(m_model->ArrayOption("filter/unchecked").isEmpty());
}

void TestFilter::walkOrderAndUncheckedCategories()
{
    CatModel &root = m_model->Root();
    RecordingQuery all;
    root.QueryGoods(&all, nullptr, true);
    QCOMPARE(Ids(all.received), (QStringList{"1", "2", "3", "4", "5"}));

    RecordingQuery onlyRoot;
    root.QueryGoods(&onlyRoot, nullptr, false);
    QVERIFY(onlyRoot.received.isEmpty());

    // An empty filter hands over whole lists, one call per category.
    Filter filter;
    RecordingQuery lists;
    root.QueryGoods(&lists, &filter, true);
    QCOMPARE(lists.goodCalls, 0);
    QCOMPARE(lists.listCalls, root.Descendants(true).size() + 1);

    // An unchecked category hides only its own goods.
    filter.uncheckedCategories.insert(root.FindOrCreatePath(QStringLiteral("shop/A")));
    RecordingQuery unchecked;
    root.QueryGoods(&unchecked, &filter, true);
    QCOMPARE(Ids(unchecked.received), (QStringList{"2", "3", "4", "5"}));
    QCOMPARE(root.CountWithGoods(&filter), 2);

    filter.priceLow = 100;
    RecordingQuery tested;
    root.QueryGoods(&tested, &filter, true);
    QCOMPARE(Ids(tested.received), (QStringList{"2", "4"}));
    QCOMPARE(tested.goodCalls, 2);
}

void TestFilter::priceInfo()
{
    CommonGoodInfo info;
    QVERIFY(info.IsEmpty());
    QCOMPARE(info.minPrice, 2147483647);
    QCOMPARE(info.maxPrice, int(-2147483647 - 1));
    Good a, b, c;
    a.price = 10;
    b.price = 20;
    c.price = 5;
    info.AddGoods({&a, &b});
    info.AddGood(&c);
    QCOMPARE(info.minPrice, 5);
    QCOMPARE(info.maxPrice, 20);
    CommonGoodInfo empty;
    empty.Merge(info);
    QCOMPARE(empty.minPrice, 5);
    QCOMPARE(empty.maxPrice, 20);
    Good none;
    info.Include(&none);
    QCOMPARE(info.minPrice, -1);
    info.Reset();
    QVERIFY(info.IsEmpty());

    // The loader widens each offer's range by every good it loads.
    const Offer &offer = m_model->Offers().first();
    QCOMPARE(offer.priceInfo.minPrice, -1);
    QCOMPARE(offer.priceInfo.maxPrice, 201);
}

QTEST_GUILESS_MAIN(TestFilter)
#include "tst_filter.moc"
