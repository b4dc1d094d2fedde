#include <functional>
#include <memory>

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSettings>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QThread>
#include <QTimer>
#include <QTreeView>

#include "admitdezozavodialog.h"
#include "catmodel.h"
#include "categoryviewmodel.h"
#include "choosecategorydialog.h"
#include "feedfile.h"
#include "filterslabel.h"
#include "good.h"
#include "goodwidget.h"
#include "interfacelanguage.h"
#include "mainwindow.h"
#include "progressthread.h"

namespace {

class TestableWindow final : public MainWindow
{
public:
    using MainWindow::AddFiles;
    using MainWindow::MainWindow;
};

// Opens one dialog or menu the way the user does, from the window; it runs
// modally until the test has read it and closed it.
using Opener = std::function<void(TestableWindow &)>;

// The feeds are English, so that every Cyrillic letter on screen is one of
// the program's own texts. Two offers in one file, goods of each status after
// the base.
const QString kHeader = QStringLiteral("name;price;oldprice;categoryId;vendor;url;advcampaign_name;picture");
const QStringList kData = {
    kHeader,
    QStringLiteral("Garden hose;20;25;Garden/Watering;Acme;http://shop.test/1;Garden Shop;http://127.0.0.1:1/1.png"),
    QStringLiteral("Rake;15;;Garden/Tools;Bolt;http://shop.test/2;Garden Shop;"),
    QStringLiteral("Spade;30;35;Garden/Tools;Crest;http://shop.test/3;Garden Shop;"),
    QStringLiteral("Lamp;40;;Home/Light;Dawn;http://shop.test/4;Home Store;"),
    QStringLiteral("Chair;90;120;Home/Furniture;Echo;http://shop.test/5;Home Store;"),
};
const QStringList kBase = {
    kHeader,
    QStringLiteral("Garden hose;18;25;Garden/Watering;Acme;http://shop.test/1;Garden Shop;http://127.0.0.1:1/1.png"),
    QStringLiteral("Rake;15;;Garden/Tools;Bolt;http://shop.test/2;Garden Shop;"),
    QStringLiteral("Bench;70;;Garden/Furniture;Fern;http://shop.test/6;Garden Shop;"),
    QStringLiteral("Lamp;40;;Home/Light;Dawn;http://shop.test/4;Home Store;"),
};

const QString kProject = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<settings>\n%1<offers>\n"
        "<offer url=\"shop.test\" prefix=\"garden\" name=\"Garden Shop\">"
        "<export autoload=\"false\" format=\"\"><![CDATA[http://127.0.0.1:1/garden.csv]]></export>"
        "<include><category name=\"Garden\"/></include><exclude><category name=\"Garden/Old\"/></exclude>"
        "<rename><category from=\"Garden/Watering\" to=\"Garden/Hoses\" merge=\"false\"/></rename>"
        "<other action=\"include\"/></offer>\n"
        "<offer url=\"\" prefix=\"\" name=\"Home Store\"><export autoload=\"false\" format=\"\"><![CDATA[]]></export>"
        "<other action=\"include\"/></offer>\n"
        "</offers>\n</settings>\n");

bool HasCyrillic(const QString &text)
{
    for (const QChar c : text) {
        if (c.script() == QChar::Script_Cyrillic)
            return true;
    }
    return false;
}

// Reads every text a user can see in a window, a dialog or a menu and keeps
// those with a Cyrillic letter, with where they were found.
class RussianFinder
{
public:
    QStringList found;

    void Window(QWidget *root)
    {
        if (auto *menu = qobject_cast<QMenu *>(root)) {
            Menu(QStringLiteral("menu"), menu);
            return;
        }
        QList<QWidget *> widgets = root->findChildren<QWidget *>();
        widgets.prepend(root);
        for (QWidget *widget : qAsConst(widgets)) {
            if (widget->isVisible())
                Widget(widget, root);
        }
    }

private:
    void Add(const QString &where, const QString &text)
    {
        if (HasCyrillic(text))
            found << where + QLatin1String(": ") + text;
    }

    void Menu(const QString &where, QMenu *menu)
    {
        const QString here = where + QLatin1Char('>') + menu->title();
        Add(here, menu->title());
        for (QAction *action : menu->actions()) {
            Add(here, action->text());
            Add(here, action->toolTip());
            if (action->menu())
                Menu(here, action->menu());
        }
    }

