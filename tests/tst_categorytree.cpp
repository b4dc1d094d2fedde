#include <QTemporaryDir>
#include <QtTest>

#include "catmodel.h"
#include "feedfile.h"
#include "good.h"
#include "model.h"
#include "offer.h"
#include "recordingprogress.h"

class TestCategoryTree : public QObject
{
    Q_OBJECT

private slots:
    void mapCategory_data();
    void mapCategory();
    void findOrCreatePath();
    void feedsMergeByPath();
    void severalTopCategoriesGoBelowAGhost();
    void existingNodeBecomingTheGhostUpdatesPaths();
    void ghostToggleRestoresPaths();
    void removingGoodsPrunesEmptyNodes();
    void moveIntoMergesLevelByLevel();
    void manyChildrenKeepOrderAndFirstMatch();
    void walksAndCounts();
    void reapplyingRulesFilesAsALoadWould_data();
    void reapplyingRulesFilesAsALoadWould();
    void reapplyingRulesKeepsTheBaseMarks();
    void cancelledReapplyLeavesTheTree();

private:
    QString Feed(const QString &name, const QStringList &lines);
    QTemporaryDir m_dir;
};

QString TestCategoryTree::Feed(const QString &name, const QStringList &lines)
{
    return WriteFeed(QDir(m_dir.path()), name, lines);
}

static QStringList Paths(const CatModel &root)
{
    QStringList paths;
    const QList<CatModel *> nodes = root.Descendants(true);
    for (const CatModel *node : nodes)
        paths << node->path + QStringLiteral(" (") + QString::number(node->goods.size()) + QLatin1Char(')');
    return paths;
}

void TestCategoryTree::mapCategory_data()
{
    QTest::addColumn<QStringList>("include");
    QTest::addColumn<QStringList>("exclude");
    QTest::addColumn<QStringList>("rename"); // "from=to" or "from=>to" for a merge
    QTest::addColumn<bool>("other");
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("mapped"); // "<null>" when dropped

    QTest::newRow("include wins over rename")
            << QStringList{"Обувь"} << QStringList{} << QStringList{"Обувь=Ботинки"} << true << "Обувь/Сапоги"
            << "Обувь/Сапоги";
    QTest::newRow("exact include misses, below exclude drops")
            << QStringList{"!Обувь"} << QStringList{"?Обувь"} << QStringList{} << true << "Обувь/Сапоги"
            << "<null>";
    QTest::newRow("include list that misses falls through to the rest")
            << QStringList{"Шапки"} << QStringList{} << QStringList{} << true << "Обувь" << "Обувь";
    QTest::newRow("rename keeps the rest of the path")
            << QStringList{} << QStringList{} << QStringList{"Одежда=Женская одежда"} << true << "Одежда/Платья"
            << "Женская одежда/Платья";
    QTest::newRow("merging rename takes the whole path")
            << QStringList{} << QStringList{} << QStringList{"Одежда=>Женская одежда"} << true << "Одежда/Платья"
            << "Женская одежда";
    QTest::newRow("rename ignores separators")
            << QStringList{} << QStringList{} << QStringList{"Одежда=Женская одежда"} << true << "Одеждадля дома"
            << "Женская одеждадля дома";
    QTest::newRow("subtree renames come before exact ones")
            << QStringList{} << QStringList{} << QStringList{"!A=exact", "A=subtree"} << true << "A" << "subtree";
    QTest::newRow("other categories dropped") << QStringList{} << QStringList{} << QStringList{} << false << "Обувь"
                                             << "<null>";
    QTest::newRow("other categories kept") << QStringList{} << QStringList{} << QStringList{} << true << "Обувь"
                                          << "Обувь";
    QTest::newRow("no category is never loaded")
            << QStringList{""} << QStringList{} << QStringList{"=X"} << true << "<null>" << "<null>";
}

