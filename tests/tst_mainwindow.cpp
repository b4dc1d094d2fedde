#include <memory>

#include <QAction>
#include <QCheckBox>
#include <QColor>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTest>
#include <QTreeView>

#include "exportoptionsdialog.h"
#include "feedfile.h"
#include "good.h"
#include "httptestserver.h"
#include <QDesktopServices>

#include "mainwindow.h"
#include "modalhelper.h"
#include "model.h"
#include "phpsite.h"
#include "progressdialog.h"
#include "recentprojects.h"

namespace {

// Commands without their file choosers, and the steps behind them.
class TestableWindow final : public MainWindow
{
public:
    using MainWindow::MainWindow;
    using MainWindow::AddFiles;
    using MainWindow::OpenProject;
    using MainWindow::SaveAll;
    using MainWindow::SaveProjectAs;
    using MainWindow::Autosave;
    using MainWindow::OpenExample;
    using MainWindow::AddUrlFeed;
};

// Stands in for the system's browser: keeps the addresses it was asked to open.
class UrlRecorder final : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened.append(url); }
};

const QString kHeader = QStringLiteral("name;price;categoryId;vendor;url;advcampaign_name");

// Two top-level categories: they land below a ghost node; the file names its
// offer per row, so the ghost is named for offers of all kinds.
const QStringList kShopFeed = {
    kHeader,
    QStringLiteral("Сапоги;1000;Обувь/Сапоги;Alpha;http://shop.test/1;Shop"),
    QStringLiteral("Туфли;800;Обувь/Туфли;Beta;http://shop.test/2;Shop"),
    QStringLiteral("Кеды;500;Обувь/Туфли;Beta;http://shop.test/3;Shop"),
    QStringLiteral("Платье;1500;Одежда;Alpha;http://shop.test/4;Shop"),
    QStringLiteral("Пальто;3000;Одежда;Gamma;http://shop.test/5;Shop"),
};

const QStringList kOtherFeed = {
    kHeader,
    QStringLiteral("Роман;300;Книги;Delta;http://other.test/1;Other"),
    QStringLiteral("Повесть;200;Книги;Delta;http://other.test/2;Other"),
};

// A feed answer that names its file: downloads named after the host share
// their names with those of other test programs running at the same time.
HttpTestServer::Response FeedAnswer(const QByteArray &fileName, const QByteArray &body)
{
    HttpTestServer::Response response;
    response.body = body;
    response.headers.append(qMakePair(QByteArray("Content-Disposition"),
                                      QByteArray("attachment; filename=\"") + fileName + '"'));
    return response;
}

QString OfferXml(const QString &name, const QString &exportUrl = QString(), const QString &rules = QString())
{
    return QStringLiteral("<offer url=\"\" prefix=\"\" name=\"%1\"><export autoload=\"false\" format=\"\">"
                          "<![CDATA[%2]]></export>%3<other action=\"include\"/></offer>\n")
            .arg(name, exportUrl, rules);
}

QString WriteProject(const QDir &dir, const QString &fileName, const QString &offers,
                     const QString &options = QString())
{
    const QString path = dir.filePath(fileName);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<settings>\n%1<offers>\n%2</offers>\n"
                              "</settings>\n")
                       .arg(options, offers)
                       .toUtf8());
    return path;
}

// A filter of the project: goods priced from low to high.
QString PriceFilterXml(int low, int high)
{
    return QStringLiteral("<options><filter><price><high val=\"%1\"/><low val=\"%2\"/></price></filter></options>\n")
            .arg(high)
            .arg(low);
}

template<typename T>
T *Child(QWidget *parent, const char *name)
{
    T *child = parent->findChild<T *>(QLatin1String(name));
    if (!child)
        qFatal("no child %s", name);
    return child;
}

int Rows(QAbstractItemView *view)
{
    return view->model() ? view->model()->rowCount() : -1;
}

QStringList Texts(QAbstractItemView *view, const QModelIndex &parent = QModelIndex())
{
    QStringList texts;
    QAbstractItemModel *model = view->model();
    for (int row = 0; model && row < model->rowCount(parent); ++row)
        texts.append(model->index(row, 0, parent).data().toString());
    return texts;
}

// The names of the goods in the goods list, in list order.
QStringList GoodNames(QAbstractItemView *view)
{
    QStringList names;
    QAbstractItemModel *model = view->model();
    for (int row = 0; model && row < model->rowCount(); ++row) {
        const Good *good = model->index(row, 0).data().value<Good *>();
        names.append(good->Name(good->Row()));
    }
    return names;
}

QModelIndex FindRow(QAbstractItemView *view, const QString &text, const QModelIndex &parent = QModelIndex())
{
    QAbstractItemModel *model = view->model();
    for (int row = 0; model && row < model->rowCount(parent); ++row) {
        const QModelIndex index = model->index(row, 0, parent);
        if (index.data().toString() == text)
            return index;
    }
    return QModelIndex();
}

// The texts of a context menu, "-" for separators and " (off)" after a
// disabled entry.
QStringList MenuTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions()) {
        if (action->isSeparator())
            texts.append(QStringLiteral("-"));
        else
            texts.append(action->text() + (action->isEnabled() ? QString() : QStringLiteral(" (off)")));
    }
    return texts;
}

// Whether every entry of a menu has a mnemonic, none shared with another,
// that a Russian keyboard layout can type: a Cyrillic letter or a digit.
bool UniqueMnemonics(const QStringList &entries)
{
    QSet<QChar> letters;
    for (const QString &entry : entries) {
        if (entry == QLatin1String("-"))
            continue;
        const int at = entry.indexOf(QLatin1Char('&'));
        if (at < 0 || at + 1 >= entry.size() || letters.contains(entry.at(at + 1).toLower())
            || !(entry.at(at + 1).script() == QChar::Script_Cyrillic || entry.at(at + 1).isDigit())) {
            qWarning("no mnemonic of its own: %s", qPrintable(entry));
            return false;
        }
        letters.insert(entry.at(at + 1).toLower());
    }
    return true;
}

// The entries of the menu "Офферы", which the offer list's menu ends with.
const QStringList kListEntries = {
    QStringLiteral("Загрузить CSV &всех офферов"),
    QStringLiteral("Загрузить офферов &из Admitad"),
    QStringLiteral("Удалить &неиспользуемых офферов"),
    QStringLiteral("&Сохранить офферов"),
};

// Shows a context menu of a view at a point and returns its entries (empty
// when none came); the entry named by choose is triggered first.
QStringList OpenContextMenu(QAbstractItemView *view, const QPoint &pos, const QString &choose = QString())
{
    QStringList entries;
    bool shown = false;
    // A timer of this scope: a menu that never comes leaves nothing behind.
    QTimer watcher;
    watcher.setInterval(0);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu || shown)
            return;
        shown = true;
        entries = MenuTexts(menu);
        if (menu->title() != QStringLiteral("Действия"))
            entries.prepend(QStringLiteral("wrong title: ") + menu->title());
        QAction *chosen = nullptr;
        for (QAction *action : menu->actions()) {
            if (!choose.isEmpty() && action->text() == choose)
                chosen = action;
        }
        menu->close();
        if (chosen)
            chosen->trigger();
    });
    watcher.start();
    emit view->customContextMenuRequested(pos);
    return entries;
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void keyboardReachesCommands();
    void changeReportBesideTheProject();
    void projectArgument_data();
    void projectArgument();
    void startsWithProject();
    void unreadProjectIsNeverWrittenOver_data();
    void unreadProjectIsNeverWrittenOver();
    void closingWritesAutosave();
    void report_data();
    void report();
    void addFiles_data();
    void addFiles();
    void addUrl_data();
    void addUrl();
    void offerContextMenu_data();
    void offerContextMenu();
    void offerContextMenuOverEmptySpace();
    void offerListIsSortedByName();
    void confirmationsBeforeDiscarding_data();
    void confirmationsBeforeDiscarding();
    void loadAllOffers_data();
    void loadAllOffers();
    void offerCommands_data();
    void offerCommands();
    void deleteUnusedOffersKeepsRuledOffers();
    void editedRulesApplyAtOnce_data();
    void editedRulesApplyAtOnce();
    void reloadAllLoadsTheSourcesAgain();
    void categoryContextMenu_data();
    void categoryContextMenu();
    void categoryContextMenuOnlyOverItem();
    void deleteCategoryRemovesSubtree();
    void categoryClickShowsSubtree_data();
    void categoryClickShowsSubtree();
    void search_data();
    void search();
    void statusButtons_data();
    void statusButtons();
    void recentProjects();
    void saveProjectCommands();
    void withSuffix_data();
    void withSuffix();
    void confirmDeletions_data();
    void confirmDeletions();
    void emptyWindowAndExample();
    void cancelIsNotAnError();
    void viewGoodOpensDialog();
    void removeDuplicates();
    void projectCommands_data();
    void projectCommands();
    void saveAll_data();
    void saveAll();
    void baseShowsDeltaAndGuardsExport_data();
    void baseShowsDeltaAndGuardsExport();
    void saveProjectFailureIsReported();
    void modxImport_data();
    void modxImport();

private:
    std::unique_ptr<TestableWindow> NewWindow(const QString *projectPath = nullptr);

    QTemporaryDir m_settings; // the machine's settings of the windows tested
    QString m_autosave;
    QByteArray m_previousAutosave;
    bool m_hadAutosave = false;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestMainWindow::initTestCase()
{
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings.path());
    // The window reads and writes the autosave beside the test program: keep
    // whatever was there and put it back at the end.
    m_autosave = Model::DefaultProjectPath();
    m_hadAutosave = QFileInfo::exists(m_autosave);
    if (m_hadAutosave)
        m_previousAutosave = ReadBytes(m_autosave);
}

