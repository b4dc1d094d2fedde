#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "addurldialog.h"
#include "admitadrelay.h"
#include "admitdezozavodialog.h"
#include "catmodel.h"
#include "categoryviewmodel.h"
#include "changereport.h"
#include "deleteconfirmation.h"
#include "editofferdialog.h"
#include "errorbox.h"
#include "exportoptionsdialog.h"
#include "ftpexportdialog.h"
#include "good.h"
#include "gooddelegate.h"
#include "goodviewdialog.h"
#include "goodviewmodel.h"
#include "ioviewmodel.h"
#include "modxexportdialog.h"
#include "offerviewmodel.h"
#include "progressthread.h"
#include "schema.h"
#include "recentprojects.h"
#include "statuscounts.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardPaths>
#include <QStatusBar>
#include <QUrl>
#include <QToolButton>

// The icon lives in the resources of the interface library, which is
// static: its resources are registered only when asked for. Outside any
// namespace, as the macro needs.
static void InitResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    Q_UNUSED(registered)
}

namespace {

// A message box lists this many warnings; the rest are behind "Show details".
const int kWarningsShown = 10;
// The search waits this long after the last key before it starts.
const int kSearchDelayMs = 250;
// A slice of a running search holds the interface thread about this long.
const int kSearchSliceMs = 30;

} // namespace

MainWindow::MainWindow(QWidget *parent, const QString *projectPath)
    : QMainWindow(parent)
    , m_session(model, filter, Model::DefaultProjectPath())
    , ui(new Ui::MainWindow)
    , m_startLanguage(InterfaceLanguage::Chosen())
{
    InitResources();
    setWindowState(windowState() | Qt::WindowMaximized);
    ui->setupUi(this);

    // A project that cannot be read is reported once the window is up.
    const QStringList unread = m_session.Start(projectPath);

    ui->catTreeView->setHeaderHidden(true);

    m_goodModel = new GoodViewModel(this);
    ui->goodListView->setModel(m_goodModel);
    ui->goodListView->setItemDelegate(new GoodDelegate(ui->goodListView, &model));

    connect(ui->goodListView, &QAbstractItemView::doubleClicked, this, &MainWindow::viewGood);

    // The search: applied once the user stops typing, run a slice at a time.
    ui->searchEdit->setText(filter.searchText);
    m_searchDelay.setSingleShot(true);
    m_searchDelay.setInterval(kSearchDelayMs);
    connect(ui->searchEdit, &QLineEdit::textChanged, &m_searchDelay, qOverload<>(&QTimer::start));
    connect(&m_searchDelay, &QTimer::timeout, this, &MainWindow::ApplySearchText);
    m_searchSlices.setInterval(0);
    connect(&m_searchSlices, &QTimer::timeout, this, &MainWindow::SearchStep);
    for (QToolButton *button : {ui->showAdded, ui->showChanged, ui->showDeleted})
        connect(button, &QToolButton::toggled, this, [this, button](bool checked) { ChooseStatus(button, checked); });
    connect(ui->allCategories, &QPushButton::clicked, this, &MainWindow::showAllCategories);

    connect(ui->emptyAddFeed, &QPushButton::clicked, this, &MainWindow::openAddFilesDialog);
    connect(ui->emptyOpenProject, &QPushButton::clicked, this, &MainWindow::loadProject);
    connect(ui->emptyOpenExample, &QPushButton::clicked, this, &MainWindow::openExample);
    ui->emptyOpenExample->setEnabled(!ExamplesFolder().isEmpty());
    connect(ui->catTreeView, &QAbstractItemView::clicked, this, &MainWindow::catViewSelectionChanged);
    connect(ui->catTreeView, &QWidget::customContextMenuRequested, this, &MainWindow::showCategoryContextMenu);
    connect(ui->offerListView, &QWidget::customContextMenuRequested, this, &MainWindow::showOfferContextMenu);
    connect(ui->offerListView, &QAbstractItemView::doubleClicked, this, &MainWindow::editOffer);

    connect(ui->project_new, &QAction::triggered, this, &MainWindow::newProject);
    connect(ui->project_open, &QAction::triggered, this, &MainWindow::loadProject);
    connect(ui->project_save, &QAction::triggered, this, &MainWindow::saveProject);
    connect(ui->project_save_as, &QAction::triggered, this, &MainWindow::saveProjectAs);
    connect(ui->data_delete, &QAction::triggered, this, &MainWindow::clearData);
    connect(ui->exit, &QAction::triggered, this, &QWidget::close);
    connect(ui->load_all_offers_CSV, &QAction::triggered, this, &MainWindow::loadAllOffersCsv);
    connect(ui->load_offers_from_admitad, &QAction::triggered, this, &MainWindow::loadOffersFromAdmitad);
    connect(ui->delete_unused_offers, &QAction::triggered, this, &MainWindow::deleteUnusedOffers);
    connect(ui->save_offers, &QAction::triggered, this, &MainWindow::saveOffers);
    connect(ui->add_file, &QAction::triggered, this, &MainWindow::openAddFilesDialog);
    connect(ui->add_url, &QAction::triggered, this, &MainWindow::openAddUrlDialog);
    connect(ui->modx_import, &QAction::triggered, this, &MainWindow::openModxImportDialog);
    connect(ui->save, &QAction::triggered, this, &MainWindow::save);
    connect(ui->save_by_cats, &QAction::triggered, this, &MainWindow::saveByCats);
    connect(ui->ftp_export, &QAction::triggered, this, &MainWindow::openFtpExportDialog);
    connect(ui->modx_export, &QAction::triggered, this, &MainWindow::openModxExportDialog);
    connect(ui->add_file_base, &QAction::triggered, this, &MainWindow::openAddBaseFilesDialog);
    connect(ui->add_url_base, &QAction::triggered, this, &MainWindow::openAddBaseUrlFialog);
    connect(ui->modx_import_base, &QAction::triggered, this, &MainWindow::openModxImportBaseDialog);
    connect(ui->remove_duplicates, &QAction::triggered, this, &MainWindow::removeDuplicates);
    // After the base imports, whose outcome it shows.
    m_reportAction = new QAction(tr("Отчёт об &изменениях"), this);
    m_reportAction->setObjectName(QStringLiteral("change_report"));
    ui->menu_5->addSeparator();
    ui->menu_5->addAction(m_reportAction);
    connect(m_reportAction, &QAction::triggered, this, &MainWindow::showChangeReport);
    // The counts of a delta in the status bar open the report as well.
    ui->statLabel->installEventFilter(this);

    // The day's loads again, in one step.
    m_reloadSources = new QAction(this);
    m_reloadSources->setObjectName(QStringLiteral("reload_sources"));
    ui->menu->insertAction(ui->data_delete, m_reloadSources);
    connect(m_reloadSources, &QAction::triggered, this, &MainWindow::reloadSources);

    // The docks come first, above the language.
    QAction *languageSeparator = ui->menu_view->actions().value(0);
    ui->menu_view->insertAction(languageSeparator, ui->dock_io->toggleViewAction());
    ui->menu_view->insertAction(languageSeparator, ui->dock_cats->toggleViewAction());
    ui->menu_view->insertAction(languageSeparator, ui->dock_offers->toggleViewAction());

    auto *languages = new QActionGroup(this);
    languages->addAction(ui->language_ru);
    languages->addAction(ui->language_en);
    (m_startLanguage == InterfaceLanguage::English ? ui->language_en : ui->language_ru)->setChecked(true);
    connect(ui->language_ru, &QAction::triggered, this, [this] { ChooseLanguage(InterfaceLanguage::Russian); });
    connect(ui->language_en, &QAction::triggered, this, [this] { ChooseLanguage(InterfaceLanguage::English); });
    SetupKeyboard();

    loadAllViews();

    ui->filters->SetFilter(&filter, &model);
    connect(ui->filters, &FiltersLabel::flterUpdated, this, &MainWindow::refreshGoodView);

    if (!m_session.ProjectPath().isEmpty())
        RememberProject(m_session.ProjectPath());
    UpdateRecentMenu();

    UpdateTitle();
    m_autosaveTimer.setInterval(kAutosaveMinutes * 60 * 1000);
    connect(&m_autosaveTimer, &QTimer::timeout, this, &MainWindow::Autosave);
    m_autosaveTimer.start();

    if (!unread.isEmpty()) {
        Report(0, 0, unread.first());
        // Once the window is up, not over an empty screen.
        QTimer::singleShot(0, this, [this, unread] {
            QMessageBox::warning(this, tr("Проект не открыт"), unread.join(QLatin1String("\n\n")));
        });
    }
}