    void Model(const QString &where, QAbstractItemModel *model, bool withItems,
               const QModelIndex &parent = QModelIndex())
    {
        if (!parent.isValid()) {
            for (int section = 0; section < model->columnCount(); ++section)
                Add(where + QLatin1String(" header"), model->headerData(section, Qt::Horizontal).toString());
        }
        if (!withItems)
            return;
        const int rows = qMin(model->rowCount(parent), 1000);
        for (int row = 0; row < rows; ++row) {
            for (int column = 0; column < model->columnCount(parent); ++column) {
                const QModelIndex index = model->index(row, column, parent);
                Add(where, index.data(Qt::DisplayRole).toString());
                Add(where, index.data(Qt::ToolTipRole).toString());
                if (column == 0 && model->hasChildren(index))
                    Model(where, model, withItems, index);
            }
        }
    }

    void Widget(QWidget *widget, QWidget *root)
    {
        const QString where = QString::fromLatin1(widget->metaObject()->className()) + QLatin1Char(' ')
                + widget->objectName();
        if (widget->isWindow() || qobject_cast<QDockWidget *>(widget))
            Add(where + QLatin1String(" title"), widget->windowTitle());
        Add(where + QLatin1String(" tooltip"), widget->toolTip());
        Add(where + QLatin1String(" status tip"), widget->statusTip());
        Add(where + QLatin1String(" what's this"), widget->whatsThis());
        for (QAction *action : widget->actions())
            Add(where + QLatin1String(" action"), action->text());

        if (auto *label = qobject_cast<QLabel *>(widget))
            Add(where, label->text());
        else if (auto *button = qobject_cast<QAbstractButton *>(widget))
            Add(where, button->text());
        else if (auto *group = qobject_cast<QGroupBox *>(widget))
            Add(where, group->title());
        else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            Add(where, edit->text());
            Add(where + QLatin1String(" placeholder"), edit->placeholderText());
        } else if (auto *combo = qobject_cast<QComboBox *>(widget)) {
            for (int i = 0; i < combo->count(); ++i)
                Add(where, combo->itemText(i));
        } else if (auto *spin = qobject_cast<QAbstractSpinBox *>(widget)) {
            Add(where, spin->specialValueText());
        } else if (auto *tabs = qobject_cast<QTabWidget *>(widget)) {
            for (int i = 0; i < tabs->count(); ++i)
                Add(where, tabs->tabText(i));
        } else if (auto *bar = qobject_cast<QProgressBar *>(widget)) {
            Add(where, bar->text());
        } else if (auto *plain = qobject_cast<QPlainTextEdit *>(widget)) {
            Add(where, plain->toPlainText());
        } else if (auto *text = qobject_cast<QTextEdit *>(widget)) {
            Add(where, text->toPlainText());
        } else if (auto *status = qobject_cast<QStatusBar *>(widget)) {
            Add(where, status->currentMessage());
        } else if (auto *menuBar = qobject_cast<QMenuBar *>(widget)) {
            for (QAction *action : menuBar->actions()) {
                if (action->menu())
                    Menu(where, action->menu());
            }
        } else if (auto *view = qobject_cast<QAbstractItemView *>(widget)) {
            // The files a file chooser lists are the disk's, not ours.
            if (view->model() && !qobject_cast<QHeaderView *>(view))
                Model(where, view->model(), !qobject_cast<QFileDialog *>(root));
        }
    }
};

// What the next dialog, message box or menu to open showed.
struct Shown
{
    RussianFinder finder;
    bool seen = false;
    bool stop = false; // set by the test once it waits for nothing more
};

// Reads the next dialog, message box or menu that opens, then closes it;
// gives up when told or after a number of turns of the event loop.
void ReadNextShown(const std::shared_ptr<Shown> &state, int turns = 200)
{
    QTimer::singleShot(0, [=] {
        if (state->stop)
            return;
        QWidget *shown = QApplication::activePopupWidget();
        if (!shown)
            shown = QApplication::activeModalWidget();
        if (!shown) {
            if (turns > 0)
                ReadNextShown(state, turns - 1);
            return;
        }
        state->seen = true;
        state->finder.Window(shown);
        if (auto *dialog = qobject_cast<QDialog *>(shown))
            dialog->reject();
        else
            shown->close();
    });
}

// The language the windows start in: the test's settings hold no choice.
InterfaceLanguage::Language SystemLanguage()
{
    return InterfaceLanguage::FromUiLanguages(QLocale::system().uiLanguages());
}

Opener Trigger(const char *action)
{
    return [action](TestableWindow &window) {
        auto *found = window.findChild<QAction *>(QLatin1String(action));
        QVERIFY2(found, action);
        QVERIFY2(found->isEnabled(), action);
        found->trigger();
    };
}

Opener FilterLink(const char *link)
{
    return [link](TestableWindow &window) {
        emit window.findChild<FiltersLabel *>(QStringLiteral("filters"))->linkActivated(QLatin1String(link));
    };
}

