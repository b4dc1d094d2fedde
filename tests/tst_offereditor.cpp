#include <memory>

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QSignalSpy>
#include <QStringListModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "choosecatdelegate.h"
#include "choosecategorydialog.h"
#include "editofferdialog.h"
#include "includecatviewmodel.h"
#include "model.h"
#include "modalhelper.h"
#include "replacecatviewmodel.h"

namespace {

const char kFeed[] =
        "name;price;categoryId;advcampaign_name\r\n"
        "Boots;100;Обувь/Сапоги;Shop\r\n"
        "Dress;250;Одежда/Платья;Shop\r\n"
        "Socks;15;аксессуары;Shop\r\n"
        "Coat;900;A/B;Shop\r\n";

CategoryRule Rule(const QString &textForm)
{
    return CategoryRule::FromText(textForm);
}

QList<CategoryRule> Rules(const QStringList &textForms)
{
    QList<CategoryRule> rules;
    for (const QString &textForm : textForms)
        rules.append(Rule(textForm));
    return rules;
}

QStringList TextForms(const QList<CategoryRule> &rules)
{
    QStringList forms;
    for (const CategoryRule &rule : rules)
        forms.append(rule.ToText());
    return forms;
}

// Counts the refusals instead of showing a box.
class QuietIncludeModel final : public IncludeCatViewModel
{
public:
    using IncludeCatViewModel::IncludeCatViewModel;
    int warnings = 0;

protected:
    void WarnDuplicate() override { ++warnings; }
};

// The edits a user can make in the offer editor.
enum Edit {
    NoEdit,
    EditName,
    EditAddresses,
    EditOtherCategories,
    EditIncludeRule,
    AddExcludeRule,
    RemoveIncludeRule,
    AddEmptyIncludeRow,
    AddEmptyExcludeRow,
    EditRenameTarget,
    ToggleRenameMerge,
    AddRenameWithoutTarget,
    RetypeSameRule,
};

} // namespace

Q_DECLARE_METATYPE(Edit)

class TestOfferEditor : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void title();
    void applyToOffer_data();
    void applyToOffer();
    void unsortedRulesCountAsChange();
    void includeRulesComeBackSorted();
    void renameRows();
    void emptyRuleRowsAreNotStored();
    void emptyNameIsRefused();

    void duplicateRefusal_data();
    void duplicateRefusal();
    void newRowIsPink();
    void toolButtonsAddRows();
    void toolButtonsAddChosenCategory_data();
    void toolButtonsAddChosenCategory();
    void fitsSmallScreen();
    void contextMenu();
    void contextMenuOverEmptySpace();

    void chooserModes_data();
    void chooserModes();
    void chooserListsSortedCategories();
    void chooserWithoutCategoriesWarns();
    void delegateEditsRule();
    void editorCommits_data();
    void editorCommits();

    void replaceModelSetData_data();
    void replaceModelSetData();
    void includeModelTester();
    void replaceModelTester();

private:
    template<typename View>
    View *Child(QWidget *parent, const char *name);
    void LoadFeed();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Model> m_model;
    Offer *m_offer = nullptr;
};

template<typename View>
View *TestOfferEditor::Child(QWidget *parent, const char *name)
{
    auto *child = parent->findChild<View *>(QLatin1String(name));
    if (!child)
        qFatal("no child %s", name);
    return child;
}

void TestOfferEditor::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_model = std::make_unique<Model>();
    m_offer = m_model->FindOrCreateOffer(QStringLiteral("Shop"));
    m_offer->include = Rules({"Обувь", "!Одежда"});
    m_offer->exclude = Rules({"?Аксессуары"});
    m_offer->rename.insert(Rule("Одежда"), RenameTarget{QStringLiteral("Женская одежда"), false});
    m_offer->rename.insert(Rule("!Обувь/Сапоги"), RenameTarget{QStringLiteral("Сапоги"), true});
    m_offer->exportUrl = QStringLiteral("http://127.0.0.1/feed.csv");
    m_offer->prefix = QStringLiteral("shop.example");
    m_offer->url = QStringLiteral("http://shop.example");
}