void TestMainWindow::init()
{
    QFile::remove(m_autosave);
    QSettings(QSettings::UserScope, QStringLiteral("fidmora"), QStringLiteral("fidmora")).clear();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestMainWindow::cleanup()
{
    m_dir.reset();
}

void TestMainWindow::cleanupTestCase()
{
    QFile::remove(m_autosave);
    if (m_hadAutosave) {
        QFile file(m_autosave);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(m_previousAutosave);
    }
}

std::unique_ptr<TestableWindow> TestMainWindow::NewWindow(const QString *projectPath)
{
    auto window = std::make_unique<TestableWindow>(nullptr, projectPath);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("the window was not exposed");
    return window;
}

void TestMainWindow::keyboardReachesCommands()
{
    auto window = NewWindow();
    // Every menu entry has a mnemonic of its own within its menu.
    QList<QMenu *> menus{nullptr};
    for (QAction *top : window->menuBar()->actions())
        menus.append(top->menu());
    for (int i = 0; i < menus.size(); ++i) {
        const QList<QAction *> actions = menus.at(i) ? menus.at(i)->actions() : window->menuBar()->actions();
        QStringList texts;
        for (QAction *action : actions) {
            if (action->menu() && !menus.contains(action->menu()))
                menus.append(action->menu());
            texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
        }
        QVERIFY(UniqueMnemonics(texts));
    }
    // The common commands have the desktop's keys; the project is the
    // document, the export has Ctrl+E.
    const QList<QPair<const char *, QKeySequence>> keys = {
        {"project_new", QKeySequence(QKeySequence::New)},
        {"project_open", QKeySequence(QKeySequence::Open)},
        {"project_save", QKeySequence(QKeySequence::Save)},
        {"project_save_as", QKeySequence(QStringLiteral("Ctrl+Shift+S"))},
        {"save", QKeySequence(QStringLiteral("Ctrl+E"))},
        {"exit", QKeySequence(QKeySequence::Quit)},
    };
    for (const auto &key : keys)
        QCOMPARE(Child<QAction>(window.get(), key.first)->shortcut(), key.second);
    // Ctrl+F goes to the search.
    Child<QListView>(window.get(), "offerListView")->setFocus();
    QTest::keySequence(window.get(), QKeySequence(QKeySequence::Find));
    QCOMPARE(QApplication::focusWidget(), Child<QLineEdit>(window.get(), "searchEdit"));

    // Ctrl+O asks for a project; choosing none leaves the views as they were.
    window->Report(0, 0, QStringLiteral("before"));
    QPointer<QAbstractItemModel> files = Child<QListView>(window.get(), "filesListView")->model();
    QPointer<QAbstractItemModel> categories = Child<QTreeView>(window.get(), "catTreeView")->model();
    QString caption;
    OnNextModal([&caption](QWidget *modal) {
        caption = modal->windowTitle();
        QVERIFY(qobject_cast<QFileDialog *>(modal));
        static_cast<QDialog *>(modal)->reject();
    });
    QTest::keySequence(window.get(), QKeySequence(QKeySequence::Open));
    QCOMPARE(caption, QStringLiteral("Открыть проект"));
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("before"));
    QVERIFY(files && categories);
    QCOMPARE(Child<QListView>(window.get(), "filesListView")->model(), files.data());

    // Enter on a good opens it, once.
    window->AddFiles({WriteFeed(QDir(m_dir->path()), QStringLiteral("shop.csv"), kShopFeed)}, false);
    auto *goods = Child<QListView>(window.get(), "goodListView");
    goods->setFocus();
    goods->setCurrentIndex(goods->model()->index(1, 0));
    ModalCloser closer;
    QTest::keyClick(goods, Qt::Key_Return);
    QCOMPARE(closer.closed, QStringList{"Просмотр товара"});
}

void TestMainWindow::projectArgument_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("project"); // "" for the autosave

    QTest::newRow("no argument") << QStringList{"fidmora"} << "";
    QTest::newRow("existing file") << QStringList{"fidmora", "p.fdm"} << "p.fdm";
    QTest::newRow("missing file") << QStringList{"fidmora", "none.fdm"} << "";
    QTest::newRow("folder") << QStringList{"fidmora", "."} << "";
    QTest::newRow("only the first counts") << QStringList{"fidmora", "none.fdm", "p.fdm"} << "";
}

void TestMainWindow::projectArgument()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, project);

    const QDir dir(m_dir->path());
    WriteProject(dir, QStringLiteral("p.fdm"), OfferXml(QStringLiteral("A")));
    for (int i = 1; i < arguments.size(); ++i)
        arguments[i] = dir.filePath(arguments.at(i));
    const QString chosen = MainWindow::ProjectArgument(arguments);
    if (project.isEmpty())
        QVERIFY(chosen.isNull());
    else
        QCOMPARE(chosen, dir.filePath(project));
}

void TestMainWindow::startsWithProject()
{
    const QString project = WriteProject(QDir(m_dir->path()), QStringLiteral("shop.fdm"),
                                         OfferXml(QStringLiteral("Alpha")) + OfferXml(QStringLiteral("Beta")),
                                         PriceFilterXml(10, 20));
    // An autosave that must not be read when a project is named.
    WriteProject(QFileInfo(m_autosave).dir(), QFileInfo(m_autosave).fileName(), OfferXml(QStringLiteral("Saved")));

    auto window = NewWindow(&project);
    auto *offers = Child<QListView>(window.get(), "offerListView");
    QCOMPARE(Texts(offers), (QStringList{"Alpha", "Beta"}));
    QVERIFY(Child<QLabel>(window.get(), "filters")->text().contains(QStringLiteral("Цена с 10 до 20")));
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Выполнено"));
    QCOMPARE(Child<QLabel>(window.get(), "statLabel")->text(), QStringLiteral("Категорий: 0. Товаров: 0"));
    QCOMPARE(window->windowTitle(), QStringLiteral("shop.fdm[*] — Товары"));
    QVERIFY(!window->isWindowModified());
}

void TestMainWindow::unreadProjectIsNeverWrittenOver_data()
{
    QTest::addColumn<bool>("named"); // named on the command line, else the autosave itself
    QTest::newRow("autosave") << false;
    QTest::newRow("named project") << true;
}

void TestMainWindow::unreadProjectIsNeverWrittenOver()
{
    QFETCH(bool, named);

    const QDir dir(m_dir->path());
    const QByteArray broken = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<settings>\n<offers>\n<offer name=\"Half";
    const QString unread = named ? dir.filePath(QStringLiteral("shop.fdm")) : m_autosave;
    WriteBytes(QFileInfo(unread).dir(), QFileInfo(unread).fileName(), broken);
    if (named)
        WriteProject(QFileInfo(m_autosave).dir(), QFileInfo(m_autosave).fileName(), OfferXml(QStringLiteral("Saved")));
    const QString beside = QFileInfo(m_autosave).dir().filePath(QStringLiteral("last (2).fdm"));
    QFile::remove(beside);

    QString said;
    {
        ModalCloser closer;
        auto window = NewWindow(named ? &unread : nullptr);
        QTRY_COMPARE(closer.texts.size(), 1);
        said = closer.texts.first();
        // The file, the line and the column.
        QVERIFY2(said.contains(QDir::toNativeSeparators(unread)) && said.contains(QStringLiteral("строка"))
                         && said.contains(QStringLiteral("столбец")),
                 qPrintable(said));
        QCOMPARE(window->AutosavePath(), named ? m_autosave : beside);
        QCOMPARE(Texts(Child<QListView>(window.get(), "offerListView")),
                 named ? QStringList{"Saved"} : QStringList());

        // The periodic autosave goes where the exit one goes.
        window->AddFiles({WriteFeed(dir, QStringLiteral("shop.csv"), kShopFeed)}, false);
        window->Autosave();
        QVERIFY(ReadBytes(window->AutosavePath()).contains("name=\"Shop\""));
    }
    QCOMPARE(ReadBytes(unread), broken);
    if (!named) {
        QVERIFY2(said.contains(QDir::toNativeSeparators(beside)), qPrintable(said));
        QVERIFY(ReadBytes(beside).contains("name=\"Shop\""));
        QFile::remove(beside);
    }
}

void TestMainWindow::closingWritesAutosave()
{
    QVERIFY(!QFileInfo::exists(m_autosave));
    {
        auto window = NewWindow();
        Child<QAction>(window.get(), "exit")->trigger();
        QVERIFY(!window->isVisible());
    }
    QVERIFY(QFileInfo::exists(m_autosave));
    QVERIFY(ReadBytes(m_autosave).contains("<settings>"));

    // The next start finds the filter and offers that were saved.
    const QString project = WriteProject(QDir(m_dir->path()), QStringLiteral("p.fdm"),
                                         OfferXml(QStringLiteral("Kept")), PriceFilterXml(5, 50));
    {
        auto window = NewWindow(&project);
    }
    auto window = NewWindow();
    QCOMPARE(Texts(Child<QListView>(window.get(), "offerListView")), QStringList{"Kept"});
    QVERIFY(Child<QLabel>(window.get(), "filters")->text().contains(QStringLiteral("Цена с 5 до 50")));
}

void TestMainWindow::report_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("max");
    QTest::addColumn<QString>("shown");

    QTest::newRow("with a count") << 3 << 7 << "x (3/7)";
    QTest::newRow("plain") << 0 << 0 << "x";
    QTest::newRow("current without max") << 5 << 0 << "x";
}

void TestMainWindow::report()
{
    QFETCH(int, current);
    QFETCH(int, max);
    QFETCH(QString, shown);

    auto window = NewWindow();
    IProgress *progress = window.get();
    QVERIFY(progress->Report(current, max, QStringLiteral("x")));
    QCOMPARE(window->statusBar()->currentMessage(), shown);
}

