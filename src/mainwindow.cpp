#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "addurldialog.h"
#include "admitadrelay.h"
#include "admitdezozavodialog.h"
#include "catmodel.h"
#include "categoryviewmodel.h"
#include "editofferdialog.h"
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

#include <QActionGroup>
#include <QDir>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>

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

const char kFilterPrefix[] = "filter";

// The first good of the subtree that the goods list shows: the list is
// filled by the filtered walk of the tree, so this is the same walk, stopped
// at its first good. Stopping matters: with a search text every good tested
// is a read of its row.
Good *FirstShownGood(const CatModel *category, const Filter &filter)
{
    if (!filter.uncheckedCategories.contains(category)) {
        if (!filter.IsActive()) {
            if (!category->goods.isEmpty())
                return category->goods.first();
        } else {
            for (Good *good : category->goods) {
                if (filter.Accepts(good))
                    return good;
            }
        }
    }
    for (const CatModel *child : category->children) {
        if (Good *good = FirstShownGood(child, filter))
            return good;
    }
    return nullptr;
}

} // namespace

MainWindow::MainWindow(QWidget *parent, const QString *projectPath)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
    , m_startLanguage(InterfaceLanguage::Chosen())
{
    InitResources();
    setWindowState(windowState() | Qt::WindowMaximized);
    ui->setupUi(this);

    model.LoadProject(projectPath ? *projectPath : QString());
    filter = Filter(model, QLatin1String(kFilterPrefix));

    ui->catTreeView->setHeaderHidden(true);

    m_goodModel = new GoodViewModel(this);
    ui->goodListView->setModel(m_goodModel);
    ui->goodListView->setItemDelegate(new GoodDelegate(ui->goodListView));

    connect(ui->goodListView, &QAbstractItemView::doubleClicked, this, &MainWindow::viewGood);
    connect(ui->catTreeView, &QAbstractItemView::clicked, this, &MainWindow::catViewSelectionChanged);
    connect(ui->catTreeView, &QWidget::customContextMenuRequested, this, &MainWindow::showCategoryContextMenu);
    connect(ui->offerListView, &QWidget::customContextMenuRequested, this, &MainWindow::showOfferContextMenu);
    connect(ui->offerListView, &QAbstractItemView::doubleClicked, this, &MainWindow::editOffer);

    connect(ui->project_new, &QAction::triggered, this, &MainWindow::newProject);
    connect(ui->project_open, &QAction::triggered, this, &MainWindow::loadProject);
    connect(ui->project_save, &QAction::triggered, this, &MainWindow::saveProject);
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

    loadAllViews();

    ui->filters->SetFilter(&filter, &model);
    connect(ui->filters, &FiltersLabel::flterUpdated, this, &MainWindow::loadAllViews);
}

MainWindow::~MainWindow()
{
    model.StoreFilter(QLatin1String(kFilterPrefix), filter);
    model.SaveProject();
    // The view models point into the catalogue, which dies before the views.
    clearAllViews();
    delete ui;
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
    RunWithProgress(this, false, [&](IProgress *progress) { ok = operation(progress); });
    if (changesCatalogue)
        loadAllViews();
    return ok;
}