void TestCategoryTree::mapCategory()
{
    QFETCH(QStringList, include);
    QFETCH(QStringList, exclude);
    QFETCH(QStringList, rename);
    QFETCH(bool, other);
    QFETCH(QString, raw);
    QFETCH(QString, mapped);
    Offer offer;
    for (const QString &text : include)
        offer.include << CategoryRule::FromText(text);
    for (const QString &text : exclude)
        offer.exclude << CategoryRule::FromText(text);
    for (const QString &entry : rename) {
        const bool merge = entry.contains(QLatin1String("=>"));
        const QStringList parts = entry.split(merge ? QStringLiteral("=>") : QStringLiteral("="));
        offer.rename.insert(CategoryRule::FromText(parts.at(0)), RenameTarget{parts.at(1), merge});
    }
    offer.includeOther = other;
    const QString result = offer.MapCategory(raw == QLatin1String("<null>") ? QString() : raw);
    QCOMPARE(result.isNull() ? QStringLiteral("<null>") : result, mapped);
}

void TestCategoryTree::findOrCreatePath()
{
    CatModel root(QStringLiteral("Root"));
    CatModel *leaf = root.FindOrCreatePath(QStringLiteral("A/B//C"));
    QCOMPARE(leaf->name, QStringLiteral("C"));
    QCOMPARE(leaf->path, QStringLiteral("A/B/C"));
    QCOMPARE(leaf->parent->path, QStringLiteral("A/B"));
    // Lookups start at the root of the tree, whatever node is asked.
    QCOMPARE(leaf->FindOrCreatePath(QStringLiteral("/A/B/C/")), leaf);
    QCOMPARE(leaf->FindOrCreatePath(QStringLiteral("///")), &root);
    CatModel *noName = root.FindOrCreatePath(QString());
    QCOMPARE(noName->name, QStringLiteral("No name"));
    QCOMPARE(root.FindOrCreatePath(QStringLiteral("")), noName);
    QCOMPARE(root.children.size(), 2);
    QVERIFY(leaf->IsBelow(&root));
    QVERIFY(leaf->IsBelow(root.children.first()));
    QVERIFY(!root.children.first()->IsBelow(leaf));
    QVERIFY(!leaf->IsBelow(leaf));
}

void TestCategoryTree::feedsMergeByPath()
{
    Model model;
    QVERIFY(model.AddFile(Feed("one.csv", {"id;categoryId", "1;Обувь/Сапоги", "2;Обувь"})));
    QVERIFY(model.AddFile(Feed("two.csv", {"id;categoryId", "3;Обувь/Сапоги"})));
    QCOMPARE(Paths(model.Root()), (QStringList{"Обувь (1)", "Обувь/Сапоги (2)"}));
    CatModel *boots = model.Root().children.first()->children.first();
    QCOMPARE(boots->goods.size(), 2);
    for (const Good *good : qAsConst(boots->goods))
        QCOMPARE(good->category, boots);
    QCOMPARE(boots->offers.size(), 2);
}

void TestCategoryTree::severalTopCategoriesGoBelowAGhost()
{
    Model model;
    QVERIFY(model.AddFile(Feed("Shop.csv", {"id;categoryId", "1;A/x", "2;B"})));
    QCOMPARE(model.Root().children.size(), 1);
    CatModel *ghost = model.Root().children.first();
    QCOMPARE(ghost->name, QStringLiteral("Shop"));
    QVERIFY(ghost->ghost);
    QCOMPARE(Paths(model.Root()), (QStringList{"Shop (0)", "A (0)", "A/x (1)", "B (1)"}));
    QVERIFY(model.AddFile(Feed("Shop.csv", {"id;categoryId", "3;A/x", "4;C"})));
    QCOMPARE(Paths(model.Root()), (QStringList{"Shop (0)", "A (0)", "A/x (2)", "B (1)", "C (1)"}));
    QCOMPARE(model.Offers().size(), 1);

    // A feed naming its offer per row goes below "Разные офферы".
    QVERIFY(model.AddFile(Feed("mixed.csv", {"id;categoryId;advcampaign_name", "5;D;X", "6;E;Y"})));
    QCOMPARE(model.Root().children.last()->name, QStringLiteral("Разные офферы"));
    QVERIFY(model.Root().children.last()->ghost);
}