MainWindow::~MainWindow()
{
    m_session.SaveOnExit();
    // The view models point into the catalogue, which dies before the views.
    clearAllViews();
    delete ui;
}

void MainWindow::SetupKeyboard()
{
    // The docks' toggles in the menu "Вид" (the docks' own titles stay).
    ui->dock_io->toggleViewAction()->setText(tr("&Файлы"));
    ui->dock_cats->toggleViewAction()->setText(tr("&Категории"));
    ui->dock_offers->toggleViewAction()->setText(tr("&Офферы"));
    ui->project_new->setShortcut(QKeySequence::New);
    ui->project_open->setShortcut(QKeySequence::Open);
    ui->project_save->setShortcut(QKeySequence::Save);
    // Spelled out: not every desktop defines a key for "save as".
    ui->project_save_as->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    ui->save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    ui->exit->setShortcut(QKeySequence::Quit);
    m_reloadSources->setText(tr("О&бновить всё"));
    m_reloadSources->setShortcut(QKeySequence(Qt::Key_F5));
    auto *find = new QAction(this);
    find->setShortcut(QKeySequence::Find);
    find->setShortcutContext(Qt::WindowShortcut);
    addAction(find);
    connect(find, &QAction::triggered, this, [this] {
        ui->searchEdit->setFocus(Qt::ShortcutFocusReason);
        ui->searchEdit->selectAll();
    });
    // From the category tree to the goods and the offers, in reading order.
    setTabOrder(ui->catTreeView, ui->filters);
    setTabOrder(ui->filters, ui->searchEdit);
    setTabOrder(ui->searchEdit, ui->goodListView);
    setTabOrder(ui->goodListView, ui->offerListView);
    setTabOrder(ui->offerListView, ui->filesListView);
    // Enter on a good or an offer opens it, as a double click does (not
    // through activated(), which a double click emits as well).
    ui->goodListView->installEventFilter(this);
    ui->offerListView->installEventFilter(this);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->statLabel && event->type() == QEvent::MouseButtonRelease && model.BaseRows() > 0
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        showChangeReport();
        return true;
    }
    if (event->type() == QEvent::KeyPress && (watched == ui->goodListView || watched == ui->offerListView)) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == ui->goodListView)
                viewGood(ui->goodListView->currentIndex());
            else
                editOffer();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_askOnClose && !ConfirmDiscard(QString())) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::closeUnasked()
{
    m_askOnClose = false;
    close();
}

bool MainWindow::Report(int current, int max, const QString &msg)
{
    if (max != 0) {
        statusBar()->showMessage(msg % QLatin1String(" (") % QString::number(current) % QLatin1Char('/')
                                 % QString::number(max) % QLatin1Char(')'));
    } else {
        statusBar()->showMessage(msg);
    }
    return true;
}

QString MainWindow::ProjectArgument(const QStringList &arguments)
{
    if (arguments.size() > 1 && QFileInfo(arguments.at(1)).isFile())
        return arguments.at(1);
    return QString();
}

template<typename Operation>
bool MainWindow::RunOnWorker(bool changesCatalogue, Operation operation)
{
    if (changesCatalogue)
        clearAllViews();
    bool ok = true;
    m_cancelled = RunWithProgress(this, false, [&](IProgress *progress) { ok = operation(progress); })
            == QDialog::Rejected;
    if (changesCatalogue)
        loadAllViews();
    return ok;
}

void MainWindow::ShowOutcome(bool ok, qint64 added)
{
    if (ok)
        ShowDone(model.SkippedRows(), model.Warnings(), added);
    else
        ShowFailure(model.LastError(), model.Warnings());
}

void MainWindow::ShowDone(qint64 skipped, const QStringList &warnings, qint64 added)
{
    if (added >= 0 && skipped > 0)
        Report(0, 0, tr("Выполнено, добавлено товаров: %1, пропущено строк: %2").arg(added).arg(skipped));
    else if (added >= 0)
        Report(0, 0, tr("Выполнено, добавлено товаров: %1").arg(added));
    else if (skipped > 0)
        Report(0, 0, tr("Выполнено, пропущено строк: %1").arg(skipped));
    else
        Report(0, 0, tr("Выполнено"));
    ShowWarnings(warnings);
}