void TestOfferEditor::LoadFeed()
{
    m_offer->include.clear();
    m_offer->exclude.clear();
    m_offer->rename.clear();
    const QString path = m_dir->filePath(QStringLiteral("feed.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(kFeed);
    file.close();
    QVERIFY2(m_model->AddFile(path), qPrintable(m_model->LastError()));
    QCOMPARE(m_offer->categories.size(), 4);
}

void TestOfferEditor::title()
{
    EditOfferDialog named(m_offer);
    QCOMPARE(named.windowTitle(), QStringLiteral("Редактирование оффера Shop"));
    Offer blank;
    blank.name.clear();
    EditOfferDialog unnamed(&blank);
    QCOMPARE(unnamed.windowTitle(), QStringLiteral("Создание нового оффера"));
}

void TestOfferEditor::applyToOffer_data()
{
    QTest::addColumn<Edit>("edit");
    QTest::addColumn<bool>("reload");

    QTest::newRow("nothing") << NoEdit << false;
    QTest::newRow("name") << EditName << false;
    QTest::newRow("addresses") << EditAddresses << false;
    QTest::newRow("same rule typed again") << RetypeSameRule << false;
    QTest::newRow("empty include row") << AddEmptyIncludeRow << false;
    QTest::newRow("empty exclude row") << AddEmptyExcludeRow << false;
    QTest::newRow("rename row without target") << AddRenameWithoutTarget << false;
    QTest::newRow("other categories") << EditOtherCategories << true;
    QTest::newRow("include rule") << EditIncludeRule << true;
    QTest::newRow("exclude rule added") << AddExcludeRule << true;
    QTest::newRow("include rule removed") << RemoveIncludeRule << true;
    QTest::newRow("rename target") << EditRenameTarget << true;
    QTest::newRow("rename merge") << ToggleRenameMerge << true;
}

void TestOfferEditor::applyToOffer()
{
    QFETCH(Edit, edit);
    QFETCH(bool, reload);

    const Offer before = *m_offer;
    ModalCloser closer;
    EditOfferDialog dialog(m_offer);
    auto *include = Child<QTableView>(&dialog, "includeCatsView")->model();
    auto *exclude = Child<QTableView>(&dialog, "excludeCatsView")->model();
    auto *rename = Child<QTableView>(&dialog, "replaceCatsView")->model();

    switch (edit) {
    case NoEdit:
        break;
    case EditName:
        Child<QLineEdit>(&dialog, "offerNameEdit")->setText(QStringLiteral("Shop 2"));
        break;
    case EditAddresses:
        Child<QLineEdit>(&dialog, "importUrlEdit")->setText(QStringLiteral("http://127.0.0.1/other.csv"));
        Child<QLineEdit>(&dialog, "offerPrefixEdit")->setText(QStringLiteral("other.example"));
        Child<QLineEdit>(&dialog, "offerUrlEdit")->setText(QStringLiteral("http://other.example"));
        break;
    case RetypeSameRule:
        QVERIFY(include->setData(include->index(1, 0), QStringLiteral("!Одежда")));
        break;
    case AddEmptyIncludeRow:
        QVERIFY(include->insertRows(include->rowCount(), 1));
        break;
    case AddEmptyExcludeRow:
        QVERIFY(exclude->insertRows(0, 2));
        break;
    case AddRenameWithoutTarget:
        QVERIFY(rename->insertRows(rename->rowCount(), 1));
        QVERIFY(rename->setData(rename->index(rename->rowCount() - 1, 0), QStringLiteral("Шапки")));
        break;
    case EditOtherCategories:
        Child<QComboBox>(&dialog, "otherCatsCombo")->setCurrentIndex(1);
        break;
    case EditIncludeRule:
        QVERIFY(include->setData(include->index(0, 0), QStringLiteral("?Обувь")));
        break;
    case AddExcludeRule:
        QVERIFY(exclude->insertRows(exclude->rowCount(), 1));
        QVERIFY(exclude->setData(exclude->index(1, 0), QStringLiteral("Шапки")));
        break;
    case RemoveIncludeRule:
        QVERIFY(include->removeRows(0, 1));
        break;
    case EditRenameTarget:
        QVERIFY(rename->setData(rename->index(0, 1), QStringLiteral("Одежда для женщин")));
        break;
    case ToggleRenameMerge:
        QVERIFY(rename->setData(rename->index(0, 2), Qt::Checked, Qt::CheckStateRole));
        break;
    }

    QCOMPARE(dialog.ApplyToOffer(), reload);
    if (edit == EditName)
        QCOMPARE(m_offer->name, QStringLiteral("Shop 2"));
    if (edit == EditAddresses) {
        QCOMPARE(m_offer->exportUrl, QStringLiteral("http://127.0.0.1/other.csv"));
        QCOMPARE(m_offer->prefix, QStringLiteral("other.example"));
        QCOMPARE(m_offer->url, QStringLiteral("http://other.example"));
    }
    if (!reload) {
        QCOMPARE(m_offer->include, before.include);
        QCOMPARE(m_offer->exclude, before.exclude);
        QCOMPARE(m_offer->rename, before.rename);
        QCOMPARE(m_offer->includeOther, before.includeOther);
    }
    if (edit == EditOtherCategories)
        QCOMPARE(m_offer->includeOther, false);
    if (edit == ToggleRenameMerge)
        QCOMPARE(m_offer->rename.value(Rule("Одежда")).merge, true);

    // Applying again what is now stored changes nothing more.
    EditOfferDialog again(m_offer);
    QCOMPARE(again.ApplyToOffer(), false);
    QCOMPARE(closer.closed, QStringList());
}

void TestOfferEditor::unsortedRulesCountAsChange()
{
    m_offer->exclude = Rules({"Б", "А"});
    EditOfferDialog dialog(m_offer);
    Child<QLineEdit>(&dialog, "offerNameEdit")->setText(QStringLiteral("Shop 2"));
    QVERIFY(dialog.ApplyToOffer());
    QCOMPARE(TextForms(m_offer->exclude), (QStringList{"А", "Б"}));
}

void TestOfferEditor::includeRulesComeBackSorted()
{
    m_offer->include = Rules({"!b", "z", "?a", "a", "!a", "Z"});
    {
        EditOfferDialog dialog(m_offer);
        QVERIFY(dialog.ApplyToOffer());
    }
    const QStringList sorted{"Z", "a", "z", "!a", "!b", "?a"};
    QCOMPARE(TextForms(m_offer->include), sorted);

    EditOfferDialog reopened(m_offer);
    auto *include = Child<QTableView>(&reopened, "includeCatsView")->model();
    QStringList shown;
    for (int row = 0; row < include->rowCount(); ++row)
        shown.append(include->index(row, 0).data().toString());
    QCOMPARE(shown, sorted);
}

void TestOfferEditor::renameRows()
{
    m_offer->rename.clear();
    EditOfferDialog dialog(m_offer);
    auto *rename = Child<QTableView>(&dialog, "replaceCatsView")->model();
    const QList<QStringList> rows{
        {"Одежда", "Женская одежда", ""},
        {"Обувь", "", ""},            // no target: dropped
        {"", "Куда-то", ""},          // no rule: dropped
        {"!", "Куда-то", ""},         // an exact rule without a path: dropped
        {"Одежда", "Платья", "merge"}, // the later of two equal rules wins
        {"!Одежда", "Только одежда", ""},
    };
    QVERIFY(rename->insertRows(0, rows.size()));
    for (int row = 0; row < rows.size(); ++row) {
        QVERIFY(rename->setData(rename->index(row, 0), rows.at(row).at(0)));
        QVERIFY(rename->setData(rename->index(row, 1), rows.at(row).at(1)));
        if (!rows.at(row).at(2).isEmpty())
            QVERIFY(rename->setData(rename->index(row, 2), Qt::Checked, Qt::CheckStateRole));
    }
    QVERIFY(dialog.ApplyToOffer());

    QMap<CategoryRule, RenameTarget> expected;
    expected.insert(Rule("Одежда"), RenameTarget{QStringLiteral("Платья"), true});
    expected.insert(Rule("!Одежда"), RenameTarget{QStringLiteral("Только одежда"), false});
    QCOMPARE(m_offer->rename.keys(), expected.keys());
    QCOMPARE(m_offer->rename.values(), expected.values());

    // Shown again in the map's order.
    EditOfferDialog reopened(m_offer);
    auto *shown = Child<QTableView>(&reopened, "replaceCatsView")->model();
    QCOMPARE(shown->rowCount(), 2);
    QCOMPARE(shown->index(0, 0).data().toString(), QStringLiteral("Одежда"));
    QCOMPARE(shown->index(0, 1).data().toString(), QStringLiteral("Платья"));
    QCOMPARE(shown->index(0, 2).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(shown->index(1, 0).data().toString(), QStringLiteral("!Одежда"));
}

void TestOfferEditor::emptyRuleRowsAreNotStored()
{
    // A row added and never filled in would match every category: kept in
    // the exclude list it would drop the offer's whole feed.
    m_offer->include.clear();
    m_offer->exclude = Rules({"", "Шапки", "?"});
    EditOfferDialog dialog(m_offer);
    auto *include = Child<QTableView>(&dialog, "includeCatsView")->model();
    QVERIFY(include->insertRows(0, 2));
    QVERIFY(dialog.ApplyToOffer());
    QCOMPARE(TextForms(m_offer->include), QStringList());
    QCOMPARE(TextForms(m_offer->exclude), QStringList{"Шапки"});
    QCOMPARE(m_offer->MapCategory(QStringLiteral("Обувь")), QStringLiteral("Обувь"));
}

void TestOfferEditor::emptyNameIsRefused()
{
    EditOfferDialog dialog(m_offer);
    dialog.show();
    Child<QLineEdit>(&dialog, "offerNameEdit")->clear();

    QString warning;
    OnNextModal([&warning](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        warning = box->text();
        box->close();
    });
    dialog.accept();
    QCOMPARE(warning, QStringLiteral("Имя оффера не может быть пустым"));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(m_offer->name, QStringLiteral("Shop"));

    Child<QLineEdit>(&dialog, "offerNameEdit")->setText(QStringLiteral("Shop 2"));
    dialog.accept();
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
}

void TestOfferEditor::duplicateRefusal_data()
{
    QTest::addColumn<QStringList>("rules");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");

    const QStringList rules{"Обувь", "!Обувь", "?Одежда"};
    QTest::newRow("same as another row") << rules << 0 << "!Обувь" << false;
    QTest::newRow("same as another, other mode") << rules << 1 << "Обувь" << false;
    QTest::newRow("own rule again") << rules << 0 << "Обувь" << true;
    QTest::newRow("own below rule again") << rules << 2 << "?Одежда" << true;
    QTest::newRow("new mode for a path") << rules << 1 << "?Обувь" << true;
    QTest::newRow("new rule") << rules << 2 << "Шапки" << true;
    QTest::newRow("case differs") << rules << 2 << "обувь" << true;
    QTest::newRow("own rule held twice") << QStringList{"Обувь", "Обувь"} << 0 << "Обувь" << false;
    QTest::newRow("second empty row") << QStringList{"Обувь", "", ""} << 1 << "" << true;
    QTest::newRow("clearing a rule") << QStringList{"Обувь", ""} << 0 << "" << true;
}

void TestOfferEditor::duplicateRefusal()
{
    QFETCH(QStringList, rules);
    QFETCH(int, row);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);

    QuietIncludeModel model(Rules(rules), true);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    const QString old = model.index(row).data().toString();

    QCOMPARE(model.setData(model.index(row), typed), accepted);
    QCOMPARE(model.warnings, accepted ? 0 : 1);
    QCOMPARE(changed.count(), accepted ? 1 : 0);
    QCOMPARE(model.index(row).data(Qt::EditRole).toString(), accepted ? typed : old);
}

void TestOfferEditor::newRowIsPink()
{
    QuietIncludeModel model(Rules({"Обувь"}), false);
    QVERIFY(model.insertRows(1, 1));
    const QModelIndex added = model.index(1);
    QCOMPARE(added.data().toString(), QString());
    QCOMPARE(added.data(Qt::BackgroundRole).value<QColor>(), QColor(255, 200, 200));
    QCOMPARE(model.index(0).data(Qt::BackgroundRole).value<QColor>(), QColor(Qt::white));

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(model.setData(added, QStringLiteral("!Шапки")));
    QCOMPARE(added.data(Qt::BackgroundRole).value<QColor>(), QColor(Qt::white));
    QVERIFY(changed.at(0).at(2).value<QVector<int>>().contains(Qt::BackgroundRole));
}

void TestOfferEditor::toolButtonsAddRows()
{
    EditOfferDialog dialog(m_offer);
    const std::pair<const char *, const char *> pairs[] = {
        {"includeCatsView", "toolButton"}, {"excludeCatsView", "toolButton_2"}, {"replaceCatsView", "toolButton_3"}};
    for (const auto &pair : pairs) {
        QAbstractItemModel *model = Child<QTableView>(&dialog, pair.first)->model();
        const int rows = model->rowCount();
        Child<QToolButton>(&dialog, pair.second)->click();
        QCOMPARE(model->rowCount(), rows + 1);
        QCOMPARE(model->index(rows, 0).data().toString(), QString());
        if (model->columnCount() == 1)
            QCOMPARE(model->index(rows, 0).data(Qt::BackgroundRole).value<QColor>(), QColor(255, 200, 200));
        else
            QCOMPARE(model->index(rows, 2).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    }
}

void TestOfferEditor::toolButtonsAddChosenCategory_data()
{
    QTest::addColumn<QString>("view");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("accept");
    QTest::newRow("include") << "includeCatsView" << "toolButton" << true;
    QTest::newRow("exclude") << "excludeCatsView" << "toolButton_2" << true;
    QTest::newRow("rename") << "replaceCatsView" << "toolButton_3" << true;
    QTest::newRow("cancelled") << "includeCatsView" << "toolButton" << false;
}

void TestOfferEditor::toolButtonsAddChosenCategory()
{
    QFETCH(QString, view);
    QFETCH(QString, button);
    QFETCH(bool, accept);
    // Once the offer's categories are known, "…" adds a chosen one in one step.
    LoadFeed();
    EditOfferDialog dialog(m_offer);
    QAbstractItemModel *model = Child<QTableView>(&dialog, view.toLatin1().constData())->model();
    const int rows = model->rowCount();
    OnNextModal([accept](QWidget *modal) {
        auto *chooser = qobject_cast<ChooseCategoryDialog *>(modal);
        QVERIFY(chooser);
        auto *list = chooser->findChild<QListView *>(QStringLiteral("listView"));
        // "Обувь", a parent level the feed never names alone.
        list->setCurrentIndex(list->model()->index(2, 0));
        if (accept)
            chooser->accept();
        else
            chooser->reject();
    });
    Child<QToolButton>(&dialog, button.toLatin1().constData())->click();
    QCOMPARE(model->rowCount(), rows + (accept ? 1 : 0));
    if (accept)
        QCOMPARE(model->index(rows, 0).data().toString(), QStringLiteral("Обувь"));
}

void TestOfferEditor::fitsSmallScreen()
{
    LoadFeed();
    m_offer->url = QStringLiteral("https://uyutny-dom.example/catalog/for/the/whole/family/and/more");
    EditOfferDialog dialog(m_offer);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // A 1024×700 screen holds the whole dialog.
    QVERIFY2(dialog.frameGeometry().width() <= 1024 && dialog.frameGeometry().height() <= 700,
             qPrintable(QStringLiteral("%1x%2").arg(dialog.frameGeometry().width()).arg(dialog.frameGeometry().height())));
    // Every column of the renames shows, each with its whole caption.
    auto *renames = Child<QTableView>(&dialog, "replaceCatsView");
    QHeaderView *header = renames->horizontalHeader();
    int total = 0;
    for (int column = 0; column < header->count(); ++column) {
        const QString caption = renames->model()->headerData(column, Qt::Horizontal).toString();
        QVERIFY2(header->sectionSize(column) >= header->fontMetrics().horizontalAdvance(caption), qPrintable(caption));
        total += header->sectionSize(column);
    }
    QVERIFY(total <= renames->viewport()->width());
    // The address is shown from its start.
    QCOMPARE(Child<QLineEdit>(&dialog, "offerUrlEdit")->cursorPosition(), 0);
}

void TestOfferEditor::contextMenu()
{
    EditOfferDialog dialog(m_offer);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *view = Child<QTableView>(&dialog, "includeCatsView");
    QAbstractItemModel *model = view->model();
    view->setCurrentIndex(model->index(0, 0));
    const QPoint onItem = view->visualRect(model->index(0, 0)).center();

    QStringList entries;
    OnNextMenu([&entries](QMenu *menu) {
        QCOMPARE(menu->title(), QStringLiteral("Действия"));
        for (QAction *action : menu->actions())
            entries.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        menu->actions().first()->trigger();
    });
    emit view->customContextMenuRequested(onItem);
    QCOMPARE(entries, (QStringList{"Удалить категорию", "-", "Добавить категорию"}));
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("!Одежда"));

    // The rename table, through its own menu.
    auto *replace = Child<QTableView>(&dialog, "replaceCatsView");
    replace->setCurrentIndex(replace->model()->index(1, 1));
    OnNextMenu([](QMenu *menu) { menu->actions().last()->trigger(); });
    emit replace->customContextMenuRequested(replace->visualRect(replace->model()->index(1, 1)).center());
    QCOMPARE(replace->model()->rowCount(), 3);
    QCOMPARE(replace->model()->index(2, 0).data().toString(), QString());
}

void TestOfferEditor::contextMenuOverEmptySpace()
{
    EditOfferDialog dialog(m_offer);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto *view = Child<QTableView>(&dialog, "excludeCatsView");
    QAbstractItemModel *model = view->model();
    view->setCurrentIndex(model->index(0, 0));
    const QRect item = view->visualRect(model->index(0, 0));
    const QPoint below(item.center().x(), item.bottom() + item.height());
    QVERIFY(view->viewport()->rect().contains(below));

    QStringList entries;
    OnNextMenu([&entries](QMenu *menu) {
        for (QAction *action : menu->actions())
            entries.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        menu->actions().first()->trigger();
    });
    emit view->customContextMenuRequested(below);
    QCOMPARE(entries, QStringList{"Добавить категорию"});
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->index(1, 0).data().toString(), QString());
}

void TestOfferEditor::chooserModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("rule");

    // Categories: "A/B", "Обувь".
    QTest::newRow("subtree") << 0 << 0 << "A/B";
    QTest::newRow("exact") << 1 << 0 << "!A/B";
    QTest::newRow("below") << 2 << 0 << "?A/B";
    QTest::newRow("exact, other row") << 1 << 1 << "!Обувь";
    QTest::newRow("nothing chosen") << 1 << -1 << "";
}