void TestCategoryTree::existingNodeBecomingTheGhostUpdatesPaths()
{
    Model model;
    // A category named like the offer exists already, with goods below it.
    QVERIFY(model.AddFile(Feed("first.csv", {"id;categoryId", "1;Shop/Old"})));
    QCOMPARE(Paths(model.Root()), (QStringList{"Shop (0)", "Shop/Old (1)"}));
    QVERIFY(model.AddFile(Feed("Shop.csv", {"id;categoryId", "2;A", "3;B"})));
    QVERIFY(model.Root().children.first()->ghost);
    QCOMPARE(Paths(model.Root()), (QStringList{"Shop (0)", "Old (1)", "A (1)", "B (1)"}));
}

void TestCategoryTree::ghostToggleRestoresPaths()
{
    CatModel root(QStringLiteral("Root"));
    CatModel *boots = root.FindOrCreatePath(QStringLiteral("Shop/Обувь/Сапоги"));
    CatModel *shop = root.children.first();
    shop->ToggleGhost();
    QCOMPARE(boots->path, QStringLiteral("Обувь/Сапоги"));
    QCOMPARE(shop->path, QStringLiteral("Shop"));
    CatModel *shoes = boots->parent;
    shoes->ToggleGhost();
    QCOMPARE(boots->path, QStringLiteral("Сапоги"));
    shop->ToggleGhost();
    QCOMPARE(boots->path, QStringLiteral("Shop/Сапоги"));
    shoes->ToggleGhost();
    QCOMPARE(boots->path, QStringLiteral("Shop/Обувь/Сапоги"));
    QVERIFY(!shop->ghost && !shoes->ghost);
}

void TestCategoryTree::removingGoodsPrunesEmptyNodes()
{
    Model model;
    QVERIFY(model.AddFile(Feed("mixed.csv", {"id;categoryId;advcampaign_name", "1;A/x/y;Shop", "2;A/z;Other",
                                             "3;A/x/y;Other", "4;B/q;Shop"})));
    Offer *shop = model.OfferIndex().value(QStringLiteral("Shop"));
    QVERIFY(shop);
    model.Root().RemoveGoodsOfOffer(shop);
    QCOMPARE(Paths(model.Root()), (QStringList{"Разные офферы (0)", "A (0)", "A/x (0)", "A/x/y (1)", "A/z (1)"}));
    for (const CatModel *node : model.Root().Descendants(true))
        QVERIFY(!node->offers.contains(shop));

    Source *source = &model.Sources().first();
    model.Root().RemoveGoodsOfSource(source);
    QVERIFY(model.Root().children.isEmpty());
    QCOMPARE(model.Root().name, QStringLiteral("Root"));

    // Pruning keeps nodes with goods and drops empty branches bottom-up.
    CatModel root(QStringLiteral("Root"));
    root.FindOrCreatePath(QStringLiteral("a/b/c"));
    root.FindOrCreatePath(QStringLiteral("a/d"))->goods.append(new Good);
    root.Prune();
    QCOMPARE(root.Descendants(true).size(), 2);
    root.FindOrCreatePath(QStringLiteral("e"))->Prune();
    QCOMPARE(root.children.size(), 1);
}