void MainWindow::ShowFailure(const QString &reason, const QStringList &warnings)
{
    // The user who cancelled knows why it stopped: no error for that.
    if (m_cancelled) {
        Report(0, 0, tr("Отменено"));
        ShowWarnings(warnings);
        return;
    }
    if (reason.isEmpty())
        Report(0, 0, tr("Выполнено с ошибкой"));
    else
        Report(0, 0, tr("Выполнено с ошибкой: %1").arg(ErrorBox::Sentence(reason)));
    ErrorBox::Show(this, QMessageBox::Warning, tr("Ошибка"),
                   reason.isEmpty() ? tr("Операция не выполнена: причина неизвестна") : reason);
    ShowWarnings(warnings);
}

void MainWindow::ShowWarnings(const QStringList &warnings)
{
    if (warnings.isEmpty())
        return;
    QString text = tr("Сделано не всё:") + QLatin1Char('\n');
    for (int i = 0; i < warnings.size() && i < kWarningsShown; ++i)
        text += QStringLiteral("\n\u2022 ") + warnings.at(i);
    QMessageBox box(QMessageBox::Warning, tr("Предупреждение"), QString(), QMessageBox::Ok, this);
    if (warnings.size() > kWarningsShown) {
        text += QLatin1String("\n\n") + tr("И ещё предупреждений: %1").arg(warnings.size() - kWarningsShown);
        box.setDetailedText(warnings.join(QLatin1Char('\n')));
    }
    box.setText(text);
    box.exec();
}

void MainWindow::ChooseLanguage(InterfaceLanguage::Language language)
{
    InterfaceLanguage::Choose(language);
    // The texts are set as the window is built: a new language takes a new start.
    if (language != m_startLanguage) {
        QMessageBox::information(this, tr("Язык интерфейса"),
                                 tr("Новый язык интерфейса появится при следующем запуске Fidmora."));
    }
}

int MainWindow::OfferRow(const QModelIndex &viewIndex) const
{
    // The list shows the offers sorted; the model keeps them in the order
    // they are saved in.
    if (!viewIndex.isValid() || !m_offerSorter || viewIndex.model() != m_offerSorter)
        return -1;
    const int row = m_offerSorter->mapToSource(viewIndex).row();
    return row < model.Offers().size() ? row : -1;
}

Offer *MainWindow::CurrentOffer()
{
    const int row = OfferRow(ui->offerListView->currentIndex());
    return row < 0 ? nullptr : &model.Offers()[row];
}

// Views.

void MainWindow::SetViewModel(QAbstractItemView *view, QAbstractItemModel *viewModel)
{
    view->setModel(viewModel);
    // Every setModel() gives the view (and a tree's header) a selection
    // model of its own and keeps the old ones as children; a view that is
    // rebuilt after every command would pile them up.
    const QList<QItemSelectionModel *> selectionModels = view->findChildren<QItemSelectionModel *>();
    for (QItemSelectionModel *selectionModel : selectionModels) {
        if (selectionModel != view->selectionModel())
            delete selectionModel;
    }
}

void MainWindow::DeleteViewModel(QAbstractItemView *view)
{
    QAbstractItemModel *old = view->model();
    SetViewModel(view, nullptr);
    delete old;
}

void MainWindow::clearGoodView()
{
    // A search under way lets go of the goods too.
    m_searchSlices.stop();
    m_search.Clear();
    SetViewModel(ui->goodListView, nullptr);
    m_goodModel->ClearGoods();
    SetViewModel(ui->goodListView, m_goodModel);
}

void MainWindow::loadGoodView()
{
    clearGoodView();
    StartSearch();
}

void MainWindow::StartSearch()
{
    m_searchSlices.stop();
    m_search.Start(&model.Root(), filter);
    if (m_search.IsDone()) {
        ShowFound();
        return;
    }
    // The list shows what it showed until the search is done.
    ui->foundLabel->setText(tr("Поиск…"));
    m_searchSlices.start();
}

void MainWindow::SearchStep()
{
    if (!m_search.Step(kSearchSliceMs)) {
        const int percent = m_search.Total() > 0 ? int(qint64(m_search.Tested()) * 100 / m_search.Total()) : 0;
        ui->foundLabel->setText(tr("Поиск… %1%").arg(percent));
        return;
    }
    m_searchSlices.stop();
    ShowFound();
}

void MainWindow::ApplySearchText()
{
    // A worker may be reading the filter (a save): the text waits for it.
    if (findChild<ProgressDialog *>()) {
        m_searchDelay.start();
        return;
    }
    const QString text = ui->searchEdit->text().trimmed();
    if (text == filter.searchText)
        return;
    filter.searchText = text;
    StartSearch();
    UpdateTitle();
}

void MainWindow::ChooseStatus(QObject *button, bool checked)
{
    // One status at a time: a second button takes over from the first.
    if (checked) {
        for (QToolButton *other : {ui->showAdded, ui->showChanged, ui->showDeleted}) {
            if (other != button && other->isChecked()) {
                const QSignalBlocker blocker(other);
                other->setChecked(false);
            }
        }
    }
    if (m_search.IsDone())
        ShowFound();
}

unsigned MainWindow::StatusMask() const
{
    if (ui->showAdded->isChecked())
        return GoodSearch::StatusBit(Added);
    if (ui->showChanged->isChecked())
        return GoodSearch::StatusBit(Changed);
    if (ui->showDeleted->isChecked())
        return GoodSearch::StatusBit(Deleted);
    return GoodSearch::kEveryStatus;
}