void TestOfferEditor::chooserModes()
{
    QFETCH(int, mode);
    QFETCH(int, row);
    QFETCH(QString, rule);

    ChooseCategoryDialog dialog({"A/B", "Обувь"});
    auto *combo = Child<QComboBox>(&dialog, "typeCombo");
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->currentIndex(), 0);
    combo->setCurrentIndex(mode);
    auto *list = Child<QListView>(&dialog, "listView");
    if (row >= 0)
        list->setCurrentIndex(list->model()->index(row, 0));
    QCOMPARE(dialog.SelectedRule(), rule);
}

void TestOfferEditor::chooserListsSortedCategories()
{
    LoadFeed();
    EditOfferDialog dialog(m_offer);
    dialog.show();
    auto *view = Child<QTableView>(&dialog, "includeCatsView");
    auto *delegate = qobject_cast<ChooseCatDelegate *>(view->itemDelegateForColumn(0));
    QVERIFY(delegate);
    QWidget *editor = delegate->createEditor(view->viewport(), QStyleOptionViewItem(), QModelIndex());
    auto *widget = qobject_cast<ChooseCatDelegate::ChooseCatWidget *>(editor);
    QVERIFY(widget);

    QStringList offered;
    OnNextModal([&offered](QWidget *modal) {
        auto *chooser = qobject_cast<ChooseCategoryDialog *>(modal);
        QVERIFY(chooser);
        auto *list = chooser->findChild<QListView *>(QStringLiteral("listView"));
        offered = qobject_cast<QStringListModel *>(list->model())->stringList();
        chooser->findChild<QComboBox *>(QStringLiteral("typeCombo"))->setCurrentIndex(1);
        list->setCurrentIndex(list->model()->index(1, 0));
        chooser->accept();
    });
    widget->findChild<QToolButton *>()->click();

    // Sorted case-sensitively: capitals before small letters; every parent
    // level is offered too.
    QCOMPARE(offered, (QStringList{"A", "A/B", "Обувь", "Обувь/Сапоги", "Одежда", "Одежда/Платья", "аксессуары"}));
    QCOMPARE(widget->LineEdit()->text(), QStringLiteral("!A/B"));
    QCOMPARE(widget->LineEdit()->selectedText(), QStringLiteral("!A/B"));
    delete editor;
}