void TestCategoryTree::moveIntoMergesLevelByLevel()
{
    CatModel target(QStringLiteral("Root"));
    target.FindOrCreatePath(QStringLiteral("A/B/C"))->goods.append(new Good);
    CatModel other(QStringLiteral("new"));
    CatModel *c = other.FindOrCreatePath(QStringLiteral("A/B/C"));
    Good *moving = new Good;
    moving->category = c;
    c->goods.append(moving);
    other.FindOrCreatePath(QStringLiteral("A/D"));
    CatModel *result = other.children.first()->MoveInto(&target);
    QCOMPARE(result, target.children.first());
    QVERIFY(other.children.isEmpty());
    QCOMPARE(Paths(target), (QStringList{"A (0)", "A/B (0)", "A/B/C (2)", "A/D (0)"}));
    QCOMPARE(moving->category, target.FindOrCreatePath(QStringLiteral("A/B/C")));
    QCOMPARE(target.FindOrCreatePath(QStringLiteral("A/B/C"))->goods.last(), moving);
}

void TestCategoryTree::manyChildrenKeepOrderAndFirstMatch()
{
    CatModel root(QStringLiteral("Root"));
    for (int i = 0; i < 50; ++i)
        root.FindOrCreatePath(QStringLiteral("c%1").arg(i));
    // A second node with a taken name can arrive through the tree's own
    // operations; lookups find the first one, and the next after it goes.
    CatModel *twin = new CatModel(QStringLiteral("c7"));
    root.AppendChild(twin);
    CatModel *first = root.children.at(7);
    QCOMPARE(root.FindChild(QStringLiteral("c7")), first);
    first->Destroy();
    QCOMPARE(root.FindChild(QStringLiteral("c7")), twin);
    QCOMPARE(root.children.at(7)->name, QStringLiteral("c8"));
    QCOMPARE(root.FindOrCreatePath(QStringLiteral("c49")), root.children.at(48));
    for (int i = 0; i < 45; ++i)
        root.children.first()->Destroy();
    QCOMPARE(root.children.size(), 5);
    QCOMPARE(root.FindChild(QStringLiteral("c49")), root.children.at(3));
    QVERIFY(!root.FindChild(QStringLiteral("c3")));
}

void TestCategoryTree::walksAndCounts()
{
    CatModel root(QStringLiteral("Root"));
    CatModel *a = root.FindOrCreatePath(QStringLiteral("A"));
    CatModel *ab = root.FindOrCreatePath(QStringLiteral("A/B"));
    CatModel *ac = root.FindOrCreatePath(QStringLiteral("A/C"));
    CatModel *d = root.FindOrCreatePath(QStringLiteral("D"));
    Good *first = new Good;
    ac->goods.append(first);
    ac->goods.append(new Good);
    d->goods.append(new Good);
    QCOMPARE(root.Descendants(true), (QList<CatModel *>{a, ab, ac, d}));
    QCOMPARE(root.Descendants(false), (QList<CatModel *>{a, d}));
    QCOMPARE(ac->Ancestors(true), (QList<CatModel *>{&root, a}));
    QCOMPARE(ac->Ancestors(false), QList<CatModel *>{a});
    QVERIFY(root.Ancestors(true).isEmpty());
    QCOMPARE(a->GoodCount(true), 2);
    QCOMPARE(a->GoodCount(false), 0);
    QCOMPARE(root.FirstGood(), first);
    QCOMPARE(root.CountWithGoods(), 2);
    QCOMPARE(ab->NamePath(), QStringLiteral("A/B"));
    QCOMPARE(CatModel::TopMost({ab, a, d, ac}, &root), (QList<CatModel *>{a, d}));
    QCOMPARE(CatModel::TopMost({ab, nullptr}, &root), QList<CatModel *>{&root});
}

QTEST_GUILESS_MAIN(TestCategoryTree)
#include "tst_categorytree.moc"