void TestMainWindow::addFiles_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("sources");
    QTest::addColumn<QStringList>("offers");
    QTest::addColumn<int>("goods");
    QTest::addColumn<QString>("stat");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QStringList>("boxes"); // titles of the message boxes shown

    const QStringList none;
    // Every import says how many goods it added.
    QTest::newRow("one feed") << QStringList{"shop.csv"} << QStringList{"shop"} << QStringList{"Shop"} << 5
                              << "Категорий: 3. Товаров: 5" << "Выполнено, добавлено товаров: 5" << none;
    QTest::newRow("two feeds") << QStringList{"shop.csv", "other.csv"} << QStringList{"shop", "other"}
                               << QStringList{"Other", "Shop"} << 7 << "Категорий: 4. Товаров: 7"
                               << "Выполнено, добавлено товаров: 7" << none;
    // The first file that fails ends the command, and the user learns why.
    QTest::newRow("missing first") << QStringList{"missing.csv", "shop.csv"} << QStringList() << QStringList() << 0
                                   << "Категорий: 0. Товаров: 0" << "missing" << QStringList{"Ошибка"};
    QTest::newRow("missing second") << QStringList{"shop.csv", "missing.csv", "other.csv"} << QStringList{"shop"}
                                    << QStringList{"Shop"} << 5 << "Категорий: 3. Товаров: 5" << "missing"
                                    << QStringList{"Ошибка"};
    // A row with a field too many is passed over, and said so.
    QTest::newRow("malformed row") << QStringList{"other.csv", "bad.csv"} << QStringList{"other", "bad"}
                                   << QStringList{"Bad", "Other"} << 4 << "Категорий: 2. Товаров: 4"
                                   << "Выполнено, добавлено товаров: 4, пропущено строк: 1"
                                   << QStringList{"Предупреждение"};
}

void TestMainWindow::addFiles()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, sources);
    QFETCH(QStringList, offers);
    QFETCH(int, goods);
    QFETCH(QString, stat);
    QFETCH(QString, status);
    QFETCH(QStringList, boxes);

    const QDir dir(m_dir->path());
    WriteFeed(dir, QStringLiteral("shop.csv"), kShopFeed);
    WriteFeed(dir, QStringLiteral("other.csv"), kOtherFeed);
    WriteFeed(dir, QStringLiteral("bad.csv"),
              {kHeader, QStringLiteral("Шарф;100;Аксессуары;V;http://bad.test/1;Bad"),
               QStringLiteral("Шапка;200;Аксессуары;V;http://bad.test/2;Bad;лишнее"),
               QStringLiteral("Перчатки;300;Аксессуары;V;http://bad.test/3;Bad")});
    QStringList paths;
    for (const QString &file : files)
        paths.append(dir.filePath(file));

    auto window = NewWindow();
    ModalCloser closer;
    window->AddFiles(paths, false);
    QCOMPARE(closer.closed, boxes);
    // The warnings are listed with bullets, not with their UTF-8 bytes.
    if (boxes.contains(QStringLiteral("Предупреждение")))
        QVERIFY2(closer.texts.last().contains(QStringLiteral("\n\u2022 ")), qPrintable(closer.texts.last()));

    QCOMPARE(Texts(Child<QListView>(window.get(), "filesListView")), sources);
    QCOMPARE(Texts(Child<QListView>(window.get(), "offerListView")), offers);
    QCOMPARE(Rows(Child<QListView>(window.get(), "goodListView")), goods);
    QCOMPARE(Child<QLabel>(window.get(), "statLabel")->text(), stat);
    if (status == QLatin1String("missing")) {
        status = QStringLiteral("Выполнено с ошибкой: Файл %1 не найден")
                         .arg(QDir::toNativeSeparators(dir.filePath(QStringLiteral("missing.csv"))));
    }
    QCOMPARE(window->statusBar()->currentMessage(), status);

    if (goods == 5) {
        // The ghost named after the offer holds the two top-level categories.
        auto *tree = Child<QTreeView>(window.get(), "catTreeView");
        QCOMPARE(Texts(tree).first(), QStringLiteral("Разные офферы (5)"));
        QCOMPARE(Texts(tree, tree->model()->index(0, 0)), (QStringList{"Обувь (3)", "Одежда (2)"}));
        QCOMPARE(GoodNames(Child<QListView>(window.get(), "goodListView")).mid(0, 5),
                 (QStringList{"Сапоги", "Туфли", "Кеды", "Платье", "Пальто"}));
    }
}

void TestMainWindow::addUrl_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<int>("goods");
    QTest::addColumn<QString>("status");

    QTest::newRow("data") << "add_url" << "/shop.csv" << true << 5 << "Выполнено";
    QTest::newRow("cancelled") << "add_url" << "/shop.csv" << false << 0 << "Выполнено";
    QTest::newRow("not found") << "add_url" << "/none.csv" << true << 0 << "Выполнено с ошибкой";
    // A base over an empty catalogue: every row is a good the site must drop.
    QTest::newRow("base") << "add_url_base" << "/shop.csv" << true << 5 << "Выполнено";
}

void TestMainWindow::addUrl()
{
    QFETCH(QString, action);
    QFETCH(QString, path);
    QFETCH(bool, accept);
    QFETCH(int, goods);
    QFETCH(QString, status);

    HttpTestServer server;
    server.Set("/shop.csv", FeedAnswer("shop.csv", kShopFeed.join(QStringLiteral("\r\n")).toUtf8() + "\r\n"));

    auto window = NewWindow();
    ModalCloser failures(QMessageBox::NoButton, ModalCloser::MessageBoxesOnly);
    QString prompt;
    OnNextModal([&](QWidget *modal) {
        prompt = modal->windowTitle();
        Child<QLineEdit>(modal, "urlEdit")->setText(server.Url(path));
        if (accept)
            static_cast<QDialog *>(modal)->accept();
        else
            static_cast<QDialog *>(modal)->reject();
    });
    Child<QAction>(window.get(), action.toLatin1().constData())->trigger();

    QCOMPARE(prompt, QStringLiteral("Введите URL файла"));
    QCOMPARE(Rows(Child<QListView>(window.get(), "goodListView")), goods);
    QVERIFY2(window->statusBar()->currentMessage().startsWith(status),
             qPrintable(window->statusBar()->currentMessage()));
    if (status != QStringLiteral("Выполнено"))
        QVERIFY(window->statusBar()->currentMessage().size() > status.size());
    // A failure is also told in a box, which names the address.
    QCOMPARE(failures.texts.size(), status == QStringLiteral("Выполнено") ? 0 : 1);
    if (!failures.texts.isEmpty())
        QVERIFY2(failures.texts.first().contains(server.Url(path)), qPrintable(failures.texts.first()));
    QCOMPARE(server.Hits(path.toLatin1()), accept ? 1 : 0);
}

void TestMainWindow::offerContextMenu_data()
{
    QTest::addColumn<QString>("offer");
    QTest::addColumn<QStringList>("entries");

    const QString load = QStringLiteral("&Загрузить CSV оффера");
    const QString unload = QStringLiteral("Вы&грузить товары оффера");
    const QString edit = QStringLiteral("&Редактировать оффера");
    const QString remove = QStringLiteral("&Удалить оффера");
    const QString separator = QStringLiteral("-");
    QTest::newRow("feed address, no goods") << "Feed (+)" << QStringList{load, edit, remove, separator} + kListEntries;
    QTest::newRow("feed address and goods")
            << "Both (+)" << QStringList{load, unload, edit, remove, separator} + kListEntries;
    QTest::newRow("goods, no feed address") << "Shop" << QStringList{unload, edit, remove, separator} + kListEntries;
    QTest::newRow("neither") << "Bare" << QStringList{edit, remove, separator} + kListEntries;
}

void TestMainWindow::offerContextMenu()
{
    QFETCH(QString, offer);
    QFETCH(QStringList, entries);

    const QDir dir(m_dir->path());
    const QString unreachable = QStringLiteral("http://127.0.0.1:1/feed.csv");
    const QString project = WriteProject(dir, QStringLiteral("p.fdm"),
                                         OfferXml(QStringLiteral("Feed"), unreachable)
                                                 + OfferXml(QStringLiteral("Both"), unreachable)
                                                 + OfferXml(QStringLiteral("Bare")));
    QStringList both = kOtherFeed;
    both.replaceInStrings(QStringLiteral(";Other"), QStringLiteral(";Both"));
    auto window = NewWindow(&project);
    window->AddFiles({WriteFeed(dir, QStringLiteral("shop.csv"), kShopFeed),
                      WriteFeed(dir, QStringLiteral("both.csv"), both)},
                     false);

    auto *view = Child<QListView>(window.get(), "offerListView");
    const QModelIndex index = FindRow(view, offer);
    QVERIFY2(index.isValid(), qPrintable(Texts(view).join(QLatin1Char(','))));
    view->setCurrentIndex(index);
    const QStringList shown = OpenContextMenu(view, view->visualRect(index).center());
    QCOMPARE(shown, entries);
    QVERIFY(UniqueMnemonics(shown));
}

void TestMainWindow::offerContextMenuOverEmptySpace()
{
    const QString project = WriteProject(QDir(m_dir->path()), QStringLiteral("p.fdm"),
                                         OfferXml(QStringLiteral("A")) + OfferXml(QStringLiteral("B")));
    auto window = NewWindow(&project);
    auto *view = Child<QListView>(window.get(), "offerListView");
    const QModelIndex last = view->model()->index(1, 0);
    view->setCurrentIndex(last);
    const QRect item = view->visualRect(last);
    const QPoint below(item.center().x(), item.bottom() + 2 * item.height());
    QVERIFY(view->viewport()->rect().contains(below));
    QCOMPARE(OpenContextMenu(view, below), kListEntries);

    // Without any offer the list-wide entries are all there is.
    {
        ModalCloser agree(QMessageBox::Yes);
        window->newProject();
    }
    QCOMPARE(Rows(view), 0);
    QCOMPARE(OpenContextMenu(view, QPoint(2, 2)), kListEntries);
}