void MainWindow::ShowFound()
{
    const QVector<Good *> below = m_search.Below(m_shownCategory);
    const bool delta = model.BaseRows() > 0;
    SetViewModel(ui->goodListView, nullptr);
    m_goodModel->SetGoods(delta ? GoodSearch::WithStatus(below, StatusMask()) : below);
    SetViewModel(ui->goodListView, m_goodModel);
    if (auto *categories = qobject_cast<CategoryViewModel *>(ui->catTreeView->model()))
        categories->SetCounts(m_search.SubtreeCounts());
    {
        const QSignalBlocker blocker(ui->allCategories);
        ui->allCategories->setChecked(!m_shownCategory);
    }
    ui->foundLabel->setText(filter.searchText.isEmpty() ? QString()
                                                        : tr("Найдено: %1").arg(m_search.Found().size()));
    const int categories = model.Root().CountWithGoods(&filter);
    const StatusCounts counts = StatusCounts::Of(below);
    for (QToolButton *button : {ui->showAdded, ui->showChanged, ui->showDeleted})
        button->setVisible(delta);
    ui->showAdded->setText(tr("Добавлено: %1").arg(counts.added));
    ui->showChanged->setText(tr("Изменено: %1").arg(counts.changed));
    ui->showDeleted->setText(tr("Удалено: %1").arg(counts.deleted));
    if (delta) {
        // A delta: what the site is to add, change and delete.
        ui->statLabel->setText(tr("Категорий: %1. Товаров: %2. Добавлено: %3. Изменено: %4. Удалено: %5.")
                                       .arg(categories)
                                       .arg(m_goodModel->rowCount())
                                       .arg(counts.added)
                                       .arg(counts.changed)
                                       .arg(counts.deleted));
    } else {
        ui->statLabel->setText(tr("Категорий: %1. Товаров: %2").arg(categories).arg(m_goodModel->rowCount()));
    }
    // A delta's counts read as a link to its report.
    QFont statFont = ui->statLabel->font();
    statFont.setUnderline(delta);
    ui->statLabel->setFont(statFont);
    ui->statLabel->setCursor(delta ? Qt::PointingHandCursor : Qt::ArrowCursor);
    ui->statLabel->setToolTip(delta ? tr("Открыть отчёт об изменениях") : QString());
    m_reportAction->setEnabled(delta);
    ui->filters->UpdateText();
    UpdateTitle();
}

void MainWindow::UpdateEmptyState()
{
    // A first start shows what the program does and where to begin.
    const bool empty = model.Sources().isEmpty();
    ui->emptyState->setVisible(empty);
    ui->goodListView->setVisible(!empty);
}

void MainWindow::clearOfferView()
{
    DeleteViewModel(ui->offerListView);
    m_offerSorter = nullptr;
}

void MainWindow::loadOfferView()
{
    clearOfferView();
    Report(0, 0, tr("Составление списка офферов..."));
    // Sorted by name for the eye, case aside; the model keeps its order for
    // the project file.
    auto *offers = new OfferViewModel(&model.Offers());
    m_offerSorter = new QSortFilterProxyModel;
    offers->setParent(m_offerSorter);
    m_offerSorter->setSourceModel(offers);
    m_offerSorter->setSortCaseSensitivity(Qt::CaseInsensitive);
    m_offerSorter->setSortLocaleAware(true);
    m_offerSorter->sort(0);
    SetViewModel(ui->offerListView, m_offerSorter);
}

void MainWindow::clearAllViews()
{
    // The category shown may go with the catalogue's change.
    m_shownCategory = nullptr;
    DeleteViewModel(ui->filesListView);
    clearOfferView();
    DeleteViewModel(ui->catTreeView);
    clearGoodView();
}

void MainWindow::loadAllViews()
{
    clearAllViews();
    Report(0, 0, tr("Составление списка источников..."));
    SetViewModel(ui->filesListView, new IOViewModel(&model.Sources()));
    loadOfferView();
    Report(0, 0, tr("Составление дерева категорий..."));
    auto *categories = new CategoryViewModel(&model.Root(), &filter);
    SetViewModel(ui->catTreeView, categories);
    connect(categories, &CategoryViewModel::GoodSetChanged, this, &MainWindow::refreshGoodView);
    // The arrow keys move through the tree as clicks do.
    connect(ui->catTreeView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { catViewSelectionChanged(current); });
    if (ui->searchEdit->text() != filter.searchText) {
        const QSignalBlocker blocker(ui->searchEdit);
        ui->searchEdit->setText(filter.searchText);
    }
    UpdateEmptyState();
    Report(0, 0, tr("Составление списка товаров..."));
    loadGoodView();
    Report(0, 0, tr("Выполнено"));
}

void MainWindow::refreshGoodView()
{
    clearGoodView();
    loadGoodView();
}

// Import.

QString MainWindow::FeedFileFilters()
{
    // Catalogues are recognised by their content: any file may be chosen.
    return tr("Файл c данными") + QLatin1String(" (*.csv *.xml *.yml);;CSV (*.csv);;")
            + tr("Каталог YML или dc_catalog") + QLatin1String(" (*.xml *.yml);;") + tr("Все файлы")
            + QLatin1String(" (*)");
}

void MainWindow::openAddFilesDialog()
{
    const QStringList paths = QFileDialog::getOpenFileNames(this, tr("Добавить файлы"), QString(), FeedFileFilters());
    AddFiles(paths, false);
}

void MainWindow::openAddBaseFilesDialog()
{
    const QStringList paths =
            QFileDialog::getOpenFileNames(this, tr("Добавить файлы с базами"), QString(), FeedFileFilters());
    AddFiles(paths, true);
}

void MainWindow::AddFiles(const QStringList &paths, bool isBase)
{
    if (paths.isEmpty()) {
        Report(0, 0, tr("Выполнено"));
        return;
    }
    // Each file is a load of its own: what each one skipped is gathered.
    const qint64 before = model.Root().GoodCount(true);
    QStringList warnings;
    qint64 skipped = 0;
    QString error;
    const bool ok = RunOnWorker(true, [&](IProgress *progress) {
        for (const QString &path : paths) {
            const bool loaded = model.AddFile(path, isBase, progress);
            warnings += model.Warnings();
            skipped += model.SkippedRows();
            if (!loaded) {
                error = model.LastError();
                return false;
            }
        }
        return true;
    });
    if (ok)
        ShowDone(skipped, warnings, isBase ? -1 : model.Root().GoodCount(true) - before);
    else
        ShowFailure(error, warnings);
}

void MainWindow::openAddUrlDialog()
{
    AskForUrl(false);
}

void MainWindow::openAddBaseUrlFialog()
{
    AskForUrl(true);
}