void TestOfferEditor::chooserWithoutCategoriesWarns()
{
    const QStringList none;
    ChooseCatDelegate delegate(&none);
    QWidget parent;
    QWidget *editor = delegate.createEditor(&parent, QStyleOptionViewItem(), QModelIndex());
    auto *widget = qobject_cast<ChooseCatDelegate::ChooseCatWidget *>(editor);
    QVERIFY(widget);
    widget->LineEdit()->setText(QStringLiteral("Обувь"));

    QString title;
    QString text;
    OnNextModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        title = box->windowTitle();
        text = box->text();
        box->close();
    });
    widget->chooseCategory();
    QCOMPARE(title, QStringLiteral("Выбор категории"));
    QCOMPARE(text, QStringLiteral("Нет категорий для этого оффера. Возможно он ещё не загружен."));
    QCOMPARE(widget->LineEdit()->text(), QStringLiteral("Обувь"));
}

void TestOfferEditor::delegateEditsRule()
{
    const QStringList categories{"A/B"};
    ChooseCatDelegate delegate(&categories);
    QuietIncludeModel model(Rules({"Обувь", "?Одежда"}), true);
    QWidget parent;
    const QModelIndex second = model.index(1);
    QWidget *editor = delegate.createEditor(&parent, QStyleOptionViewItem(), second);
    auto *widget = qobject_cast<ChooseCatDelegate::ChooseCatWidget *>(editor);
    QVERIFY(widget);

    delegate.setEditorData(editor, second);
    QCOMPARE(widget->LineEdit()->text(), QStringLiteral("?Одежда"));
    QCOMPARE(widget->LineEdit()->selectedText(), QStringLiteral("?Одежда"));

    widget->LineEdit()->setText(QStringLiteral("!Одежда"));
    delegate.setModelData(editor, &model, second);
    QCOMPARE(second.data().toString(), QStringLiteral("!Одежда"));

    // A rule the list already holds stays out, and the cell keeps its rule.
    widget->LineEdit()->setText(QStringLiteral("Обувь"));
    delegate.setModelData(editor, &model, second);
    QCOMPARE(model.warnings, 1);
    QCOMPARE(second.data().toString(), QStringLiteral("!Одежда"));

    // Any other editor is left to the base delegate.
    QLineEdit plain;
    delegate.setEditorData(&plain, model.index(0));
    QCOMPARE(plain.text(), QStringLiteral("Обувь"));
}