void MainWindow::ShowOutcome(bool ok)
{
    if (ok) {
        Report(0, 0, tr("Выполнено"));
        return;
    }
    const QString reason = model.LastError();
    if (reason.isEmpty())
        Report(0, 0, tr("Выполнено с ошибкой"));
    else
        Report(0, 0, tr("Выполнено с ошибкой: %1").arg(reason));
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

Offer *MainWindow::CurrentOffer()
{
    const QModelIndex current = ui->offerListView->currentIndex();
    if (!current.isValid() || current.row() >= model.Offers().size())
        return nullptr;
    return &model.Offers()[current.row()];
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
    SetViewModel(ui->goodListView, nullptr);
    m_goodModel->ClearGoods();
    SetViewModel(ui->goodListView, m_goodModel);
}

void MainWindow::loadGoodView()
{
    clearGoodView();
    SetViewModel(ui->goodListView, nullptr);
    m_goodModel->Fill(&model.Root(), &filter);
    SetViewModel(ui->goodListView, m_goodModel);
    ui->statLabel->setText(tr("Категорий: %1. Товаров: %2")
                                   .arg(model.Root().CountWithGoods(&filter))
                                   .arg(m_goodModel->rowCount()));
    ui->filters->UpdateText();
}

void MainWindow::clearOfferView()
{
    DeleteViewModel(ui->offerListView);
}

void MainWindow::loadOfferView()
{
    clearOfferView();
    Report(0, 0, tr("Составление списка офферов..."));
    SetViewModel(ui->offerListView, new OfferViewModel(&model.Offers()));
}

void MainWindow::clearAllViews()
{
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
    const bool ok = RunOnWorker(true, [&](IProgress *progress) {
        for (const QString &path : paths) {
            if (!model.AddFile(path, isBase, progress))
                return false;
        }
        return true;
    });
    ShowOutcome(ok);
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
    const bool ok = RunOnWorker(true, [&](IProgress *progress) { return model.AddUrl(url, isBase, progress); });
    ShowOutcome(ok);
}

void MainWindow::openFtpExportDialog()
{
    // The export only reads the catalogue: the views stay.
    FtpExportDialog dialog(&model, &filter, this);
    dialog.exec();
}

// The site exchange: the dialog asks for the site and runs the operation
// itself, behind a progress log that stays open until the user closes it.

void MainWindow::openModxExportDialog()
{
    // Writing only reads the catalogue: the views stay.
    ModxExportDialog dialog(&model, ModxExportDialog::Export, &filter, this);
    dialog.exec();
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
    ModxExportDialog dialog(&model, mode, nullptr, this);
    connect(&dialog, &ModxExportDialog::beforeAction, this, &MainWindow::clearAllViews);
    connect(&dialog, &ModxExportDialog::afterAction, this, &MainWindow::loadAllViews);
    if (dialog.exec() == QDialog::Accepted) {
        Report(0, 0, tr("Выполнено"));
    } else if (dialog.LastError().isEmpty()) {
        Report(0, 0, tr("Выполнено с ошибкой"));
    } else {
        Report(0, 0, tr("Выполнено с ошибкой") % QLatin1String(": ") % dialog.LastError());
    }
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
        return AdmitadRelay::MergeOffers(model, path, &added, &present, &error);
    });
    if (ok) {
        Report(0, 0, tr("Офферы из Admitad загружены: новых %1, уже были в проекте %2").arg(added).arg(present));
    } else {
        Report(0, 0, tr("Выполнено с ошибкой") % QLatin1String(": ")
                       % tr("список офферов из Admitad не прочитан: %1").arg(error));
    }
}

// Export.

void MainWindow::save()
{
    const QStringList columns = model.CollectHeader(&model.Root(), &filter, true);
    QStringList selected;
    {
        ExportOptionsDialog dialog(columns, this);
        if (dialog.exec() != QDialog::Accepted)
            return;
        selected = dialog.SelectedColumns();
    }
    const QString path = QFileDialog::getSaveFileName(this, tr("Сохранить всё в один файл"), QString(),
                                                      tr("Файл c данными") + QLatin1String(" (*.csv)"));
    if (!path.isEmpty())
        SaveAll(path, selected);
}

void MainWindow::SaveAll(const QString &path, const QStringList &columns)
{
    // Saving only reads the catalogue: the views stay.
    const bool ok = RunOnWorker(false, [&](IProgress *progress) {
        return model.SaveToFile(path, &model.Root(), &columns, &filter, progress);
    });
    if (!ok)
        ShowOutcome(false);
}

void MainWindow::saveByCats()
{
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
    if (!ok)
        ShowOutcome(false);
}

// Offers.

void MainWindow::loadAllOffersCsv()
{
    ShowOutcome(RunOnWorker(true, [&](IProgress *progress) { return model.LoadAllOffers(progress); }));
}

void MainWindow::deleteUnusedOffers()
{
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
    const bool reload = dialog.ApplyToOffer();
    model.IndexEditedOffer(offer);
    if (!reload) {
        // The lists read the offer's name and address as they paint.
        ui->offerListView->viewport()->update();
        ui->goodListView->viewport()->update();
        return;
    }
    if (offer->exportFile.isEmpty() && offer->exportUrl.isEmpty()) {
        // Its goods came from files the user added: unloading them now would
        // lose them, with nothing to load them from again.
        Report(0, 0, tr("Новые правила оффера применятся, когда его файл загрузят снова"));
        return;
    }
    RunOnWorker(true, [&](IProgress *progress) { return model.ReloadOffer(offer, progress); });
    // The reload itself always answers true; the load inside it leaves its
    // reason when it failed.
    ShowOutcome(model.LastError().isEmpty());
}

void MainWindow::loadOfferFromMenu()
{
    Offer *offer = CurrentOffer();
    if (!offer || offer->exportUrl.isEmpty() || offer->exportLoaded)
        return;
    ShowOutcome(RunOnWorker(true, [&](IProgress *progress) { return model.LoadOffer(offer, progress); }));
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
    ShowOutcome(RunOnWorker(true, [&](IProgress *progress) { return model.DeleteOffer(offer, progress); }));
}