void MainWindow::AskForUrl(bool isBase)
{
    AddUrlDialog dialog(this, tr("Введите URL файла"), QStringLiteral("https://example.com/feed.csv"), QString());
    if (dialog.exec() != QDialog::Accepted || dialog.Url().trimmed().isEmpty()) {
        Report(0, 0, tr("Выполнено"));
        return;
    }
    AddUrlFeed(dialog.Url().trimmed(), isBase);
}

void MainWindow::AddUrlFeed(const QString &url, bool isBase)
{
    const qint64 before = model.Root().GoodCount(true);
    const bool ok = RunOnWorker(true, [&](IProgress *progress) { return model.AddUrl(url, isBase, progress); });
    ShowOutcome(ok, isBase ? -1 : model.Root().GoodCount(true) - before);
}

void MainWindow::openFtpExportDialog()
{
    // The export only reads the catalogue: the views stay. The dialog asks
    // before a delta that deletes most of the bases and tells how it went.
    FtpExportDialog dialog(&model, &filter, this);
    dialog.exec();
    // Its fields are kept in the project.
    UpdateTitle();
}

// The site exchange: the dialog asks for the site and runs the operation
// itself, behind a progress log that stays open until the user closes it.

void MainWindow::openModxExportDialog()
{
    // Writing only reads the catalogue: the views stay.
    ModxExportDialog dialog(&model, ModxExportDialog::Export, &filter, this);
    dialog.exec();
    UpdateTitle();
}

void MainWindow::openModxImportDialog()
{
    RunModxImport(ModxExportDialog::Import);
}

void MainWindow::openModxImportBaseDialog()
{
    RunModxImport(ModxExportDialog::ImportBase);
}

void MainWindow::RunModxImport(int mode)
{
    const qint64 before = model.Root().GoodCount(true);
    ModxExportDialog dialog(&model, mode, nullptr, this);
    connect(&dialog, &ModxExportDialog::beforeAction, this, &MainWindow::clearAllViews);
    connect(&dialog, &ModxExportDialog::afterAction, this, &MainWindow::loadAllViews);
    // The dialog shows its failures itself, and stays open for another try.
    if (dialog.exec() == QDialog::Accepted) {
        ShowDone(model.SkippedRows(), model.Warnings(),
                 mode == ModxExportDialog::Import ? model.Root().GoodCount(true) - before : -1);
    } else if (dialog.Cancelled()) {
        // The user's wish, not a failure.
        Report(0, 0, tr("Отменено"));
    } else if (dialog.LastError().isEmpty()) {
        Report(0, 0, tr("Выполнено с ошибкой"));
    } else {
        Report(0, 0, tr("Выполнено с ошибкой: %1").arg(ErrorBox::Sentence(dialog.LastError())));
    }
    UpdateTitle();
}

// Admitad.

void MainWindow::loadOffersFromAdmitad()
{
    if (AdmitadRelay::Address().isEmpty() && !AdmitdeZozavoDialog::AskForRelay(this))
        return;
    // Starts over whenever the user gives another relay address.
    for (;;) {
        const QString relay = AdmitadRelay::Address();
        QString authorisationUrl;
        QString error;
        AdmitadRelay::Answer answer = AdmitadRelay::Answer::Cancelled;
        RunOnWorker(false, [&](IProgress *progress) {
            AdmitadRelay client(relay);
            answer = client.RequestAuthorisation(progress, &authorisationUrl);
            error = client.ErrorText();
            return true;
        });
        switch (answer) {
        case AdmitadRelay::Answer::Cancelled:
            Report(0, 0, tr("Загрузка офферов из Admitad отменена"));
            return;
        case AdmitadRelay::Answer::Unavailable: {
            QMessageBox box(QMessageBox::Warning, tr("Ошибка"), tr("Сервис временно недоступен"), QMessageBox::Close,
                            this);
            box.setInformativeText(error);
            // An address from the environment is not the window's to change.
            QPushButton *change = AdmitadRelay::AddressFromEnvironment()
                    ? nullptr
                    : box.addButton(tr("Изменить адрес сервиса..."), QMessageBox::ActionRole);
            box.exec();
            if (change && box.clickedButton() == change && AdmitdeZozavoDialog::AskForRelay(this))
                continue;
            return;
        }
        case AdmitadRelay::Answer::Empty: {
            QMessageBox box(QMessageBox::Warning, tr("Ошибка"), tr("Внутренняя ошибка"), QMessageBox::Close, this);
            box.setInformativeText(error);
            box.exec();
            return;
        }
        case AdmitadRelay::Answer::Address:
            break;
        }
        // The dialog keeps the offer document in its temporary file, which
        // goes with it once the offers are in.
        AdmitdeZozavoDialog dialog(authorisationUrl, this, relay);
        const int result = dialog.exec();
        if (result == AdmitdeZozavoDialog::RelayChanged)
            continue;
        if (result == QDialog::Accepted)
            ImportOffers(dialog.ResultFile());
        return;
    }
}

void MainWindow::ImportOffers(const QString &path)
{
    int added = 0;
    int present = 0;
    QString error;
    const bool ok = RunOnWorker(true, [&](IProgress *progress) {
        progress->Report(0, 0, tr("Загрузка офферов"));
        const bool merged = model.MergeOffers(path, &added, &present);
        error = model.LastError();
        return merged;
    });
    if (ok)
        Report(0, 0, tr("Офферы из Admitad загружены: новых %1, уже были в проекте %2").arg(added).arg(present));
    else
        ShowFailure(tr("список офферов из Admitad не прочитан: %1").arg(error));
}

// Export.

void MainWindow::save()
{
    const QStringList columns = model.CollectHeader(&model.Root(), &filter, true);
    QStringList selected;
    {
        ExportOptionsDialog dialog(columns, this, model.BaseRows() > 0);
        if (dialog.exec() != QDialog::Accepted)
            return;
        selected = dialog.SelectedColumns();
    }
    if (!DeleteConfirmation::Ask(this, model, &filter))
        return;
    const QString path = QFileDialog::getSaveFileName(this, tr("Сохранить всё в один файл"), QString(),
                                                      tr("Файл c данными") + QLatin1String(" (*.csv)"));
    if (!path.isEmpty())
        SaveAll(WithSuffix(path, QStringLiteral("csv")), selected);
}