void TestOfferEditor::editorCommits_data()
{
    QTest::addColumn<bool>("byEnter");
    QTest::newRow("enter") << true;
    // The typed rule must not be lost when the user goes on to another
    // field or straight to the OK button.
    QTest::newRow("focus elsewhere") << false;
}

void TestOfferEditor::editorCommits()
{
    QFETCH(bool, byEnter);

    LoadFeed();
    EditOfferDialog dialog(m_offer);
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto *view = Child<QTableView>(&dialog, "excludeCatsView");
    QAbstractItemModel *model = view->model();
    QVERIFY(model->insertRows(0, 1));
    const QModelIndex cell = model->index(0, 0);
    view->setCurrentIndex(cell);
    view->edit(cell);
    auto *editor = qobject_cast<ChooseCatDelegate::ChooseCatWidget *>(view->indexWidget(cell));
    QVERIFY(editor);
    QVERIFY(editor->LineEdit()->hasFocus());

    // The chooser takes the window's focus for a while; the cell stays open.
    OnNextModal([](QWidget *modal) {
        auto *chooser = qobject_cast<ChooseCategoryDialog *>(modal);
        QVERIFY(chooser);
        auto *list = chooser->findChild<QListView *>(QStringLiteral("listView"));
        list->setCurrentIndex(list->model()->index(5, 0));
        chooser->accept();
    });
    editor->findChild<QToolButton *>()->click();
    QCOMPARE(view->indexWidget(cell), editor);
    QCOMPARE(editor->LineEdit()->text(), QStringLiteral("Одежда/Платья"));
    // Back in the editor window, the focus returns to the cell.
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QVERIFY(editor->LineEdit()->hasFocus());

    if (byEnter) {
        QTest::keyClick(editor->LineEdit(), Qt::Key_Return);
        // The view commits an Enter through a queued call to the delegate.
        QCoreApplication::sendPostedEvents(view->itemDelegateForColumn(0), QEvent::MetaCall);
    } else {
        Child<QLineEdit>(&dialog, "offerNameEdit")->setFocus(Qt::MouseFocusReason);
    }
    QCOMPARE(cell.data().toString(), QStringLiteral("Одежда/Платья"));
    QVERIFY(!view->indexWidget(cell));
}

