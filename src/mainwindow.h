#pragma once

#include "filter.h"
#include "interfacelanguage.h"
#include "iprogress.h"
#include "model.h"

#include <QMainWindow>
#include <QModelIndex>
#include <QStringList>

class GoodViewModel;
class QAbstractItemModel;
class QAbstractItemView;
class QPoint;
struct Offer;

namespace Ui {
class MainWindow;
}

// The program's one window over one catalogue. It owns the model and the
// filter that every view and export applies, shows the loaded files, the
// category tree, the offers and the goods, and runs every long command on a
// worker thread behind a modal progress dialog. Before a worker changes the
// catalogue the views let go of it (clearAllViews()), and they are rebuilt
// from it afterwards (loadAllViews()). Its own IProgress writes into the
// status bar, for short work on the interface thread.
class MainWindow : public QMainWindow, public IProgress
{
    Q_OBJECT

public:
    // A null project path opens the autosaved project.
    explicit MainWindow(QWidget *parent = nullptr, const QString *projectPath = nullptr);
    // Stores the filter and writes the autosave project.
    ~MainWindow() override;

    bool Report(int current, int max, const QString &msg) override;

    // The project named by the first argument after the program's name when
    // that file exists; otherwise a null string (the autosave opens).
    static QString ProjectArgument(const QStringList &arguments);

public slots:
    void openAddFilesDialog();
    void openAddBaseFilesDialog();
    void openAddUrlDialog();
    void openAddBaseUrlFialog();
    void openFtpExportDialog();
    void openModxExportDialog();
    void openModxImportDialog();
    void openModxImportBaseDialog();
    void save();
    void saveByCats();

    void deleteSelectedCat();
    void deleteAndExpandCat();
    void makeGhostCat();
    void catViewSelectionChanged(const QModelIndex &index);
    void showCategoryContextMenu(const QPoint &pos);

    void showOfferContextMenu(const QPoint &pos);
    void loadOfferFromMenu();
    void unloadOfferFromMenu();
    void deleteOfferFromMenu();
    void editOffer();
    void saveOffers();
    void loadAllOffersCsv();
    void loadOffersFromAdmitad();
    void deleteUnusedOffers();

    void viewGood(const QModelIndex &index);

    void clearGoodView();
    void loadGoodView();
    void clearOfferView();
    void loadOfferView();
    void clearAllViews();
    void loadAllViews();
    void refreshGoodView();

    void clearData();
    void newProject();
    void saveProject();
    void loadProject();
    void removeDuplicates();

protected:
    // What the commands do once the user has chosen files, an address, a
    // folder or a project: the choosers stay in the slots.
    void AddFiles(const QStringList &paths, bool isBase);
    void AddUrlFeed(const QString &url, bool isBase);
    void SaveAll(const QString &path, const QStringList &columns);
    void SaveByCategories(const QString &folder);
    void OpenProject(const QString &path);
    void SaveProjectAs(const QString &path);
    // Merges the offers of a document from the Admitad relay.
    void ImportOffers(const QString &path);

private:
    Q_DISABLE_COPY(MainWindow)

    // The file types the choosers of feeds offer.
    static QString FeedFileFilters();

    // Runs the operation on a worker behind the progress dialog and returns
    // its result; with changesCatalogue the views let go of the model first
    // and are rebuilt afterwards.
    template<typename Operation>
    bool RunOnWorker(bool changesCatalogue, Operation operation);
    // "Выполнено", or "Выполнено с ошибкой" with the model's reason.
    void ShowOutcome(bool ok);
    // Keeps the View menu's choice of language for the next start.
    void ChooseLanguage(InterfaceLanguage::Language language);
    // The offer of the current row of the offer list, or null.
    Offer *CurrentOffer();
    void AskForUrl(bool isBase);
    // Reads the site as data or as base through the site dialog.
    void RunModxImport(int mode);
    static void SetViewModel(QAbstractItemView *view, QAbstractItemModel *viewModel);
    static void DeleteViewModel(QAbstractItemView *view);

    Model model;
    Filter filter;
    Ui::MainWindow *ui;
    GoodViewModel *m_goodModel; // child of the window
    InterfaceLanguage::Language m_startLanguage; // the language chosen when the window was built
};