void MainWindow::SaveAll(const QString &path, const QStringList &columns)
{
    // Saving only reads the catalogue: the views stay.
    const bool ok = RunOnWorker(false, [&](IProgress *progress) {
        return model.SaveToFile(path, &model.Root(), &columns, &filter, progress);
    });
    if (ok)
        Report(0, 0, tr("Сохранено в файл %1").arg(QDir::toNativeSeparators(path)));
    else
        ShowFailure(model.LastError());
}

void MainWindow::saveByCats()
{
    if (!DeleteConfirmation::Ask(this, model, &filter))
        return;
    const QString folder = QFileDialog::getExistingDirectory(this, tr("Сохранить по категориям"), QString(),
                                                             QFileDialog::ShowDirsOnly);
    if (!folder.isEmpty())
        SaveByCategories(folder);
}

void MainWindow::SaveByCategories(const QString &folder)
{
    const bool ok = RunOnWorker(false, [&](IProgress *progress) {
        return model.SaveToFilesByCats(folder, &model.Root(), nullptr, &filter, progress);
    });
    if (!ok) {
        ShowFailure(model.LastError());
        return;
    }
    Report(0, 0, tr("Сохранено файлов в папку %1: %2")
                         .arg(QDir::toNativeSeparators(folder))
                         .arg(model.SavedFiles().size()));
    ShowWarnings(model.Warnings());
}

// Offers.

void MainWindow::loadAllOffersCsv()
{
    const qint64 before = model.Root().GoodCount(true);
    const bool ok = RunOnWorker(true, [&](IProgress *progress) { return model.LoadAllOffers(progress); });
    ShowOutcome(ok, model.Root().GoodCount(true) - before);
}

void MainWindow::deleteUnusedOffers()
{
    int unused = 0;
    for (const Offer &offer : model.Offers())
        unused += !offer.hasGoods && offer.HasNoRules() ? 1 : 0;
    if (unused == 0) {
        Report(0, 0, tr("Неиспользуемых офферов нет"));
        return;
    }
    if (!Ask(tr("Удалить офферы без товаров и без правил: %1?").arg(unused)))
        return;
    clearOfferView();
    model.DeleteUnusedOffers();
    loadAllViews();
}

void MainWindow::saveOffers()
{
    SaveProjectAs(QString());
}