void TestOfferEditor::replaceModelSetData_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("rule");
    QTest::addColumn<QString>("to");
    QTest::addColumn<bool>("merge");

    // The row starts as "Одежда" -> "Женская одежда", merge off.
    const QString rule = QStringLiteral("Одежда");
    const QString to = QStringLiteral("Женская одежда");
    QTest::newRow("checked") << 2 << int(Qt::CheckStateRole) << QVariant(int(Qt::Checked)) << true << rule << to
                             << true;
    QTest::newRow("partly checked") << 2 << int(Qt::CheckStateRole) << QVariant(int(Qt::PartiallyChecked)) << true
                                    << rule << to << false;
    QTest::newRow("rule") << 0 << int(Qt::EditRole) << QVariant("?Обувь") << true << "?Обувь" << to << false;
    QTest::newRow("target") << 1 << int(Qt::EditRole) << QVariant("Платья") << true << rule << "Платья" << false;
    QTest::newRow("check on rule") << 0 << int(Qt::CheckStateRole) << QVariant(int(Qt::Checked)) << false << rule
                                   << to << false;
    QTest::newRow("text on check box") << 2 << int(Qt::EditRole) << QVariant("x") << false << rule << to << false;
    QTest::newRow("display role") << 1 << int(Qt::DisplayRole) << QVariant("x") << false << rule << to << false;
}