void TestMainWindow::offerListIsSortedByName()
{
    const QString project = WriteProject(QDir(m_dir->path()), QStringLiteral("p.fdm"),
                                         OfferXml(QStringLiteral("beta")) + OfferXml(QStringLiteral("Alpha"))
                                                 + OfferXml(QStringLiteral("gamma")));
    {
        auto window = NewWindow(&project);
        auto *view = Child<QListView>(window.get(), "offerListView");
        QCOMPARE(Texts(view), (QStringList{"Alpha", "beta", "gamma"}));

        // A row of the sorted list is the offer it shows.
        const QModelIndex gamma = view->model()->index(2, 0);
        view->setCurrentIndex(gamma);
        QString title;
        OnNextModal([&title](QWidget *modal) { title = modal->windowTitle(); });
        emit view->doubleClicked(gamma);
        QCOMPARE(title, QStringLiteral("Редактирование оффера gamma"));
    }
    // The project keeps its own order.
    Model saved;
    QVERIFY(saved.LoadProject());
    QStringList names;
    for (const Offer &offer : saved.Offers())
        names.append(offer.name);
    QCOMPARE(names, (QStringList{"beta", "Alpha", "gamma"}));
}

void TestMainWindow::confirmationsBeforeDiscarding_data()
{
    QTest::addColumn<bool>("fromFile"); // the project was opened from a file, else it is the autosaved one
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QStringList>("offers");
    QTest::addColumn<bool>("open");

    const QStringList all{"Idle", "Kept", "Shop"};
    QTest::newRow("new project declined") << false << "project_new" << int(QMessageBox::No) << all << true;
    QTest::newRow("delete offer declined") << false << "&Удалить оффера" << int(QMessageBox::No) << all << true;
    QTest::newRow("delete unused declined") << false << "delete_unused_offers" << int(QMessageBox::No) << all
                                            << true;
    QTest::newRow("delete unused agreed") << false << "delete_unused_offers" << int(QMessageBox::Yes)
                                          << QStringList{"Shop"} << true;
    // Changes to a project of its own file: saved there, dropped, or the
    // window stays.
    QTest::newRow("close cancelled") << true << "exit" << int(QMessageBox::Cancel) << all << true;
    QTest::newRow("close without saving") << true << "exit" << int(QMessageBox::Discard) << all << false;
    QTest::newRow("close and save") << true << "exit" << int(QMessageBox::Save) << all << false;
}

void TestMainWindow::confirmationsBeforeDiscarding()
{
    QFETCH(bool, fromFile);
    QFETCH(QString, command);
    QFETCH(int, answer);
    QFETCH(QStringList, offers);
    QFETCH(bool, open);

    const QDir dir(m_dir->path());
    const QString offersXml = OfferXml(QStringLiteral("Idle")) + OfferXml(QStringLiteral("Kept"));
    const QString project = fromFile ? WriteProject(dir, QStringLiteral("p.fdm"), offersXml)
                                     : WriteProject(QFileInfo(m_autosave).dir(), QFileInfo(m_autosave).fileName(),
                                                    offersXml);
    const QByteArray before = ReadBytes(project);
    auto window = NewWindow(fromFile ? &project : nullptr);
    window->AddFiles({WriteFeed(dir, QStringLiteral("shop.csv"), kShopFeed)}, false);
    auto *view = Child<QListView>(window.get(), "offerListView");
    QCOMPARE(window->isWindowModified(), fromFile);

    ModalCloser closer{QMessageBox::StandardButton(answer)};
    if (command.startsWith(QLatin1Char('&'))) {
        const QModelIndex idle = FindRow(view, QStringLiteral("Idle"));
        view->setCurrentIndex(idle);
        OpenContextMenu(view, view->visualRect(idle).center(), command);
    } else {
        Child<QAction>(window.get(), command.toLatin1().constData())->trigger();
    }

    QCOMPARE(closer.texts.size(), 1);
    if (fromFile)
        QVERIFY2(closer.texts.first().contains(QStringLiteral("p.fdm")), qPrintable(closer.texts.first()));
    QCOMPARE(Texts(view), offers);
    QCOMPARE(window->isVisible(), open);
    if (fromFile)
        QCOMPARE(ReadBytes(project) == before, answer != int(QMessageBox::Save));
    if (answer == int(QMessageBox::Save))
        QVERIFY(ReadBytes(project).contains("name=\"Shop\""));
}

void TestMainWindow::loadAllOffers_data()
{
    QTest::addColumn<bool>("secondFails");
    QTest::addColumn<QStringList>("offers");
    QTest::addColumn<int>("thirdHits");
    QTest::addColumn<QString>("status");

    QTest::newRow("all load") << false << QStringList{"A", "B", "C"} << 1 << "Выполнено";
    // The third offer is never asked for once the second has failed.
    QTest::newRow("second fails") << true << QStringList{"A", "B (+)", "C (+)"} << 0 << "Выполнено с ошибкой: ";
}

void TestMainWindow::loadAllOffers()
{
    QFETCH(bool, secondFails);
    QFETCH(QStringList, offers);
    QFETCH(int, thirdHits);
    QFETCH(QString, status);

    HttpTestServer server;
    const auto feed = [](const QString &offer) {
        return FeedAnswer(offer.toLatin1() + ".csv",
                          QStringLiteral("name;price;categoryId;url;advcampaign_name\r\n%1-1;100;Cat%1;http://%1.test/1;%1\r\n")
                                  .arg(offer)
                                  .toUtf8());
    };
    server.Set("/a.csv", feed(QStringLiteral("A")));
    if (!secondFails)
        server.Set("/b.csv", feed(QStringLiteral("B")));
    server.Set("/c.csv", feed(QStringLiteral("C")));
    const QString project = WriteProject(QDir(m_dir->path()), QStringLiteral("p.fdm"),
                                         OfferXml(QStringLiteral("A"), server.Url(QStringLiteral("/a.csv")))
                                                 + OfferXml(QStringLiteral("B"), server.Url(QStringLiteral("/b.csv")))
                                                 + OfferXml(QStringLiteral("C"), server.Url(QStringLiteral("/c.csv"))));

    auto window = NewWindow(&project);
    ModalCloser closer;
    Child<QAction>(window.get(), "load_all_offers_CSV")->trigger();

    QCOMPARE(closer.closed, secondFails ? QStringList{"Ошибка"} : QStringList());
    QCOMPARE(server.Hits("/a.csv"), 1);
    QCOMPARE(server.Hits("/b.csv"), 1);
    QCOMPARE(server.Hits("/c.csv"), thirdHits);
    QCOMPARE(Texts(Child<QListView>(window.get(), "offerListView")), offers);
    QVERIFY2(window->statusBar()->currentMessage().startsWith(status),
             qPrintable(window->statusBar()->currentMessage()));
    QCOMPARE(Rows(Child<QListView>(window.get(), "goodListView")), secondFails ? 1 : 3);
}

void TestMainWindow::offerCommands_data()
{
    QTest::addColumn<QString>("offer");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("offers");
    QTest::addColumn<int>("goods");

    QTest::newRow("load") << "Feed (+)" << "&Загрузить CSV оффера" << QStringList{"Feed", "Shop"} << 6;
    QTest::newRow("unload") << "Shop" << "Вы&грузить товары оффера" << QStringList{"Feed (+)", "Shop"} << 0;
    QTest::newRow("delete with goods") << "Shop" << "&Удалить оффера" << QStringList{"Feed (+)"} << 0;
    QTest::newRow("delete without goods") << "Feed (+)" << "&Удалить оффера" << QStringList{"Shop"} << 5;
}

void TestMainWindow::offerCommands()
{
    QFETCH(QString, offer);
    QFETCH(QString, command);
    QFETCH(QStringList, offers);
    QFETCH(int, goods);

    HttpTestServer server;
    server.Set("/feed.csv",
               FeedAnswer("feed.csv", "name;price;categoryId;url;advcampaign_name\r\nF;100;Cat;http://f.test/1;Feed\r\n"));
    const QDir dir(m_dir->path());
    const QString project = WriteProject(dir, QStringLiteral("p.fdm"),
                                         OfferXml(QStringLiteral("Feed"), server.Url(QStringLiteral("/feed.csv"))));
    auto window = NewWindow(&project);
    window->AddFiles({WriteFeed(dir, QStringLiteral("shop.csv"), kShopFeed)}, false);

    auto *view = Child<QListView>(window.get(), "offerListView");
    const QModelIndex index = FindRow(view, offer);
    QVERIFY(index.isValid());
    view->setCurrentIndex(index);
    ModalCloser agree(QMessageBox::Yes);
    OpenContextMenu(view, view->visualRect(index).center(), command);

    QCOMPARE(Texts(view), offers);
    QCOMPARE(Rows(Child<QListView>(window.get(), "goodListView")), goods);
    // A load says what it added.
    QCOMPARE(window->statusBar()->currentMessage(), command.contains(QStringLiteral("Загрузить"))
                     ? QStringLiteral("Выполнено, добавлено товаров: 1")
                     : QStringLiteral("Выполнено"));
}