void MainWindow::editOffer()
{
    Offer *offer = CurrentOffer();
    if (!offer)
        return;
    EditOfferDialog dialog(offer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString oldName = offer->name;
    const bool rulesChanged = dialog.ApplyToOffer();
    model.IndexEditedOffer(offer);
    model.RenameOfferSources(oldName, offer->name);
    if (!rulesChanged || !offer->hasGoods) {
        // The lists show the offer's name: sorted anew, and every card
        // read again.
        if (m_offerSorter)
            m_offerSorter->invalidate();
        m_goodModel->RepaintAll();
        UpdateTitle();
        return;
    }
    // The goods already loaded take their places under the new rules at
    // once, from the rows they were read from.
    ShowOutcome(RunOnWorker(true, [&](IProgress *progress) { return model.ReapplyRules(offer, progress); }));
    UpdateTitle();
}

void MainWindow::loadOfferFromMenu()
{
    Offer *offer = CurrentOffer();
    if (!offer || offer->exportUrl.isEmpty() || offer->exportLoaded)
        return;
    const qint64 before = model.Root().GoodCount(true);
    const bool ok = RunOnWorker(true, [&](IProgress *progress) { return model.LoadOffer(offer, progress); });
    ShowOutcome(ok, model.Root().GoodCount(true) - before);
}

void MainWindow::unloadOfferFromMenu()
{
    Offer *offer = CurrentOffer();
    if (!offer || !offer->hasGoods)
        return;
    ShowOutcome(RunOnWorker(true, [&](IProgress *progress) { return model.UnloadOffer(offer, progress); }));
}

void MainWindow::deleteOfferFromMenu()
{
    Offer *offer = CurrentOffer();
    if (!offer)
        return;
    const QString question = offer->hasGoods
            ? tr("Удалить оффер «%1» вместе с его правилами и товарами?").arg(offer->name)
            : tr("Удалить оффер «%1» вместе с его правилами?").arg(offer->name);
    if (!Ask(question))
        return;
    ShowOutcome(RunOnWorker(true, [&](IProgress *progress) { return model.DeleteOffer(offer, progress); }));
}

void MainWindow::showOfferContextMenu(const QPoint &pos)
{
    QListView *view = ui->offerListView;
    QMenu menu(tr("Действия"), this);
    const QModelIndex current = view->currentIndex();
    const int row = OfferRow(current);
    if (row >= 0 && view->visualRect(current).contains(pos)) {
        const Offer &offer = model.Offers().at(row);
        if (!offer.exportUrl.isEmpty() && !offer.exportLoaded)
            menu.addAction(tr("&Загрузить CSV оффера"), this, &MainWindow::loadOfferFromMenu);
        if (offer.hasGoods)
            menu.addAction(tr("Вы&грузить товары оффера"), this, &MainWindow::unloadOfferFromMenu);
        menu.addAction(tr("&Редактировать оффера"), this, &MainWindow::editOffer);
        menu.addAction(tr("&Удалить оффера"), this, &MainWindow::deleteOfferFromMenu);
        menu.addSeparator();
    }
    // The list-wide entries are those of the menu "Офферы".
    menu.addAction(ui->load_all_offers_CSV);
    menu.addAction(ui->load_offers_from_admitad);
    menu.addAction(ui->delete_unused_offers);
    menu.addAction(ui->save_offers);
    menu.exec(view->viewport()->mapToGlobal(pos));
}

// Categories and goods.

void MainWindow::catViewSelectionChanged(const QModelIndex &index)
{
    auto *categories = qobject_cast<CategoryViewModel *>(ui->catTreeView->model());
    if (!index.isValid() || !categories)
        return;
    CatModel *category = categories->NodeAt(index);
    if (category == m_shownCategory)
        return;
    // The list shows the category's subtree.
    m_shownCategory = category;
    if (m_search.IsDone())
        ShowFound();
}

void MainWindow::showAllCategories()
{
    m_shownCategory = nullptr;
    if (QItemSelectionModel *selection = ui->catTreeView->selectionModel()) {
        const QSignalBlocker blocker(selection);
        selection->clear();
    }
    if (m_search.IsDone())
        ShowFound();
}

void MainWindow::showCategoryContextMenu(const QPoint &pos)
{
    QTreeView *view = ui->catTreeView;
    auto *categories = qobject_cast<CategoryViewModel *>(view->model());
    const QModelIndex current = view->currentIndex();
    // Over empty space the current category is not the one the user
    // pointed at: deleting it from there would surprise.
    if (!categories || !current.isValid() || !view->visualRect(current).contains(pos))
        return;
    QMenu menu(tr("Действия"), this);
    menu.addAction(categories->NodeAt(current)->ghost ? tr("Сделать &реальной") : tr("Сделать &призрачной"), this,
                   &MainWindow::makeGhostCat);
    menu.addAction(tr("&Удалить категорию"), this, &MainWindow::deleteSelectedCat);
    menu.exec(view->viewport()->mapToGlobal(pos));
}

void MainWindow::makeGhostCat()
{
    auto *categories = qobject_cast<CategoryViewModel *>(ui->catTreeView->model());
    const QModelIndex current = ui->catTreeView->currentIndex();
    if (!categories || !current.isValid())
        return;
    categories->ToggleGhost(current);
    m_goodModel->RepaintAll();
    UpdateTitle();
}

void MainWindow::deleteSelectedCat()
{
    auto *categories = qobject_cast<CategoryViewModel *>(ui->catTreeView->model());
    const QModelIndex current = ui->catTreeView->currentIndex();
    if (!categories || !current.isValid())
        return;
    const CatModel *doomed = categories->NodeAt(current);
    if (!Ask(tr("Удалить категорию «%1» со всеми подкатегориями? Товаров в ней: %2.")
                     .arg(doomed->name)
                     .arg(doomed->GoodCount(true))))
        return;
    // The goods list lets go of the goods before they are destroyed.
    m_shownCategory = nullptr;
    clearGoodView();
    categories->removeRows(current.row(), 1, current.parent());
    loadGoodView();
}

void MainWindow::deleteAndExpandCat()
{
    // The form's name for deleting a category: it does what deleting the
    // selected category does, so it is that command.
    deleteSelectedCat();
}

void MainWindow::viewGood(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    Good *good = index.data(Qt::DisplayRole).value<Good *>();
    if (!good)
        return;
    GoodViewDialog dialog(good, this, &model);
    dialog.exec();
}

QString MainWindow::WriteChangeReport()
{
    QString folder = ProjectPath().isEmpty() ? QString() : QFileInfo(ProjectPath()).absolutePath();
    if (folder.isEmpty()) {
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        QDir().mkpath(folder);
    }
    const QString path = QDir(folder).filePath(ChangeReport::FileName(QDateTime::currentDateTime()));
    // Counted from what the catalogue keeps, without reading the feeds: a
    // moment even for a million goods.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const ChangeReport::Figures figures = ChangeReport::Compute(model, &filter, DeleteConfirmation::kThresholdPercent);
    QString error;
    const bool written = ChangeReport::Write(path, figures, InterfaceLanguage::LocaleOf(m_startLanguage), &error);
    QApplication::restoreOverrideCursor();
    if (!written) {
        m_cancelled = false;
        ShowFailure(error);
        return QString();
    }
    Report(0, 0, tr("Отчёт об изменениях записан: %1").arg(QDir::toNativeSeparators(path)));
    return path;
}

void MainWindow::showChangeReport()
{
    const QString path = WriteChangeReport();
    if (!path.isEmpty() && !QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        QMessageBox::information(this, tr("Отчёт об изменениях"),
                                 tr("Отчёт записан, но браузер не открылся: %1").arg(QDir::toNativeSeparators(path)));
    }
}

void MainWindow::removeDuplicates()
{
    const qint64 before = model.Root().GoodCount(true);
    if (!RunOnWorker(true, [&](IProgress *progress) { return model.RemoveDuplicates(progress); })) {
        ShowFailure(model.LastError(), model.Warnings());
        return;
    }
    Report(0, 0, tr("Выполнено, удалено дублей: %1").arg(before - model.Root().GoodCount(true)));
    ShowWarnings(model.Warnings());
}

// Project and data.

bool MainWindow::Ask(const QString &question)
{
    return QMessageBox::question(this, tr("Подтверждение"), question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No)
            == QMessageBox::Yes;
}

IDiscardQuestions::Answer MainWindow::AskToSaveChanges(const QString &fileName)
{
    QMessageBox box(QMessageBox::Question, tr("Несохранённые изменения"),
                    tr("В проекте %1 есть несохранённые изменения. Сохранить их?").arg(fileName),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        return Answer::Save;
    case QMessageBox::Discard:
        return Answer::Discard;
    default:
        return Answer::Cancel;
    }
}

bool MainWindow::AskToGoOn(const QString &question)
{
    return Ask(question);
}

bool MainWindow::ConfirmDiscard(const QString &question)
{
    if (m_session.ConfirmDiscard(question, *this))
        return true;
    if (!m_session.ErrorText().isEmpty()) {
        m_cancelled = false;
        ShowFailure(m_session.ErrorText());
    }
    return false;
}

void MainWindow::UpdateTitle()
{
    setWindowTitle(m_session.Title());
    setWindowModified(m_session.HasUnsavedChanges());
}

void MainWindow::Autosave()
{
    // A worker may be changing the catalogue; the next turn will do.
    if (findChild<ProgressDialog *>())
        return;
    if (!m_session.Autosave())
        Report(0, 0, tr("Автосохранение не удалось: %1").arg(m_session.ErrorText()));
}

void MainWindow::newProject()
{
    if (!ConfirmDiscard(tr("Начать новый проект? Офферы (%1) и их правила будут удалены.")
                                .arg(model.Offers().size())))
        return;
    clearAllViews();
    m_session.New();
    loadAllViews();
}

void MainWindow::clearData()
{
    if (!model.Sources().isEmpty()
        && !Ask(tr("Удалить все загруженные данные? Товаров: %1. Офферы и их правила останутся.")
                        .arg(model.Root().GoodCount(true))))
        return;
    clearAllViews();
    model.Clear(true);
    loadAllViews();
}

void MainWindow::loadProject()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Открыть проект"), QString(),
                                                      tr("Файл проекта Fidmora") + QLatin1String(" (*.fdm)"));
    if (!path.isEmpty() && ConfirmDiscard(QString()))
        OpenProject(path);
}