void MainWindow::showOfferContextMenu(const QPoint &pos)
{
    QListView *view = ui->offerListView;
    QMenu menu(tr("Действия"), this);
    const QModelIndex current = view->currentIndex();
    if (current.isValid() && current.row() < model.Offers().size() && view->visualRect(current).contains(pos)) {
        const Offer &offer = model.Offers().at(current.row());
        if (!offer.exportUrl.isEmpty() && !offer.exportLoaded)
            menu.addAction(tr("Загрузить CSV оффера"), this, &MainWindow::loadOfferFromMenu);
        if (offer.hasGoods)
            menu.addAction(tr("Выгрузить товары оффера"), this, &MainWindow::unloadOfferFromMenu);
        menu.addAction(tr("Редактировать оффера"), this, &MainWindow::editOffer);
        menu.addAction(tr("Удалить оффера"), this, &MainWindow::deleteOfferFromMenu);
        menu.addSeparator();
    }
    menu.addAction(tr("Загрузить CSV всех офферов"), this, &MainWindow::loadAllOffersCsv);
    menu.addAction(tr("Загрузить офферов из Admitad"), this, &MainWindow::loadOffersFromAdmitad);
    menu.addAction(tr("Удалить неиспользуемых офферов"), this, &MainWindow::deleteUnusedOffers);
    menu.addAction(tr("Сохранить офферов"), this, &MainWindow::saveOffers);
    menu.exec(view->viewport()->mapToGlobal(pos));
}

// Categories and goods.

void MainWindow::catViewSelectionChanged(const QModelIndex &index)
{
    auto *categories = qobject_cast<CategoryViewModel *>(ui->catTreeView->model());
    if (!index.isValid() || !categories)
        return;
    const QModelIndex row = m_goodModel->IndexOfGood(FirstShownGood(categories->NodeAt(index), filter));
    if (row.isValid())
        ui->goodListView->scrollTo(row, QAbstractItemView::PositionAtTop);
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
    menu.addAction(categories->NodeAt(current)->ghost ? tr("Сделать реальной") : tr("Сделать призрачной"), this,
                   &MainWindow::makeGhostCat);
    menu.addAction(tr("Удалить категорию"), this, &MainWindow::deleteSelectedCat);
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
}

void MainWindow::deleteSelectedCat()
{
    auto *categories = qobject_cast<CategoryViewModel *>(ui->catTreeView->model());
    const QModelIndex current = ui->catTreeView->currentIndex();
    if (!categories || !current.isValid())
        return;
    // The goods list lets go of the goods before they are destroyed.
    clearGoodView();
    categories->removeRows(current.row(), 1, current.parent());
    loadGoodView();
}

void MainWindow::deleteAndExpandCat()
{
    deleteSelectedCat();
}

void MainWindow::viewGood(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    Good *good = index.data(Qt::DisplayRole).value<Good *>();
    if (!good)
        return;
    GoodViewDialog dialog(good, this);
    dialog.exec();
}

void MainWindow::removeDuplicates()
{
    ShowOutcome(RunOnWorker(true, [&](IProgress *progress) { return model.RemoveDuplicates(progress); }));
}

// Project and data.

void MainWindow::newProject()
{
    clearAllViews();
    model.Clear(false);
    filter = Filter();
    loadAllViews();
}

void MainWindow::clearData()
{
    clearAllViews();
    model.Clear(true);
    loadAllViews();
}

void MainWindow::loadProject()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Добавить файлы"), QString(),
                                                      tr("Файл проекта Fidmora") + QLatin1String(" (*.fdm)"));
    if (!path.isEmpty())
        OpenProject(path);
}

void MainWindow::OpenProject(const QString &path)
{
    // A project that cannot be read leaves the one open as it is.
    Model probe;
    if (!probe.LoadProject(path)) {
        Report(0, 0, tr("Выполнено с ошибкой: %1").arg(probe.LastError()));
        return;
    }
    clearAllViews();
    model.Clear(false);
    const bool ok = model.LoadProject(path);
    filter = Filter(model, QLatin1String(kFilterPrefix));
    loadAllViews();
    if (!ok)
        ShowOutcome(false);
}

void MainWindow::saveProject()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("Сохранить проект"), QString(),
                                                      tr("Файл проекта Fidmora") + QLatin1String(" (*.fdm)"));
    if (!path.isEmpty())
        SaveProjectAs(path);
}

void MainWindow::SaveProjectAs(const QString &path)
{
    model.StoreFilter(QLatin1String(kFilterPrefix), filter);
    if (!model.SaveProject(path)) {
        const QString file = path.isNull() ? Model::DefaultProjectPath() : path;
        Report(0, 0, tr("Не удалось сохранить проект в файл %1").arg(QDir::toNativeSeparators(file)));
    }
}
