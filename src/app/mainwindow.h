#pragma once

#include "filter.h"
#include "goodsearch.h"
#include "idiscardquestions.h"
#include "interfacelanguage.h"
#include "iprogress.h"
#include "model.h"
#include "projectsession.h"

#include <QMainWindow>
#include <QModelIndex>
#include <QStringList>
#include <QTimer>

class GoodViewModel;
class QAbstractItemModel;
class QAbstractItemView;
class QCloseEvent;
class QPoint;
class QSortFilterProxyModel;
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
//
// The project (offers, rules, filter, settings) is autosaved into
// "last.fdm" on exit and every few minutes while it changes; a project
// opened from or saved into a file of its own shows that file in the title,
// with "*" while it has changes not saved there, and closing the window
// then asks. A project file that cannot be read is never written over. The
// project's life is its ProjectSession's; the window asks its questions.
class MainWindow : public QMainWindow, public IProgress, public IDiscardQuestions
{
    Q_OBJECT

public:
    static constexpr int kAutosaveMinutes = 3;

    // A null project path opens the autosaved project.
    explicit MainWindow(QWidget *parent = nullptr, const QString *projectPath = nullptr);
    // Stores the filter and writes the autosave project.
    ~MainWindow() override;

    bool Report(int current, int max, const QString &msg) override;
    Answer AskToSaveChanges(const QString &fileName) override;
    bool AskToGoOn(const QString &question) override;

    // The project named by the first argument after the program's name when
    // that file exists; otherwise a null string (the autosave opens).
    static QString ProjectArgument(const QStringList &arguments);
    // The name the user typed, with the suffix (".fdm", ".csv") added when
    // it has none of its own.
    static QString WithSuffix(const QString &path, const QString &suffix);
    // The folder of the examples that come with the program: installed
    // beside it, or the source tree's; empty when neither is there.
    static QString ExamplesFolder();

    // Where the autosave goes: "last.fdm", or a new file beside it when
    // "last.fdm" could not be read at start-up.
    QString AutosavePath() const { return m_session.AutosavePath(); }
    // The file of the project, or empty for the autosaved one.
    QString ProjectPath() const { return m_session.ProjectPath(); }

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
    // Writes the project into its own file, or asks for one when it has none.
    void saveProject();
    void saveProjectAs();
    void loadProject();
    // "Обновить всё": clears the goods and loads the project's sources again.
    void reloadSources();
    void openExample();
    void showAllCategories();
    void removeDuplicates();
    // "Отчёт об изменениях": writes the change report and opens it in the
    // system's browser.
    void showChangeReport();

    // Closes the window without asking about unsaved changes: the session
    // or the system is ending the program. The autosave still runs.
    void closeUnasked();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

    // What the commands do once the user has chosen files, an address, a
    // folder or a project: the choosers stay in the slots.
    void AddFiles(const QStringList &paths, bool isBase);
    void AddUrlFeed(const QString &url, bool isBase);
    void SaveAll(const QString &path, const QStringList &columns);
    void SaveByCategories(const QString &folder);
    void OpenProject(const QString &path);
    // A null path is the autosave file.
    bool SaveProjectAs(const QString &path);
    // Writes the change report into the project's folder (the user's
    // documents without a project file); its path, or empty on failure,
    // which is shown.
    QString WriteChangeReport();
    void OpenRecentProject(const QString &path);
    // Opens the example: its project (a copy, so that the example stays as
    // it came) with its feed as data and its base.
    void OpenExample(const QString &folder);
    // Merges the offers of a document from the Admitad relay.
    void ImportOffers(const QString &path);
    // The periodic autosave: writes the autosave file when the project
    // changed since the last one and no worker runs.
    void Autosave();

private:
    Q_DISABLE_COPY(MainWindow)

    // The file types the choosers of feeds offer.
    static QString FeedFileFilters();

    // Runs the operation on a worker behind the progress dialog and returns
    // its result; with changesCatalogue the views let go of the model first
    // and are rebuilt afterwards. Remembers whether the user cancelled.
    template<typename Operation>
    bool RunOnWorker(bool changesCatalogue, Operation operation);
    // "Выполнено" (with the rows a load skipped), or "Выполнено с ошибкой"
    // with the model's reason, which a message box repeats unless the user
    // cancelled; what the operation noticed without failing is shown too.
    // A load says how many goods it added (added >= 0).
    void ShowOutcome(bool ok, qint64 added = -1);
    void ShowDone(qint64 skipped, const QStringList &warnings, qint64 added = -1);
    void ShowFailure(const QString &reason, const QStringList &warnings = QStringList());
    void ShowWarnings(const QStringList &warnings);
    // Keeps the View menu's choice of language for the next start.
    void ChooseLanguage(InterfaceLanguage::Language language);
    // The offer of the current row of the offer list, or null.
    Offer *CurrentOffer();
    int OfferRow(const QModelIndex &viewIndex) const;
    void AskForUrl(bool isBase);
    // Reads the site as data or as base through the site dialog.
    void RunModxImport(int mode);
    void SetupKeyboard();
    static void SetViewModel(QAbstractItemView *view, QAbstractItemModel *viewModel);
    static void DeleteViewModel(QAbstractItemView *view);

    // The session's question before the project's offers and rules are
    // dropped; a save the user chose there that failed is shown. True to go on.
    bool ConfirmDiscard(const QString &question);
    bool Ask(const QString &question);
    void UpdateTitle();
    void UpdateRecentMenu();
    void RememberProject(const QString &path);
    // The empty state instead of the goods while nothing is loaded.
    void UpdateEmptyState();

    // The goods list: the search runs a slice at a time; once it is done,
    // the list shows the found goods of the chosen category and statuses.
    void StartSearch();
    void SearchStep();
    void ShowFound();
    void ApplySearchText();
    void ChooseStatus(QObject *button, bool checked);
    unsigned StatusMask() const;
    Model model;
    Filter filter;
    ProjectSession m_session;
    Ui::MainWindow *ui;
    QAction *m_reportAction = nullptr;    // "Отчёт об изменениях", child of the window
    GoodViewModel *m_goodModel;           // child of the window
    QSortFilterProxyModel *m_offerSorter = nullptr; // the offer list's model, owned by the view's upkeep
    InterfaceLanguage::Language m_startLanguage; // the language chosen when the window was built
    QTimer m_autosaveTimer;
    GoodSearch m_search;
    QTimer m_searchDelay;      // the search starts once the user stops typing
    QTimer m_searchSlices;     // the next slice of a running search
    CatModel *m_shownCategory = nullptr; // the category whose goods the list shows; null: all
    bool m_cancelled = false;    // the last worker was cancelled
    bool m_askOnClose = true;
    QAction *m_reloadSources = nullptr; // "Обновить всё", F5
};