void MainWindow::OpenRecentProject(const QString &path)
{
    if (!QFileInfo::exists(path)) {
        RecentProjects::Remove(path);
        UpdateRecentMenu();
        QMessageBox::warning(this, tr("Проект не найден"),
                             tr("Файла проекта %1 больше нет; он убран из списка последних проектов.")
                                     .arg(QDir::toNativeSeparators(path)));
        return;
    }
    if (ConfirmDiscard(QString()))
        OpenProject(path);
}

void MainWindow::UpdateRecentMenu()
{
    QMenu *menu = ui->menu_recent;
    menu->clear();
    const QStringList paths = RecentProjects::List();
    for (int i = 0; i < paths.size(); ++i) {
        const QString &path = paths.at(i);
        // A digit for the keyboard, whatever the file is called; "&" in a
        // name is shown as written.
        QString name = QFileInfo(path).fileName();
        name.replace(QLatin1Char('&'), QLatin1String("&&"));
        QAction *action = menu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(name));
        action->setToolTip(QDir::toNativeSeparators(path));
        action->setStatusTip(QDir::toNativeSeparators(path));
        connect(action, &QAction::triggered, this, [this, path] { OpenRecentProject(path); });
    }
    menu->setEnabled(!paths.isEmpty());
}

void MainWindow::RememberProject(const QString &path)
{
    RecentProjects::Add(path);
    UpdateRecentMenu();
}

QString MainWindow::WithSuffix(const QString &path, const QString &suffix)
{
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty())
        return path;
    const QString dot = suffix.startsWith(QLatin1Char('.')) ? suffix : QLatin1Char('.') + suffix;
    // "name." asks for no suffix of its own either.
    return path.endsWith(QLatin1Char('.')) ? path + dot.mid(1) : path + dot;
}

QString MainWindow::ExamplesFolder()
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QStringList candidates = {
        programFolder + QLatin1String("/../share/fidmora/examples"),
        programFolder + QLatin1String("/examples"),
#ifdef FIDMORA_SOURCE_EXAMPLES
        QStringLiteral(FIDMORA_SOURCE_EXAMPLES),
#endif
    };
    for (const QString &folder : candidates) {
        if (QFileInfo::exists(folder + QLatin1String("/shop.fdm")))
            return QDir::cleanPath(folder);
    }
    return QString();
}

void MainWindow::openExample()
{
    const QString folder = ExamplesFolder();
    if (folder.isEmpty()) {
        ShowFailure(tr("Примеры не установлены вместе с программой"));
        return;
    }
    if (ConfirmDiscard(QString()))
        OpenExample(folder);
}

void MainWindow::OpenExample(const QString &folder)
{
    // The project is copied beside the autosave: saving it must not write
    // into the installed examples, nor change the source tree's.
    const QString copy = QFileInfo(m_session.AutosavePath()).dir().filePath(QStringLiteral("example.fdm"));
    QFile::remove(copy);
    if (!QFile::copy(QDir(folder).filePath(QStringLiteral("shop.fdm")), copy)) {
        m_cancelled = false;
        ShowFailure(tr("Пример не скопирован в %1").arg(QDir::toNativeSeparators(copy)));
        return;
    }
    QFile::setPermissions(copy, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    OpenProject(copy);
    if (m_session.ProjectPath() != copy)
        return;
    AddFiles({QDir(folder).filePath(QStringLiteral("feed.csv"))}, false);
    AddFiles({QDir(folder).filePath(QStringLiteral("base.csv"))}, true);
}

void MainWindow::OpenProject(const QString &path)
{
    bool letGo = false;
    const bool ok = m_session.Open(path, [this, &letGo] {
        clearAllViews();
        letGo = true;
    });
    if (letGo)
        loadAllViews();
    if (!ok) {
        m_cancelled = false;
        ShowFailure(m_session.ErrorText());
        return;
    }
    RememberProject(path);
    const int sources = model.SourceRecords().size();
    if (sources > 0 && Ask(tr("Загрузить источники проекта снова (%1)?").arg(sources)))
        reloadSources();
}

void MainWindow::reloadSources()
{
    if (model.SourceRecords().isEmpty()) {
        Report(0, 0, tr("В проекте нет источников: загрузите фиды и базы, и проект их запомнит"));
        return;
    }
    // A site's password the project does not keep is asked for now, before
    // the work starts: the loads run on the worker, where nothing is asked.
    QHash<QString, QString> passwords;
    for (const SourceRecord &source : model.SourceRecords()) {
        if (source.kind != SourceRecord::Site || passwords.contains(source.location))
            continue;
        if (source.location == Model::WithoutPassword(model.Option(Schema::Option::ModxHost))
                && model.Options().contains(Schema::Option::ModxPassword)) {
            passwords.insert(source.location, model.Option(Schema::Option::ModxPassword));
            continue;
        }
        bool given = false;
        const QString password =
                QInputDialog::getText(this, tr("Пароль сайта"), tr("Пароль для сайта %1:").arg(source.Shown()),
                                      QLineEdit::Password, QString(), &given);
        if (!given)
            return;
        passwords.insert(source.location, password);
    }
    const auto password = [&passwords](const SourceRecord &source) { return passwords.value(source.location); };
    ShowOutcome(RunOnWorker(true, [&](IProgress *progress) { return model.LoadSources(progress, &filter, password); }));
    UpdateTitle();
}

void MainWindow::saveProject()
{
    if (m_session.ProjectPath().isEmpty())
        saveProjectAs();
    else
        SaveProjectAs(m_session.ProjectPath());
}

void MainWindow::saveProjectAs()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Сохранить проект как"), m_session.ProjectPath(),
                                                      tr("Файл проекта Fidmora") + QLatin1String(" (*.fdm)"));
    if (!path.isEmpty())
        SaveProjectAs(WithSuffix(path, QStringLiteral("fdm")));
}

bool MainWindow::SaveProjectAs(const QString &path)
{
    if (!m_session.SaveAs(path)) {
        m_cancelled = false;
        ShowFailure(m_session.ErrorText());
        return false;
    }
    UpdateTitle();
    if (!path.isNull())
        RememberProject(path);
    const QString file = path.isNull() ? m_session.AutosavePath() : path;
    Report(0, 0, tr("Проект сохранён в файл %1").arg(QDir::toNativeSeparators(file)));
    return true;
}