// Makes the first row of a view current and asks for its context menu there.
Opener ContextMenu(const char *viewName, void (MainWindow::*show)(const QPoint &))
{
    return [=](TestableWindow &window) {
        auto *view = window.findChild<QAbstractItemView *>(QLatin1String(viewName));
        const QModelIndex first = view->model()->index(0, 0);
        view->setCurrentIndex(first);
        (window.*show)(view->visualRect(first).center());
    };
}

} // namespace

Q_DECLARE_METATYPE(Opener)

// With the English translation, no window, dialog or menu shows a Russian
// text: labels, buttons, menu entries, titles, tooltips, header data and
// the texts of the view models.
class TestEnglish : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void mainWindow_data();
    void mainWindow();
    void goodCards();
    void mixedOffersKeepTheirName();
    void languageMenuKeepsChoice();
    void dialogs_data();
    void dialogs();

private:
    std::unique_ptr<TestableWindow> NewWindow(const QString &options);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<InterfaceLanguage> m_english;
    std::unique_ptr<TestableWindow> m_window; // the one the dialogs open from
};

void TestEnglish::initTestCase()
{
    // The language the View menu chooses goes to a settings file of the
    // test's own.
    QStandardPaths::setTestModeEnabled(true);
    QSettings(QSettings::UserScope, QStringLiteral("fidmora"), QStringLiteral("fidmora")).clear();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    WriteFeed(QDir(m_dir->path()), QStringLiteral("data.csv"), kData);
    WriteFeed(QDir(m_dir->path()), QStringLiteral("base.csv"), kBase);
    m_english = std::make_unique<InterfaceLanguage>(InterfaceLanguage::English);
    m_window = NewWindow(QStringLiteral("<options><filter><price><high val=\"500\"/><low val=\"10\"/></price>"
                                        "</filter></options>\n"));
}

void TestEnglish::cleanupTestCase()
{
    m_window.reset();
    m_english.reset();
    QSettings(QSettings::UserScope, QStringLiteral("fidmora"), QStringLiteral("fidmora")).clear();
}

std::unique_ptr<TestableWindow> TestEnglish::NewWindow(const QString &options)
{
    const QString project = WriteBytes(QDir(m_dir->path()), QStringLiteral("shop.fdm"), kProject.arg(options).toUtf8());
    auto window = std::make_unique<TestableWindow>(nullptr, &project);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("the window was not exposed");
    window->AddFiles({m_dir->filePath(QStringLiteral("data.csv"))}, false);
    window->AddFiles({m_dir->filePath(QStringLiteral("base.csv"))}, true);
    return window;
}

void TestEnglish::mainWindow_data()
{
    // Each state of the filter line shows other pieces.
    QTest::addColumn<QString>("options");
    QTest::newRow("no filter") << QString();
    QTest::newRow("price, few brands, discount")
            << "<options><filter><discount val=\"true\"/><price><high val=\"500\"/><low val=\"10\"/></price>"
               "<vendors type=\"array\"><item val=\"Acme\"/><item val=\"Bolt\"/></vendors></filter></options>\n";
    QTest::newRow("many brands") << "<options><filter><vendors type=\"array\"><item val=\"Acme\"/><item val=\"Bolt\"/>"
                                    "<item val=\"Crest\"/><item val=\"Dawn\"/></vendors></filter></options>\n";
}

void TestEnglish::mainWindow()
{
    QFETCH(QString, options);
    auto window = NewWindow(options);
    RussianFinder finder;
    finder.Window(window.get());
    QVERIFY2(finder.found.isEmpty(), qPrintable(finder.found.join(QLatin1Char('\n'))));
}

void TestEnglish::goodCards()
{
    // The goods list draws every good with one card; a card per good here.
    auto *view = m_window->findChild<QAbstractItemView *>(QStringLiteral("goodListView"));
    QAbstractItemModel *goods = view->model();
    QSet<int> statuses;
    for (int row = 0; row < goods->rowCount(); ++row) {
        const QModelIndex index = goods->index(row, 0);
        Good *good = index.data().value<Good *>();
        QVERIFY(good);
        statuses.insert(good->status);
        GoodWidget card;
        card.SetGood(good, index);
        card.show();
        RussianFinder finder;
        finder.Window(&card);
        QVERIFY2(finder.found.isEmpty(), qPrintable(finder.found.join(QLatin1Char('\n'))));
    }
    QCOMPARE(statuses.size(), 3);
}