void TestMainWindow::deleteUnusedOffersKeepsRuledOffers()
{
    const QDir dir(m_dir->path());
    const QString project = WriteProject(
            dir, QStringLiteral("p.fdm"),
            OfferXml(QStringLiteral("Unused"))
                    + OfferXml(QStringLiteral("ExcludeOnly"), QString(),
                               QStringLiteral("<exclude><category name=\"Распродажа\"/></exclude>"))
                    + OfferXml(QStringLiteral("RenameOnly"), QString(),
                               QStringLiteral("<rename><category from=\"A\" to=\"B\" merge=\"false\"/></rename>"))
                    + OfferXml(QStringLiteral("AlsoUnused")));
    auto window = NewWindow(&project);
    window->AddFiles({WriteFeed(dir, QStringLiteral("shop.csv"), kShopFeed)}, false);

    ModalCloser agree(QMessageBox::Yes);
    Child<QAction>(window.get(), "delete_unused_offers")->trigger();
    QCOMPARE(agree.texts.size(), 1);
    QCOMPARE(Texts(Child<QListView>(window.get(), "offerListView")),
             (QStringList{"ExcludeOnly", "RenameOnly", "Shop"}));
    QCOMPARE(Rows(Child<QListView>(window.get(), "goodListView")), 5);
}

void TestMainWindow::editedRulesApplyAtOnce_data()
{
    QTest::addColumn<bool>("fromFeedAddress");
    QTest::newRow("offer's own feed") << true;
    QTest::newRow("a file the user added") << false;
}

// The offer's goods follow its new rules as soon as the editor closes, from
// the rows they were loaded from: nothing is downloaded or read again in
// order, and the goods the rules drop are counted.
void TestMainWindow::editedRulesApplyAtOnce()
{
    QFETCH(bool, fromFeedAddress);

    HttpTestServer server;
    server.Set("/shop.csv", FeedAnswer("shop.csv", kShopFeed.join(QStringLiteral("\r\n")).toUtf8() + "\r\n"));
    const QDir dir(m_dir->path());
    const QString project =
            WriteProject(dir, QStringLiteral("p.fdm"),
                         OfferXml(QStringLiteral("Shop"), fromFeedAddress ? server.Url(QStringLiteral("/shop.csv"))
                                                                           : QString()));
    auto window = NewWindow(&project);
    if (fromFeedAddress)
        Child<QAction>(window.get(), "load_all_offers_CSV")->trigger();
    else
        window->AddFiles({WriteFeed(dir, QStringLiteral("shop.csv"), kShopFeed)}, false);
    QCOMPARE(Rows(Child<QListView>(window.get(), "goodListView")), 5);

    auto *view = Child<QListView>(window.get(), "offerListView");
    view->setCurrentIndex(view->model()->index(0, 0));
    QString warning;
    OnNextModal([&warning](QWidget *modal) {
        Child<QComboBox>(modal, "otherCatsCombo")->setCurrentIndex(1);
        static_cast<QDialog *>(modal)->accept();
        OnNextModalOf<QMessageBox>([&warning](QMessageBox *box) { warning = box->text(); }, 100000);
    });
    emit view->doubleClicked(view->model()->index(0, 0));

    QCOMPARE(Rows(Child<QListView>(window.get(), "goodListView")), 0);
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Выполнено"));
    QVERIFY2(warning.contains(QStringLiteral("Оффер Shop: по новым правилам убрано товаров: 5")), qPrintable(warning));
    QCOMPARE(server.Hits("/shop.csv"), fromFeedAddress ? 1 : 0);
}

// "Обновить всё" (F5) loads the day's feeds again: a feed read again shows
// its new rows, and a feed that is gone is named.
void TestMainWindow::reloadAllLoadsTheSourcesAgain()
{
    const QDir dir(m_dir->path());
    auto window = NewWindow();
    auto *reload = Child<QAction>(window.get(), "reload_sources");
    QCOMPARE(reload->shortcut(), QKeySequence(Qt::Key_F5));
    const QString feed = WriteFeed(dir, QStringLiteral("shop.csv"), kShopFeed);
    window->AddFiles({feed}, false);
    QCOMPARE(Rows(Child<QListView>(window.get(), "goodListView")), 5);

    WriteFeed(dir, QStringLiteral("shop.csv"),
              kShopFeed + QStringList{QStringLiteral("Шарф;300;Одежда;Gamma;http://shop.test/6;Shop")});
    reload->trigger();
    QCOMPARE(Rows(Child<QListView>(window.get(), "goodListView")), 6);
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Выполнено"));

    QVERIFY(QFile::remove(feed));
    QString warning;
    OnNextModalOf<QMessageBox>([&warning](QMessageBox *box) { warning = box->text(); }, 100000);
    reload->trigger();
    QCOMPARE(Rows(Child<QListView>(window.get(), "goodListView")), 0);
    QVERIFY2(warning.contains(QStringLiteral("shop.csv")) && warning.contains(QStringLiteral("файла больше нет")),
             qPrintable(warning));
}

void TestMainWindow::categoryContextMenu_data()
{
    QTest::addColumn<QStringList>("path");
    QTest::addColumn<QString>("toggle");
    QTest::addColumn<QColor>("after");

    const QColor grey = QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
    QTest::newRow("ghost") << QStringList{"Разные офферы (5)"} << "Сделать &реальной" << QColor();
    QTest::newRow("real") << QStringList{"Разные офферы (5)", "Обувь (3)"} << "Сделать &призрачной" << grey;
}

void TestMainWindow::categoryContextMenu()
{
    QFETCH(QStringList, path);
    QFETCH(QString, toggle);
    QFETCH(QColor, after);

    auto window = NewWindow();
    window->AddFiles({WriteFeed(QDir(m_dir->path()), QStringLiteral("shop.csv"), kShopFeed)}, false);
    auto *tree = Child<QTreeView>(window.get(), "catTreeView");
    QModelIndex index;
    for (const QString &name : path) {
        tree->expand(index);
        index = FindRow(tree, name, index);
        QVERIFY2(index.isValid(), qPrintable(name));
    }
    tree->setCurrentIndex(index);

    const QStringList entries = OpenContextMenu(tree, tree->visualRect(index).center(), toggle);
    QCOMPARE(entries, (QStringList{toggle, "&Удалить категорию"}));
    QCOMPARE(index.data(Qt::ForegroundRole).value<QColor>(), after);
}

void TestMainWindow::categoryContextMenuOnlyOverItem()
{
    auto window = NewWindow();
    auto *tree = Child<QTreeView>(window.get(), "catTreeView");
    // An empty tree: no menu at all.
    QCOMPARE(OpenContextMenu(tree, QPoint(5, 5)), QStringList());

    window->AddFiles({WriteFeed(QDir(m_dir->path()), QStringLiteral("shop.csv"), kShopFeed)}, false);
    const QModelIndex shop = tree->model()->index(0, 0);
    tree->setCurrentIndex(shop);
    const QRect item = tree->visualRect(shop);
    const QPoint below(item.center().x(), item.bottom() + 3 * item.height());
    QVERIFY(tree->viewport()->rect().contains(below));
    // Over empty space the current category is not the one pointed at.
    QCOMPARE(OpenContextMenu(tree, below, QStringLiteral("&Удалить категорию")), QStringList());
    QCOMPARE(Rows(tree), 1);
}

void TestMainWindow::deleteCategoryRemovesSubtree()
{
    auto window = NewWindow();
    window->AddFiles({WriteFeed(QDir(m_dir->path()), QStringLiteral("shop.csv"), kShopFeed)}, false);
    auto *tree = Child<QTreeView>(window.get(), "catTreeView");
    const QModelIndex shop = FindRow(tree, QStringLiteral("Разные офферы (5)"));
    tree->expand(shop);
    const QModelIndex shoes = FindRow(tree, QStringLiteral("Обувь (3)"), shop);
    QVERIFY(shoes.isValid());
    tree->setCurrentIndex(shoes);

    ModalCloser closer(QMessageBox::Yes);
    OpenContextMenu(tree, tree->visualRect(shoes).center(), QStringLiteral("&Удалить категорию"));

    QCOMPARE(Texts(tree), QStringList{"Разные офферы (2)"});
    QCOMPARE(Texts(tree, tree->model()->index(0, 0)), QStringList{"Одежда (2)"});
    auto *goods = Child<QListView>(window.get(), "goodListView");
    QCOMPARE(GoodNames(goods), (QStringList{"Платье", "Пальто"}));
    QCOMPARE(Child<QLabel>(window.get(), "statLabel")->text(), QStringLiteral("Категорий: 1. Товаров: 2"));
}

void TestMainWindow::categoryClickShowsSubtree_data()
{
    QTest::addColumn<QStringList>("path");
    QTest::addColumn<QStringList>("shown");

    // The tree counts what passes the filter: the first good of B is priced out.
    QTest::newRow("a category") << QStringList{"Разные офферы (6)", "A (2)"} << QStringList{"A0", "A1"};
    QTest::newRow("a good filtered out") << QStringList{"Разные офферы (6)", "B (1)"} << QStringList{"B1"};
    QTest::newRow("a subtree") << QStringList{"Разные офферы (6)", "C (3)"} << QStringList{"C0", "C1", "D0"};
    QTest::newRow("a child") << QStringList{"Разные офферы (6)", "C (3)", "D (1)"} << QStringList{"D0"};
    QTest::newRow("the ghost above all")
            << QStringList{"Разные офферы (6)"} << QStringList{"A0", "A1", "B1", "C0", "C1", "D0"};
}