namespace {

// Rules written as in mapCategory_data.
void SetRules(Offer *offer, const QStringList &include, const QStringList &exclude, const QStringList &rename,
              bool other)
{
    offer->include.clear();
    offer->exclude.clear();
    offer->rename.clear();
    for (const QString &text : include)
        offer->include << CategoryRule::FromText(text);
    for (const QString &text : exclude)
        offer->exclude << CategoryRule::FromText(text);
    for (const QString &entry : rename) {
        const bool merge = entry.contains(QLatin1String("=>"));
        const QStringList parts = entry.split(merge ? QStringLiteral("=>") : QStringLiteral("="));
        offer->rename.insert(CategoryRule::FromText(parts.at(0)), RenameTarget{parts.at(1), merge});
    }
    offer->includeOther = other;
    offer->NormaliseRules();
}

// What an export sees of the tree: every category with goods by its
// exported path, with its goods' ids and statuses, and no node empty.
QStringList Layout(const CatModel &root)
{
    QStringList layout;
    for (const CatModel *node : root.Descendants(true)) {
        if (node->goods.isEmpty() && node->children.isEmpty())
            layout << QStringLiteral("empty node %1").arg(node->NamePath());
        if (node->goods.isEmpty())
            continue;
        QStringList ids;
        for (const Good *good : node->goods) {
            if (good->category != node)
                ids << QStringLiteral("misfiled");
            ids << good->Id(good->Row()) + Good::StatusText(good->status);
        }
        ids.sort();
        QStringList offers;
        for (const Offer *offer : node->offers)
            offers << offer->name;
        offers.sort();
        layout << node->path + QStringLiteral(": ") + ids.join(QLatin1Char(' ')) + QStringLiteral(" [")
                        + offers.join(QLatin1Char(',')) + QLatin1Char(']');
    }
    layout.sort();
    return layout;
}

const QStringList kShopFeed{"id;categoryId;price",   "1;Обувь/Сапоги;100", "2;Обувь/Кеды;200",
                            "3;Одежда/Платья;300",   "4;Одежда/Платья/Летние;400",
                            "5;Сумки;500",           "6;Сумки/Клатчи;600"};
const QStringList kMixedFeed{"id;categoryId;price;advcampaign_name", "7;Обувь/Сапоги;700;Shop",
                             "8;Обувь/Сапоги;800;Other", "9;Сумки;900;Shop", "10;Шапки;50;Other"};

} // namespace

void TestCategoryTree::reapplyingRulesFilesAsALoadWould_data()
{
    QTest::addColumn<QStringList>("include");
    QTest::addColumn<QStringList>("exclude");
    QTest::addColumn<QStringList>("rename");
    QTest::addColumn<bool>("other");
    QTest::addColumn<int>("dropped");

    QTest::newRow("rules unchanged") << QStringList{} << QStringList{} << QStringList{} << true << 0;
    QTest::newRow("renamed") << QStringList{} << QStringList{} << QStringList{"Одежда=Верх"} << true << 0;
    QTest::newRow("renamed into another offer's category")
            << QStringList{} << QStringList{} << QStringList{"Сумки=Шапки"} << true << 0;
    QTest::newRow("merged") << QStringList{} << QStringList{} << QStringList{"Обувь=>Обувь всё"} << true << 0;
    QTest::newRow("excluded") << QStringList{} << QStringList{"Сумки"} << QStringList{} << true << 3;
    QTest::newRow("exact exclusion keeps the subtree")
            << QStringList{} << QStringList{"!Одежда/Платья"} << QStringList{} << true << 1;
    QTest::newRow("only what is included")
            << QStringList{"Обувь"} << QStringList{} << QStringList{} << false << 5;
    QTest::newRow("one top category left, the ghost stays")
            << QStringList{} << QStringList{"Одежда", "Сумки"} << QStringList{} << true << 5;
    QTest::newRow("nothing left") << QStringList{} << QStringList{} << QStringList{} << false << 8;
}