void TestEnglish::mixedOffersKeepTheirName()
{
    // The data file names its offers per row and fills two top-level
    // categories: its goods land below the ghost of mixed offers. A project's
    // filter keeps that ghost's name in its paths, so the name is the same in
    // every language (fidmora-cli under cron may speak another one); only
    // the tree shows it translated.
    auto *tree = m_window->findChild<QTreeView *>(QStringLiteral("catTreeView"));
    auto *categories = qobject_cast<CategoryViewModel *>(tree->model());
    QVERIFY(categories);
    QStringList names, shown;
    for (int row = 0; row < categories->rowCount(); ++row) {
        const QModelIndex index = categories->index(row, 0);
        names << categories->NodeAt(index)->name;
        shown << index.data().toString();
    }
    QVERIFY2(names.contains(QStringLiteral("Разные офферы")), qPrintable(names.join(QLatin1Char(','))));
    QVERIFY2(shown.contains(QStringLiteral("Various offers (4)")), qPrintable(shown.join(QLatin1Char(','))));
}

void TestEnglish::languageMenuKeepsChoice()
{
    // Each choice is kept for the next start of the window and of
    // fidmora-cli; the one that differs from the running language says when
    // it applies.
    const QVector<QPair<QString, InterfaceLanguage::Language>> choices = {
            {QStringLiteral("language_en"), InterfaceLanguage::English},
            {QStringLiteral("language_ru"), InterfaceLanguage::Russian}};
    for (const auto &choice : choices) {
        const auto told = std::make_shared<Shown>();
        ReadNextShown(told);
        m_window->findChild<QAction *>(choice.first)->trigger();
        told->stop = true;
        QCOMPARE(InterfaceLanguage::Chosen(), choice.second);
        QVERIFY(m_window->findChild<QAction *>(choice.first)->isChecked());
        QCOMPARE(told->seen, choice.second != SystemLanguage());
    }
}

void TestEnglish::dialogs_data()
{
    QTest::addColumn<Opener>("open");

    // A new dialog is one row: how the user opens it.
    QTest::newRow("add files") << Trigger("add_file");
    QTest::newRow("add base files") << Trigger("add_file_base");
    QTest::newRow("add URL") << Trigger("add_url");
    QTest::newRow("add base URL") << Trigger("add_url_base");
    QTest::newRow("export columns") << Trigger("save");
    QTest::newRow("save by categories") << Trigger("save_by_cats");
    QTest::newRow("open project") << Trigger("project_open");
    // The loaded feeds changed the project: the question before dropping it.
    QTest::newRow("new project") << Trigger("project_new");
    QTest::newRow("save project as") << Trigger("project_save_as");
    QTest::newRow("price") << FilterLink("#choosePrice");
    QTest::newRow("brands") << FilterLink("#chooseVendor");
    QTest::newRow("offer menu") << ContextMenu("offerListView", &MainWindow::showOfferContextMenu);
    QTest::newRow("category menu") << ContextMenu("catTreeView", &MainWindow::showCategoryContextMenu);
    QTest::newRow("offer editor") << Opener([](TestableWindow &window) {
        auto *offers = window.findChild<QListView *>(QStringLiteral("offerListView"));
        offers->setCurrentIndex(offers->model()->index(0, 0));
        window.editOffer();
    });
    QTest::newRow("category chooser") << Opener([](TestableWindow &window) {
        ChooseCategoryDialog(QStringList{"Garden", "Garden/Tools"}, &window).exec();
    });
    QTest::newRow("FTP export") << Trigger("ftp_export");
    QTest::newRow("MODX site") << Trigger("modx_export");
    QTest::newRow("Admitad sign-in") << Opener([](TestableWindow &window) {
        AdmitdeZozavoDialog(QStringLiteral("http://127.0.0.1:1/auth?state=1"), &window,
                            QStringLiteral("http://127.0.0.1:1"))
                .exec();
    });
    QTest::newRow("good details") << Opener([](TestableWindow &window) {
        window.viewGood(window.findChild<QAbstractItemView *>(QStringLiteral("goodListView"))->model()->index(0, 0));
    });
    QTest::newRow("language") << Opener([](TestableWindow &window) {
        // The language the window did not start in.
        window.findChild<QAction *>(SystemLanguage() == InterfaceLanguage::English ? QStringLiteral("language_ru")
                                                                                  : QStringLiteral("language_en"))
                ->trigger();
    });
    QTest::newRow("progress") << Opener([](TestableWindow &window) {
        RunWithProgress(&window, false, [](IProgress *progress) {
            while (progress->Report(0, 0, QStringLiteral("Loading")))
                QThread::msleep(10);
        });
    });
    QTest::newRow("progress log") << Opener([](TestableWindow &window) {
        ProgressDialog dialog(&window, true);
        dialog.waitingCancel();
        dialog.exec();
    });
}

void TestEnglish::dialogs()
{
    QFETCH(Opener, open);
    const auto shown = std::make_shared<Shown>();
    ReadNextShown(shown);
    open(*m_window);
    shown->stop = true;
    QVERIFY2(shown->seen, "nothing opened");
    QVERIFY2(shown->finder.found.isEmpty(), qPrintable(shown->finder.found.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestEnglish)
#include "tst_english.moc"