void TestOfferEditor::replaceModelSetData()
{
    QFETCH(int, column);
    QFETCH(int, role);
    QFETCH(QVariant, value);
    QFETCH(bool, result);
    QFETCH(QString, rule);
    QFETCH(QString, to);
    QFETCH(bool, merge);

    QMap<CategoryRule, RenameTarget> rename;
    rename.insert(Rule("Одежда"), RenameTarget{QStringLiteral("Женская одежда"), false});
    ReplaceCatViewModel model(rename);
    QCOMPARE(model.setData(model.index(0, column), value, role), result);
    const ReplaceCatViewModel::Row &row = model.Rows().at(0);
    QCOMPARE(row.rule.ToText(), rule);
    QCOMPARE(row.to, to);
    QCOMPARE(row.merge, merge);
}

void TestOfferEditor::includeModelTester()
{
    QuietIncludeModel model(Rules({"Обувь", "!Одежда"}), true);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    QVERIFY(model.insertRows(2, 3));
    QVERIFY(model.insertRows(0, 1));
    QVERIFY(!model.insertRows(7, 1));
    QVERIFY(!model.insertRows(0, 0));
    QVERIFY(model.setData(model.index(0), QStringLiteral("?Шапки")));
    QVERIFY(model.setData(model.index(3), QStringLiteral("Носки")));
    QVERIFY(!model.setData(model.index(4), QStringLiteral("Носки")));
    QVERIFY(model.removeRows(1, 2));
    QVERIFY(!model.removeRows(3, 2));
    QCOMPARE(TextForms(model.Rules()), (QStringList{"?Шапки", "Носки", "", ""}));
    QVERIFY(model.removeRows(0, model.rowCount()));
    QCOMPARE(model.rowCount(), 0);
    QVERIFY(model.insertRows(0, 1));
}

void TestOfferEditor::replaceModelTester()
{
    ReplaceCatViewModel model(m_offer->rename);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    QCOMPARE(model.columnCount(), 3);
    QVERIFY(model.insertRows(model.rowCount(), 2));
    QVERIFY(model.setData(model.index(2, 0), QStringLiteral("!Шапки")));
    QVERIFY(model.setData(model.index(2, 1), QStringLiteral("Головные уборы")));
    QVERIFY(model.setData(model.index(3, 2), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(model.removeRows(0, 1));
    QVERIFY(!model.removeRows(0, 4));
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(model.index(1, 0).data().toString(), QStringLiteral("!Шапки"));
    QVERIFY(model.flags(model.index(1, 2)) & Qt::ItemIsUserCheckable);
    QVERIFY(!(model.flags(model.index(1, 2)) & Qt::ItemIsEditable));
    QVERIFY(model.removeRows(0, model.rowCount()));
    QCOMPARE(model.rowCount(), 0);
}

QTEST_MAIN(TestOfferEditor)
#include "tst_offereditor.moc"