void TestMainWindow::categoryClickShowsSubtree()
{
    QFETCH(QStringList, path);
    QFETCH(QStringList, shown);

    const QStringList lines = {
        kHeader,
        QStringLiteral("A0;1000;A;V;http://c.test/1;S"),   QStringLiteral("A1;1000;A;V;http://c.test/2;S"),
        QStringLiteral("B0;10;B;V;http://c.test/3;S"),     QStringLiteral("B1;1000;B;V;http://c.test/4;S"),
        QStringLiteral("C0;1000;C;V;http://c.test/5;S"),   QStringLiteral("C1;1000;C;V;http://c.test/6;S"),
        QStringLiteral("D0;1000;C/D;V;http://c.test/7;S"),
    };
    const QDir dir(m_dir->path());
    const QString project = WriteProject(dir, QStringLiteral("p.fdm"), QString(), PriceFilterXml(100, 100000));
    auto window = NewWindow(&project);
    window->AddFiles({WriteFeed(dir, QStringLiteral("cats.csv"), lines)}, false);
    auto *goods = Child<QListView>(window.get(), "goodListView");
    auto *tree = Child<QTreeView>(window.get(), "catTreeView");
    auto *all = Child<QPushButton>(window.get(), "allCategories");
    QVERIFY(all->isChecked());
    QModelIndex index;
    for (const QString &name : path) {
        tree->expand(index);
        index = FindRow(tree, name, index);
        QVERIFY2(index.isValid(), qPrintable(name));
    }
    emit tree->clicked(index);
    tree->setCurrentIndex(index);
    QCOMPARE(GoodNames(goods), shown);
    QVERIFY(!all->isChecked());
    QCOMPARE(Child<QLabel>(window.get(), "statLabel")->text(),
             QStringLiteral("Категорий: 4. Товаров: %1").arg(shown.size()));

    // "Все категории" goes back to every good.
    all->click();
    QCOMPARE(GoodNames(goods).size(), 6);
    QVERIFY(all->isChecked());

    // The arrow keys choose as clicks do.
    tree->setFocus();
    tree->setCurrentIndex(FindRow(tree, QStringLiteral("A (2)"), FindRow(tree, QStringLiteral("Разные офферы (6)"))));
    QTest::keyClick(tree, Qt::Key_Down);
    QCOMPARE(GoodNames(goods), QStringList{"B1"});
}

void TestMainWindow::search_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("found");
    QTest::addColumn<QString>("tree"); // the count of the ghost above all

    QTest::newRow("a name, case aside") << "сапоги" << QStringList{"Сапоги"} << "Найдено: 1" << "Разные офферы (1)";
    QTest::newRow("a vendor") << "BETA" << QStringList{"Туфли", "Кеды"} << "Найдено: 2" << "Разные офферы (2)";
    QTest::newRow("nothing") << "zzz" << QStringList() << "Найдено: 0" << "Разные офферы (0)";
    QTest::newRow("spaces around") << "  пальто " << QStringList{"Пальто"} << "Найдено: 1" << "Разные офферы (1)";
}

void TestMainWindow::search()
{
    QFETCH(QString, text);
    QFETCH(QStringList, shown);
    QFETCH(QString, found);
    QFETCH(QString, tree);

    const QDir dir(m_dir->path());
    const QString project = WriteProject(dir, QStringLiteral("p.fdm"), OfferXml(QStringLiteral("Shop")));
    auto window = NewWindow(&project);
    window->AddFiles({WriteFeed(dir, QStringLiteral("shop.csv"), kShopFeed)}, false);
    auto *goods = Child<QListView>(window.get(), "goodListView");
    auto *edit = Child<QLineEdit>(window.get(), "searchEdit");
    // Typed a letter at a time (keyClicks knows Latin keys alone).
    for (const QChar letter : text)
        edit->insert(QString(letter));
    // Applied once the typing stops.
    QTRY_COMPARE(GoodNames(goods), shown);
    QCOMPARE(Child<QLabel>(window.get(), "foundLabel")->text(), found);
    QCOMPARE(Texts(Child<QTreeView>(window.get(), "catTreeView")).first(), tree);
    // The search is the filter's: the project has changed and keeps it.
    QVERIFY(window->isWindowModified());
    Child<QAction>(window.get(), "project_save")->trigger();
    QVERIFY2(ReadBytes(project).contains(QByteArray("<search val=\"" + text.trimmed().toUtf8() + "\"/>")),
             ReadBytes(project).constData());

    edit->clear();
    QTRY_COMPARE(Rows(goods), 5);
    QCOMPARE(Child<QLabel>(window.get(), "foundLabel")->text(), QString());
}

void TestMainWindow::statusButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("added") << "showAdded" << QStringList{"Новинка"};
    QTest::newRow("changed") << "showChanged" << QStringList{"Туфли"};
    QTest::newRow("deleted") << "showDeleted" << QStringList{"Кеды"};
}

void TestMainWindow::statusButtons()
{
    QFETCH(QString, button);
    QFETCH(QStringList, shown);

    QStringList fresh = kShopFeed;
    fresh.removeAt(3); // Кеды are gone
    fresh.replaceInStrings(QStringLiteral("Туфли;800"), QStringLiteral("Туфли;900"));
    fresh.append(QStringLiteral("Новинка;700;Обувь;Alpha;http://shop.test/6;Shop"));
    const QDir dir(m_dir->path());
    auto window = NewWindow();
    window->AddFiles({WriteFeed(dir, QStringLiteral("fresh.csv"), fresh)}, false);
    auto *added = Child<QToolButton>(window.get(), "showAdded");
    QVERIFY(!added->isVisible());
    window->AddFiles({WriteFeed(dir, QStringLiteral("site.csv"), kShopFeed)}, true);

    QStringList texts;
    for (const char *name : {"showAdded", "showChanged", "showDeleted"}) {
        QVERIFY(Child<QToolButton>(window.get(), name)->isVisible());
        texts.append(Child<QToolButton>(window.get(), name)->text());
    }
    QCOMPARE(texts, (QStringList{"Добавлено: 1", "Изменено: 1", "Удалено: 1"}));
    auto *goods = Child<QListView>(window.get(), "goodListView");
    auto *chosen = Child<QToolButton>(window.get(), button.toLatin1().constData());
    chosen->click();
    QCOMPARE(GoodNames(goods), shown);
    // Another button takes over; the checked one again shows every good.
    auto *other = button == QLatin1String("showAdded") ? Child<QToolButton>(window.get(), "showDeleted") : added;
    other->click();
    QVERIFY(!chosen->isChecked());
    QCOMPARE(Rows(goods), 1);
    other->click();
    QCOMPARE(Rows(goods), 3);
}

void TestMainWindow::recentProjects()
{
    const QDir dir(m_dir->path());
    auto window = NewWindow();
    QStringList paths;
    for (int i = 0; i < RecentProjects::kMax + 1; ++i) {
        paths.prepend(WriteProject(dir, QStringLiteral("p%1.fdm").arg(i), OfferXml(QStringLiteral("O%1").arg(i))));
        window->OpenProject(paths.first());
    }
    auto *recent = Child<QMenu>(window.get(), "menu_recent");
    QStringList texts;
    for (const QAction *action : recent->actions())
        texts.append(action->text());
    QCOMPARE(texts.size(), RecentProjects::kMax);
    QCOMPARE(texts.first(), QStringLiteral("&1 p8.fdm"));
    QCOMPARE(texts.last(), QStringLiteral("&8 p1.fdm"));

    // A project from the list opens; one whose file is gone is dropped, and said so.
    recent->actions().at(2)->trigger();
    QCOMPARE(window->ProjectPath(), paths.at(2));
    QCOMPARE(recent->actions().first()->text(), QStringLiteral("&1 p6.fdm"));
    QVERIFY(QFile::remove(paths.at(1)));
    ModalCloser closer;
    recent->actions().at(2)->trigger();
    QCOMPARE(closer.closed, QStringList{"Проект не найден"});
    QCOMPARE(window->ProjectPath(), paths.at(2));
    QCOMPARE(recent->actions().size(), RecentProjects::kMax - 1);
    // A later window finds the list in the settings.
    window.reset();
    auto next = NewWindow();
    QCOMPARE(Child<QMenu>(next.get(), "menu_recent")->actions().size(), RecentProjects::kMax - 1);
}

void TestMainWindow::saveProjectCommands()
{
    const QDir dir(m_dir->path());
    const QString project = WriteProject(dir, QStringLiteral("p.fdm"), OfferXml(QStringLiteral("Shop")));
    auto window = NewWindow(&project);
    Child<QLineEdit>(window.get(), "searchEdit")->setText(QStringLiteral("boots"));
    QTRY_VERIFY(window->isWindowModified());
    {
        // Ctrl+S writes the project's own file without asking.
        ModalCloser closer;
        QTest::keySequence(window.get(), QKeySequence(QKeySequence::Save));
        QCOMPARE(closer.closed, QStringList());
    }
    QVERIFY(!window->isWindowModified());
    QVERIFY(ReadBytes(project).contains("<search val=\"boots\"/>"));

    // "Save as" asks, and a name typed without its suffix gets it.
    QString caption;
    OnNextModal([&](QWidget *modal) {
        auto *chooser = qobject_cast<QFileDialog *>(modal);
        QVERIFY(chooser);
        caption = chooser->windowTitle();
        chooser->selectFile(dir.filePath(QStringLiteral("copy")));
        static_cast<QDialog *>(chooser)->accept();
    });
    Child<QAction>(window.get(), "project_save_as")->trigger();
    QCOMPARE(caption, QStringLiteral("Сохранить проект как"));
    QCOMPARE(window->ProjectPath(), dir.filePath(QStringLiteral("copy.fdm")));
    QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("copy.fdm"))));
}

void TestMainWindow::withSuffix_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("saved");
    QTest::newRow("none") << "/d/p" << "fdm" << "/d/p.fdm";
    QTest::newRow("its own") << "/d/p.fdm" << "fdm" << "/d/p.fdm";
    QTest::newRow("another") << "/d/p.xml" << "fdm" << "/d/p.xml";
    QTest::newRow("a dot in the folder") << "/d.x/p" << "csv" << "/d.x/p.csv";
    QTest::newRow("a trailing dot") << "/d/p." << "csv" << "/d/p.csv";
    QTest::newRow("nothing typed") << "" << "csv" << "";
}