// Placing an offer's goods again under new rules gives the categories a
// fresh load under those rules gives; other offers' goods stay where they
// were, and the goods the rules drop are counted.
void TestCategoryTree::reapplyingRulesFilesAsALoadWould()
{
    QFETCH(QStringList, include);
    QFETCH(QStringList, exclude);
    QFETCH(QStringList, rename);
    QFETCH(bool, other);
    QFETCH(int, dropped);

    const QString shopFeed = Feed("Shop.csv", kShopFeed);
    const QString mixedFeed = Feed("mixed.csv", kMixedFeed);
    Model edited;
    QVERIFY(edited.AddFile(shopFeed));
    QVERIFY(edited.AddFile(mixedFeed));
    Offer *shop = edited.OfferIndex().value(QStringLiteral("Shop"));
    QVERIFY(shop);
    SetRules(shop, include, exclude, rename, other);
    RecordingProgress progress;
    QVERIFY(edited.ReapplyRules(shop, &progress));
    QVERIFY(progress.reports.last().contains(QStringLiteral("убрано %1").arg(dropped)));
    QCOMPARE(edited.Warnings().filter(QStringLiteral("убрано товаров: %1").arg(dropped)).size(), dropped > 0 ? 1 : 0);

    Model loaded;
    SetRules(loaded.FindOrCreateOffer(QStringLiteral("Shop")), include, exclude, rename, other);
    QVERIFY(loaded.AddFile(shopFeed));
    QVERIFY(loaded.AddFile(mixedFeed));
    QCOMPARE(Layout(edited.Root()), Layout(loaded.Root()));
    const Offer *fresh = loaded.OfferIndex().value(QStringLiteral("Shop"));
    QCOMPARE(shop->categories, fresh->categories);
    QCOMPARE(shop->priceInfo.maxPrice, fresh->priceInfo.maxPrice);
    QCOMPARE(shop->priceInfo.minPrice, fresh->priceInfo.minPrice);

    // Back to no rules: the goods still in the catalogue return to their
    // categories, and the categories whose goods are gone are named.
    SetRules(shop, {}, {}, {}, true);
    QVERIFY(edited.ReapplyRules(shop));
    QCOMPARE(edited.Warnings().filter(QStringLiteral("когда фиды загрузят снова")).size(), dropped > 0 ? 1 : 0);
}

void TestCategoryTree::reapplyingRulesKeepsTheBaseMarks()
{
    Model model;
    QVERIFY(model.AddFile(Feed("Shop.csv", kShopFeed)));
    // The base changes one good's price, lacks another and holds one more.
    QStringList base = kShopFeed;
    base[1] = "1;Обувь/Сапоги;101";
    base.removeAt(2);
    base << "11;Обувь/Кеды;1100";
    QVERIFY(model.AddFile(Feed("Shop_base_1.csv", base), true));
    Offer *shop = model.OfferIndex().value(QStringLiteral("Shop"));
    SetRules(shop, {}, {}, {"Обувь=Ботинки"}, true);
    QVERIFY(model.ReapplyRules(shop));
    QCOMPARE(Layout(model.Root()),
             (QStringList{"Ботинки/Кеды: 11Удалён 2Добавлен [Shop]", "Ботинки/Сапоги: 1Изменён [Shop]"}));
}

void TestCategoryTree::cancelledReapplyLeavesTheTree()
{
    QStringList lines{"id;categoryId"};
    for (int i = 0; i < 9000; ++i)
        lines << QStringLiteral("%1;C%2/D%3").arg(i).arg(i % 7).arg(i % 3);
    Model model;
    QVERIFY(model.AddFile(Feed("Shop.csv", lines)));
    const QStringList before = Layout(model.Root());
    Offer *shop = &model.Offers().first();
    SetRules(shop, {}, {"C1"}, {"C2=E"}, true);
    for (const int cancelAt : {1, 2}) {
        RecordingProgress cancel(cancelAt);
        QVERIFY(!model.ReapplyRules(shop, &cancel));
        QVERIFY(model.LastError().contains(QStringLiteral("отменено")));
        QCOMPARE(Layout(model.Root()), before);
    }
    QVERIFY(model.ReapplyRules(shop));
    QVERIFY(Layout(model.Root()) != before);
    // An offer without goods has nothing to move.
    QVERIFY(model.ReapplyRules(model.FindOrCreateOffer(QStringLiteral("Empty"))));
}