void TestMainWindow::withSuffix()
{
    QFETCH(QString, typed);
    QFETCH(QString, suffix);
    QFETCH(QString, saved);
    QCOMPARE(MainWindow::WithSuffix(typed, suffix), saved);
}

void TestMainWindow::confirmDeletions_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("question");
    QTest::addColumn<int>("goods"); // in the list afterwards: the chosen category's, or all

    const QString category = QStringLiteral("Удалить категорию «Обувь» со всеми подкатегориями? Товаров в ней: 3.");
    const QString data = QStringLiteral("Удалить все загруженные данные? Товаров: 5. Офферы и их правила останутся.");
    QTest::newRow("category, no") << "category" << int(QMessageBox::No) << category << 3;
    QTest::newRow("category, yes") << "category" << int(QMessageBox::Yes) << category << 2;
    QTest::newRow("data, no") << "data_delete" << int(QMessageBox::No) << data << 5;
    QTest::newRow("data, yes") << "data_delete" << int(QMessageBox::Yes) << data << 0;
}

void TestMainWindow::confirmDeletions()
{
    QFETCH(QString, command);
    QFETCH(int, answer);
    QFETCH(QString, question);
    QFETCH(int, goods);

    auto window = NewWindow();
    window->AddFiles({WriteFeed(QDir(m_dir->path()), QStringLiteral("shop.csv"), kShopFeed)}, false);
    ModalCloser closer{QMessageBox::StandardButton(answer)};
    if (command == QLatin1String("category")) {
        auto *tree = Child<QTreeView>(window.get(), "catTreeView");
        const QModelIndex shop = FindRow(tree, QStringLiteral("Разные офферы (5)"));
        tree->expand(shop);
        tree->setCurrentIndex(FindRow(tree, QStringLiteral("Обувь (3)"), shop));
        window->deleteSelectedCat();
    } else {
        Child<QAction>(window.get(), command.toLatin1().constData())->trigger();
    }
    QCOMPARE(closer.texts, QStringList{question});
    QCOMPARE(Rows(Child<QListView>(window.get(), "goodListView")), goods);
}

void TestMainWindow::cancelIsNotAnError()
{
    // A feed that comes a byte at a time: the user gives up waiting.
    HttpTestServer server;
    server.Set("/slow.csv", HttpTestServer::Drip(kShopFeed.join(QLatin1Char('\n')).toUtf8(), 1, 100));
    auto window = NewWindow();
    QTimer cancel;
    cancel.setInterval(50);
    QObject::connect(&cancel, &QTimer::timeout, [] {
        if (auto *progress = qobject_cast<ProgressDialog *>(QApplication::activeModalWidget()))
            progress->reject();
    });
    cancel.start();
    ModalCloser boxes(QMessageBox::Ok, ModalCloser::MessageBoxesOnly);
    window->AddUrlFeed(server.Url(QStringLiteral("/slow.csv")), false);
    cancel.stop();
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Отменено"));
    QCOMPARE(boxes.closed, QStringList());
}

void TestMainWindow::emptyWindowAndExample()
{
    auto window = NewWindow();
    auto *empty = Child<QWidget>(window.get(), "emptyState");
    auto *goods = Child<QListView>(window.get(), "goodListView");
    QVERIFY(empty->isVisible());
    QVERIFY(!goods->isVisible());
    const QString examples = MainWindow::ExamplesFolder();
    QVERIFY2(QFileInfo::exists(examples + QStringLiteral("/feed.csv")), qPrintable(examples));

    ModalCloser closer(QMessageBox::Ok);
    window->OpenExample(examples);
    QVERIFY(!empty->isVisible());
    QVERIFY(goods->isVisible());
    QCOMPARE(Rows(Child<QListView>(window.get(), "filesListView")), 2);
    QVERIFY(Rows(goods) > 0);
    QVERIFY(Child<QToolButton>(window.get(), "showAdded")->isVisible());
    // The example's project is a copy: saving it leaves the example as it came.
    QVERIFY(!window->ProjectPath().startsWith(examples));
    QCOMPARE(QFileInfo(window->ProjectPath()).fileName(), QStringLiteral("example.fdm"));
    QFile::remove(window->ProjectPath());
}

void TestMainWindow::viewGoodOpensDialog()
{
    auto window = NewWindow();
    window->AddFiles({WriteFeed(QDir(m_dir->path()), QStringLiteral("shop.csv"), kShopFeed)}, false);
    auto *goods = Child<QListView>(window.get(), "goodListView");
    QString title;
    OnNextModal([&title](QWidget *modal) { title = modal->windowTitle(); });
    emit goods->doubleClicked(goods->model()->index(1, 0));
    QCOMPARE(title, QStringLiteral("Просмотр товара"));
}

void TestMainWindow::removeDuplicates()
{
    QStringList lines = kShopFeed;
    lines.append(QStringLiteral("Сапоги снова;900;Обувь/Сапоги;Alpha;http://shop.test/1;Shop"));
    auto window = NewWindow();
    window->AddFiles({WriteFeed(QDir(m_dir->path()), QStringLiteral("shop.csv"), lines)}, false);
    auto *goods = Child<QListView>(window.get(), "goodListView");
    QCOMPARE(Rows(goods), 6);
    window->Report(0, 0, QStringLiteral("before"));

    Child<QAction>(window.get(), "remove_duplicates")->trigger();
    QCOMPARE(Rows(goods), 5);
    QCOMPARE(GoodNames(goods).count(QStringLiteral("Сапоги снова")), 0);
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Выполнено, удалено дублей: 1"));
}

void TestMainWindow::projectCommands_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("offers");
    QTest::addColumn<bool>("anyPrice");
    QTest::addColumn<QString>("status");

    QTest::newRow("new project") << "project_new" << QStringList() << true << "Выполнено";
    // Loaded data goes; the offers and the filter stay.
    QTest::newRow("delete loaded data") << "data_delete" << QStringList{"Kept", "Shop"} << false << "Выполнено";
    QTest::newRow("open project") << "open" << QStringList{"Other"} << true << "Выполнено";
    // A project that cannot be read changes nothing.
    QTest::newRow("open a broken project") << "open broken" << QStringList{"Kept", "Shop"} << false
                                           << "Выполнено с ошибкой";
}

void TestMainWindow::projectCommands()
{
    QFETCH(QString, command);
    QFETCH(QStringList, offers);
    QFETCH(bool, anyPrice);
    QFETCH(QString, status);

    const QDir dir(m_dir->path());
    const QString project =
            WriteProject(dir, QStringLiteral("p.fdm"), OfferXml(QStringLiteral("Kept")), PriceFilterXml(100, 2000));
    auto window = NewWindow(&project);
    window->AddFiles({WriteFeed(dir, QStringLiteral("shop.csv"), kShopFeed)}, false);
    auto *filters = Child<QLabel>(window.get(), "filters");
    QVERIFY(filters->text().contains(QStringLiteral("Цена с 100 до 2000")));
    // The changes to p.fdm are dropped; a project that cannot be read is
    // told in a box; deleting the data is confirmed.
    ModalCloser closer(command == QLatin1String("data_delete") ? QMessageBox::Yes : QMessageBox::Discard);

    if (command.startsWith(QLatin1String("open"))) {
        QString other = WriteProject(dir, QStringLiteral("other.fdm"), OfferXml(QStringLiteral("Other")));
        if (command.endsWith(QLatin1String("broken"))) {
            // Cut short after the first offer.
            const QByteArray whole = ReadBytes(other);
            QFile file(other);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(whole.left(whole.indexOf("</offer>") + 8) + "<offer name=\"Half");
        }
        window->OpenProject(other);
    } else {
        Child<QAction>(window.get(), command.toLatin1().constData())->trigger();
    }

    QCOMPARE(Texts(Child<QListView>(window.get(), "offerListView")), offers);
    const int kept = command == QLatin1String("open broken") ? 1 : 0;
    QCOMPARE(Rows(Child<QListView>(window.get(), "goodListView")) > 0, kept > 0);
    QCOMPARE(Rows(Child<QListView>(window.get(), "filesListView")), kept);
    QCOMPARE(filters->text().contains(QStringLiteral("Любая цена")), anyPrice);
    QVERIFY2(window->statusBar()->currentMessage().startsWith(status),
             qPrintable(window->statusBar()->currentMessage()));
    QCOMPARE(closer.closed.contains(QStringLiteral("Ошибка")), command == QLatin1String("open broken"));
}

void TestMainWindow::saveAll_data()
{
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QString>("status");

    QTest::newRow("saved") << true << "Сохранено в файл";
    QTest::newRow("folder missing") << false << "Выполнено с ошибкой: Не удалось создать файл";
}

void TestMainWindow::saveAll()
{
    QFETCH(bool, writable);
    QFETCH(QString, status);

    const QDir dir(m_dir->path());
    const QString project = WriteProject(dir, QStringLiteral("p.fdm"), QString(), PriceFilterXml(900, 2000));
    auto window = NewWindow(&project);
    window->AddFiles({WriteFeed(dir, QStringLiteral("shop.csv"), kShopFeed)}, false);
    window->Report(0, 0, QStringLiteral("before"));
    const QString target = writable ? dir.filePath(QStringLiteral("out.csv"))
                                    : dir.filePath(QStringLiteral("no/such/folder/out.csv"));
    QPointer<QAbstractItemModel> categories = Child<QTreeView>(window.get(), "catTreeView")->model();

    ModalCloser closer;
    window->SaveAll(target, {QStringLiteral("name"), QStringLiteral("price")});
    QCOMPARE(closer.closed, writable ? QStringList() : QStringList{"Ошибка"});

    QVERIFY2(window->statusBar()->currentMessage().startsWith(status),
             qPrintable(window->statusBar()->currentMessage()));
    // A save only reads the catalogue: the views stay.
    QVERIFY(categories);
    if (writable) {
        // Only the goods that pass the filter, in the chosen columns.
        const QString text = QString::fromUtf8(ReadBytes(target));
        QVERIFY2(text.startsWith(QStringLiteral("name;price")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Сапоги")));
        QVERIFY(text.contains(QStringLiteral("Платье")));
        QVERIFY(!text.contains(QStringLiteral("Кеды")));
        QVERIFY(!text.contains(QStringLiteral("Пальто")));
    } else {
        QVERIFY(!QFileInfo::exists(target));
    }
}

void TestMainWindow::baseShowsDeltaAndGuardsExport_data()
{
    QTest::addColumn<QStringList>("data");
    QTest::addColumn<QString>("stat");
    QTest::addColumn<QString>("question"); // empty: the export goes on to the file chooser

    // The site holds the five goods of kShopFeed.
    QStringList fresh = kShopFeed;
    fresh.removeAt(3); // Кеды are gone
    fresh.replaceInStrings(QStringLiteral("Туфли;800"), QStringLiteral("Туфли;900"));
    fresh.append(QStringLiteral("Новинка;700;Обувь;Alpha;http://shop.test/6;Shop"));
    QTest::newRow("a delta") << fresh
                             << "Категорий: 2. Товаров: 3. Добавлено: 1. Изменено: 1. Удалено: 1." << QString();
    // A feed that came back cut short would wipe most of the site.
    QTest::newRow("a feed cut short") << QStringList(kShopFeed.mid(0, 2))
                                      << "Категорий: 2. Товаров: 4. Добавлено: 0. Изменено: 0. Удалено: 4."
                                      << "Удаляется 4 из 5 товаров базы (80.0%). Продолжить?";
}

void TestMainWindow::baseShowsDeltaAndGuardsExport()
{
    QFETCH(QStringList, data);
    QFETCH(QString, stat);
    QFETCH(QString, question);

    const QDir dir(m_dir->path());
    auto window = NewWindow();
    window->AddFiles({WriteFeed(dir, QStringLiteral("fresh.csv"), data)}, false);
    window->AddFiles({WriteFeed(dir, QStringLiteral("site.csv"), kShopFeed)}, true);
    QCOMPARE(Child<QLabel>(window.get(), "statLabel")->text(), stat);

    // The export offers the status, ticked, and asks before a delta that
    // deletes most of the site; "No" ends it before a file is chosen.
    QStringList columns;
    QString asked;
    bool chooser = false;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *options = qobject_cast<ExportOptionsDialog *>(modal)) {
            columns = options->SelectedColumns();
            options->accept();
        } else if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            asked = box->text();
            box->button(QMessageBox::No)->click();
        } else if (auto *files = qobject_cast<QFileDialog *>(modal)) {
            chooser = true;
            files->reject();
        }
    });
    poll.start();
    Child<QAction>(window.get(), "save")->trigger();
    poll.stop();

    QVERIFY2(columns.contains(QStringLiteral("status")), qPrintable(columns.join(QLatin1Char(','))));
    QCOMPARE(asked, question);
    QCOMPARE(chooser, question.isEmpty());
}

void TestMainWindow::changeReportBesideTheProject()
{
    // The report goes beside the project and opens in the system's browser,
    // here a handler of file addresses.
    UrlRecorder opener;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opener, "open");
    const QDir dir(m_dir->path());
    auto window = NewWindow();
    QVERIFY(window->SaveProjectAs(dir.filePath(QStringLiteral("shop.fdm"))));
    auto *report = Child<QAction>(window.get(), "change_report");
    window->AddFiles({WriteFeed(dir, QStringLiteral("fresh.csv"), kShopFeed)}, false);
    QVERIFY(!report->isEnabled());
    QStringList site = kShopFeed;
    site[1].replace(QStringLiteral(";1000;"), QStringLiteral(";1200;"));
    window->AddFiles({WriteFeed(dir, QStringLiteral("site.csv"), site)}, true);
    QVERIFY(report->isEnabled());

    // The delta's counts in the status bar lead to it as well.
    QTest::mouseClick(Child<QLabel>(window.get(), "statLabel"), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(opener.opened.size(), 1);
    const QString path = opener.opened.first().toLocalFile();
    QCOMPARE(QFileInfo(path).absolutePath(), QFileInfo(m_dir->path()).absoluteFilePath());
    const QByteArray page = ReadBytes(path);
    QVERIFY(page.contains("data-figure=\"changed\" data-value=\"1\""));
}

void TestMainWindow::saveProjectFailureIsReported()
{
    auto window = NewWindow();
    const QString target = QDir(m_dir->path()).filePath(QStringLiteral("no/such/folder/p.fdm"));
    {
        ModalCloser closer;
        QVERIFY(!window->SaveProjectAs(target));
        QCOMPARE(closer.closed, QStringList{"Ошибка"});
        QVERIFY2(closer.texts.first().contains(QDir::toNativeSeparators(target)), qPrintable(closer.texts.first()));
    }
    const QString status = window->statusBar()->currentMessage();
    QVERIFY2(status.startsWith(QStringLiteral("Выполнено с ошибкой")) && status.contains(QDir::toNativeSeparators(target)),
             qPrintable(status));

    const QString good = QDir(m_dir->path()).filePath(QStringLiteral("p.fdm"));
    QVERIFY(window->SaveProjectAs(good));
    QVERIFY(ReadBytes(good).contains("<settings>"));
    // The window now belongs to that file.
    QCOMPARE(window->windowTitle(), QStringLiteral("p.fdm[*] — Товары"));
}

QTEST_MAIN(TestMainWindow)
void TestMainWindow::modxImport_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("reachable");
    QTest::addColumn<int>("goods");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("logged");
    QTest::addColumn<bool>("remember"); // the password, in the project

    QTest::newRow("data") << "modx_import" << true << 5 << "Выполнено"
                          << "С сайта 127.0.0.1" << true;
    QTest::newRow("base") << "modx_import_base" << true << 5 << "Выполнено" << "Ответ сервера: Строки 1–5" << false;
    QTest::newRow("unreachable") << "modx_import" << false << 0
                                 << "Выполнено с ошибкой: Сервер не отвечает на порту 1" << "Не удалось подключиться"
                                 << false;
}

void TestMainWindow::modxImport()
{
    QFETCH(QString, action);
    QFETCH(bool, reachable);
    QFETCH(int, goods);
    QFETCH(QString, status);
    QFETCH(QString, logged);
    QFETCH(bool, remember);

    PhpSite site;
    START_PHP_SITE(site);
    QString host = site.Host();
    if (reachable) {
        Model seed;
        QVERIFY(seed.AddFile(WriteFeed(QDir(m_dir->path()), QStringLiteral("shop.csv"), kShopFeed)));
        QVERIFY(seed.SaveToModxSite(host, QString::fromUtf8(PhpSite::kLogin), QString::fromUtf8(PhpSite::kPassword)));
    } else {
        host = QStringLiteral("127.0.0.1:1");
    }

    auto window = NewWindow();
    // The site dialog, then the progress log inside its OK: the log stays
    // open after the exchange until it is closed.
    QString log;
    bool stayedOpen = false;
    QTimer poll;
    poll.setInterval(20);
    QString failure;
    QString details;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        // The failure, told in a box over the site dialog once the log is closed.
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            // No keyring answers in the tests: the file may keep the password.
            if (box->windowTitle() == QStringLiteral("Хранилище паролей недоступно")) {
                box->button(QMessageBox::Yes)->click();
                return;
            }
            failure = box->text();
            details = box->detailedText();
            box->accept();
            return;
        }
        auto *progress = qobject_cast<ProgressDialog *>(QApplication::activeModalWidget());
        QPushButton *button = progress ? progress->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Cancel)
                                       : nullptr;
        if (!button || button->text() != QStringLiteral("Закрыть"))
            return;
        log = progress->findChild<QPlainTextEdit *>()->toPlainText();
        button->click();
    });
    OnNextModal([&](QWidget *modal) {
        QCOMPARE(modal->windowTitle(), QStringLiteral("Соединение с MODX сайтом"));
        Child<QLineEdit>(modal, "hostEdit")->setText(host);
        Child<QLineEdit>(modal, "loginEdit")->setText(QString::fromUtf8(PhpSite::kLogin));
        Child<QLineEdit>(modal, "passwordEdit")->setText(QString::fromUtf8(PhpSite::kPassword));
        Child<QCheckBox>(modal, "rememberPasswordCheck")->setChecked(remember);
        poll.start();
        static_cast<QDialog *>(modal)->accept();
        stayedOpen = modal->isVisible();
    });
    Child<QAction>(window.get(), action.toLatin1().constData())->trigger();
    poll.stop();
    QCOMPARE(failure.isEmpty(), reachable);
    // The box says what happened plainly; the technical account is under
    // "Подробнее".
    if (!reachable) {
        QCOMPARE(failure, QStringLiteral("Сервер не отвечает на порту 1"));
        QVERIFY2(details.contains(QStringLiteral("127.0.0.1:1")), qPrintable(details));
    }

    QVERIFY2(log.contains(logged), qPrintable(log));
    QVERIFY(!log.contains(QString::fromUtf8(PhpSite::kPassword)));
    QCOMPARE(stayedOpen, !reachable);
    QCOMPARE(Rows(Child<QListView>(window.get(), "goodListView")), goods);
    QVERIFY2(window->statusBar()->currentMessage().startsWith(status),
             qPrintable(window->statusBar()->currentMessage()));
    // The fields are kept with the project, also after a failure.
    window.reset();
    Model saved;
    QVERIFY(saved.LoadProject());
    QCOMPARE(saved.Option(QStringLiteral("export/modx/host")), host);
    // The password only when the user asked for it.
    QCOMPARE(saved.Options().contains(QStringLiteral("export/modx/password")), remember);
}

#include "tst_mainwindow.moc"
