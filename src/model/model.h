#pragma once

#include "catmodel.h"
#include "changedgoods.h"
#include "ftpuploader.h"
#include "icatalogue.h"
#include "offer.h"
#include "source.h"
#include "sourcerecord.h"
#include "stablelist.h"
#include "temporaryfolder.h"
#include "vendorregistry.h"

#include <functional>

#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <QStringList>

class Filter;
class IProgress;
class IWriter;

// The catalogue: the loaded feeds (sources), the category tree with the
// goods, the offers with their rules and the option store of the project.
// It lives on the interface thread; its long operations run on one worker
// thread at a time while the views are detached, and take no locks.
// Operations report failure by their result and show nothing themselves;
// LastError() then tells what failed, for the command line and the log.
// The catalogue's own parts reach it through ICatalogue.
class Model final : public QObject, public ICatalogue
{
    Q_OBJECT

public:
    explicit Model(QObject *parent = nullptr);
    ~Model() override;

    CatModel &Root() override { return m_root; }
    const CatModel &Root() const override { return m_root; }
    StableList<Source> &Sources() { return m_sources; }
    const StableList<Source> &Sources() const { return m_sources; }
    StableList<Offer> &Offers() override { return m_offers; }
    const StableList<Offer> &Offers() const override { return m_offers; }
    const QMap<QString, Offer *> &OfferIndex() const override { return m_offerIndex; }
    VendorRegistry &Vendors() override { return m_vendors; }

    Offer *FindOrCreateOffer(const QString &key) override;
    void IndexOffer(const QString &key, Offer *offer) override;
    // Indexes an edited offer under its name, prefix and site address.
    void IndexEditedOffer(Offer *offer);
    void RemoveOffersFrom(int first) override;

    QString Option(const QString &key, const QString &defaultValue = QString()) const override;
    void SetOption(const QString &key, const QString &value) override;
    void RemoveOption(const QString &key) override;
    QStringList ArrayOption(const QString &key) const override;
    void SetArrayOption(const QString &key, const QStringList &values) override;
    void AppendArrayOption(const QString &key, const QString &value) override;
    void RemoveOptionsUnder(const QString &prefix) override;
    const QMap<QString, QString> &Options() const override { return options; }
    const QMap<QString, QStringList> &ArrayOptions() const override { return arrayOptions; }

    // The loads the project remembers, in order: every load that brought its
    // source into the catalogue (files, addresses, sites, offers' feeds; as
    // data or as base). A source taken out again leaves the list: an
    // offer's unloaded feed, and all of them when the data is cleared.
    QList<SourceRecord> &SourceRecords() override { return m_sourceRecords; }
    const QList<SourceRecord> &SourceRecords() const override { return m_sourceRecords; }
    // The password of a remembered site load (the list never keeps one).
    using SitePassword = std::function<QString(const SourceRecord &source)>;
    // Clears the goods and loads every remembered source again in its
    // order: files are read again, addresses and offers' feeds downloaded
    // again, sites read again. A file that is gone, or an offer no longer in
    // the project, is named in a warning and passed over (MissingSources());
    // the first load that fails or is cancelled stops the rest and leaves
    // the catalogue as that failed load leaves it, with the sources before
    // it. The list itself stays whole. A filter given is stored in the
    // options first and read back onto the new tree before the loads, so
    // that it names the same categories afterwards. Without a password
    // function a site's password is the one the project keeps for it.
    bool LoadSources(IProgress *progress = nullptr, Filter *filter = nullptr,
                     const SitePassword &sitePassword = SitePassword());
    // The address with the password of its user part left out, as a site
    // is remembered.
    static QString WithoutPassword(const QString &address);
    // Follows an offer's new name in the remembered loads of its feed.
    void RenameOfferSources(const QString &oldName, const QString &newName);
    // The sources the last LoadSources() passed over, as messages name them.
    QStringList MissingSources() const { return m_missingSources; }

    // A path for a new file in the model's own temporary folder (removed
    // with the model): the base name, "_", a number, the suffix.
    QString TemporaryPath(const QString &baseName, const QString &suffix);

    // The core load of every source: maps the rows of the source's reader
    // into goods, as data or as base. The source needs reader, name and path.
    bool LoadFromReader(Source source, bool isBase, IProgress *progress = nullptr);
    bool RemoveDuplicates(IProgress *progress = nullptr);

    // The one save core: writes the selected goods through a writer.
    bool WriteGoods(IWriter *writer, const QStringList &header, bool writeHeader, const CatModel *category,
                    const Filter *filter, IProgress *progress, bool recursive);
    // The same into a CSV file, which takes its rows as bytes.
    bool WriteGoods(CsvManipulator *writer, const QStringList &header, bool writeHeader, const CatModel *category,
                    const Filter *filter, IProgress *progress, bool recursive);
    QStringList CollectHeader(const CatModel *category, const Filter *filter, bool recursive);

    // The project: offers with their rules and the option store. A null path
    // is the autosave file. Saving replaces the file whole or not at all.
    bool SaveProject(const QString &path = QString(), QString *error = nullptr) const;
    // Adds the project to what the model holds; false when the file is
    // missing, unreadable or malformed (what was read before an error stays).
    bool LoadProject(const QString &path = QString());
    // "last.fdm" beside the program when it runs from its build tree, else
    // in the user's application data folder.
    static QString DefaultProjectPath();
    void StoreFilter(const QString &prefix, const Filter &filter);
    // Adds the offers of a project document, all or nothing: a document
    // that cannot be read whole changes nothing. Only offers are taken;
    // options in the document (a filter, a site's connection) are left as
    // they were. *added counts the offers created, *present those the
    // document named that the model already had.
    bool MergeOffers(const QString &path, int *added, int *present);

    bool LoadOffer(Offer *offer, IProgress *progress = nullptr);
    bool LoadAllOffers(IProgress *progress = nullptr);
    bool ReloadOffer(Offer *offer, IProgress *progress = nullptr);
    bool UnloadOffer(Offer *offer, IProgress *progress = nullptr);
    // Files the offer's goods again under its rules, as edited, without
    // reading the feeds again: goods move to the categories the rules now
    // give them, or go when the rules leave them out (counted in a
    // warning). A cancel leaves the catalogue as it was.
    bool ReapplyRules(Offer *offer, IProgress *progress = nullptr);
    bool DeleteOffer(Offer *offer, IProgress *progress = nullptr);
    void DeleteUnusedOffers();

    // ExportToFtpServer with the transport's options: certificate and host
    // key checks, the SFTP key file, ~/.netrc.
    bool ExportToFtpServer(const QString &url, const FtpUploader::Options &options, bool byCats,
                           const QStringList *header, const Filter *filter, IProgress *progress);

    QString LastError() const { return m_lastError; }
    // What the last operation left out or noticed without failing, one
    // line each, and the malformed rows its loads passed over.
    QStringList Warnings() const { return m_warnings; }
    // The warnings, handed over once: the list is empty afterwards.
    QStringList TakeWarnings();
    qint64 SkippedRows() const { return m_skippedRows; }
    // Rows the last operation's loads read with bytes that are not UTF-8,
    // and the feeds they read from a copy converted from windows-1251.
    qint64 InvalidUtf8Rows() const { return m_invalidUtf8Rows; }
    int ReencodedFeeds() const { return m_reencodedFeeds; }
    // How much of the bases an export would delete on the site: the goods
    // marked deleted that pass the filter, against the rows read from every
    // base loaded. A feed that came back cut short or empty shows here as a
    // delta that deletes most of the site; an offer whose feed failed, as
    // an offer all of whose goods in the bases are deleted.
    struct DeleteShare
    {
        // An offer of which the export deletes every good the bases hold.
        struct WholeOffer
        {
            QString name;
            qint64 inBase = 0; // the bases' goods of the offer (all deleted)
            qint64 inData = 0; // the offer's goods the export adds or changes
        };
        qint64 deleted = 0;
        qint64 baseRows = 0;
        QList<WholeOffer> wholeOffers; // in the order of the offer list
        double Percent() const { return baseRows > 0 ? 100.0 * double(deleted) / double(baseRows) : 0.0; }
        // The deletion guard of exports: a delta that deletes more than
        // limit per cent of the bases is refused (or asked about); a limit
        // of 100 or more turns the guard off.
        bool Exceeds(double limit) const { return limit < 100 && Percent() > limit; }
    };
    DeleteShare DeletedShare(const Filter *filter) const;
    // Rows read by the base loads since the last Clear, but for repeats:
    // not 0 once the catalogue's goods carry the marks of a base.
    qint64 BaseRows() const { return m_baseRows; }
    // Base rows passed over since the last Clear because a row before them
    // in the base had the same identity key.
    qint64 BaseRepeats() const { return m_baseRepeats; }
    // Rows that no load took in for an empty category cell, since the last
    // Clear.
    qint64 RowsWithoutCategory() const { return m_withoutCategory; }

    // What each base load since the last Clear found, in load order.
    struct BaseSummary
    {
        QString name;
        qint64 rows = 0;      // rows read but for repeats
        qint64 repeats = 0;
        qint64 changed = 0;   // loaded goods it found changed
        qint64 unchanged = 0; // loaded goods it found identical, which left the catalogue
        qint64 deleted = 0;   // its rows that stay as deleted goods
    };
    const QList<BaseSummary> &BaseSummaries() const { return m_baseSummaries; }
    // The goods of an offer that the bases found identical (and which left
    // the catalogue), since the last Clear.
    qint64 UnchangedOfOffer(const Offer *offer) const { return m_unchangedOfOffer.value(offer); }
    // The base rows the changed goods were compared with.
    const ChangedGoods &Changes() const { return m_changes; }
    // The compared columns in which a changed good differs from its base
    // row; empty for any other good.
    QList<ChangedGoods::Difference> ChangesOf(const Good *good) const { return m_changes.Differences(good); }

    // The files the last save wrote, in order.
    QStringList SavedFiles() const { return m_savedFiles; }

public slots:
    bool AddFile(const QString &path, bool isBase = false, IProgress *progress = nullptr);
    bool AddUrl(const QString &url, bool isBase = false, IProgress *progress = nullptr, QString *tempFile = nullptr);
    // Copies every row a shop site holds into a temporary CSV file and loads
    // it as data or as base. A read that fails or is cancelled leaves the
    // catalogue as it was and removes the copy.
    bool LoadFromModxSite(const QString &host, const QString &login, const QString &password, bool isBase = false,
                          IProgress *progress = nullptr);
    // Writes the goods that pass the filter to a shop site in chunks, in the
    // site's columns; false when any row did not reach the site.
    bool SaveToModxSite(const QString &host, const QString &login, const QString &password,
                        const Filter *filter = nullptr, IProgress *progress = nullptr);
    bool SaveToFile(const QString &file, const CatModel *category = nullptr, const QStringList *header = nullptr,
                    const Filter *filter = nullptr, IProgress *progress = nullptr);
    bool SaveToFilesByCats(const QString &folder, const CatModel *category = nullptr,
                           const QStringList *header = nullptr, const Filter *filter = nullptr,
                           IProgress *progress = nullptr);
    // Saves the goods that pass the filter as CSV into a private temporary
    // folder and uploads them: into the file the address names, or with
    // byCats one file per category into the folder it names. The address
    // carries the user name and password, which no report or error shows.
    bool ExportToFtpServer(const QString &url, bool byCats = false, const QStringList *header = nullptr,
                           const Filter *filter = nullptr, IProgress *progress = nullptr);
    void Clear(bool onlyData);

private:
    Q_DISABLE_COPY(Model)

    // Clears the error of the operation it opens; the outermost of nested
    // operations also clears the warnings.
    class Operation
    {
    public:
        explicit Operation(Model *model);
        ~Operation();

    private:
        Model *m_model;
    };

    // Errors and warnings quote addresses: their passwords are masked here,
    // once for every caller.
    void SetError(const QString &text);
    template<typename Writer>
    bool Write(Writer *writer, const QStringList &header, bool writeHeader, const CatModel *category,
               const Filter *filter, IProgress *progress, bool recursive);
    void AddWarning(const QString &text);
    // Takes a source out of the list; one whose rows changed goods still
    // show is kept open aside until they are gone.
    void DropSource(Source *source);
    // Forgets the base rows of goods that left, and the bases kept for them.
    void SweepChanges();
    // The columns of a save that were not chosen: those of the goods'
    // feeds, and after a base the mark of what happened to each good.
    QStringList SavedColumns(const CatModel *category, const Filter *filter, bool recursive);
    // Loads a feed file; download, when given, is the file itself, which the
    // source then owns.
    bool LoadFile(const QString &path, bool isBase, IProgress *progress, OwnedFile download);
    void RemoveDownload(Offer *offer);
    void Remember(SourceRecord::Kind kind, bool isBase, const QString &location, const QString &login = QString());
    void ForgetOfferFeed(const Offer *offer);
    void ReleaseMappedPages() override;

    // First, so that it goes last: the sources read files in it.
    TemporaryFolder m_temporary;
    StableList<Source> m_sources;
    // Bases taken out of the list while changed goods still refer to their
    // rows: they stay open until those goods are gone.
    std::vector<std::unique_ptr<Source>> m_retiredSources;
    ChangedGoods m_changes;
    QList<BaseSummary> m_baseSummaries;
    QHash<const Offer *, qint64> m_unchangedOfOffer;
    CatModel m_root;
    StableList<Offer> m_offers;
    QMap<QString, Offer *> m_offerIndex;
    VendorRegistry m_vendors;
    // The option store: values and lists of values by key.
    QMap<QString, QString> options;
    QMap<QString, QStringList> arrayOptions;
    QString m_lastError;
    QStringList m_warnings;
    qint64 m_skippedRows = 0;
    qint64 m_invalidUtf8Rows = 0;
    int m_reencodedFeeds = 0;
    QStringList m_savedFiles;
    qint64 m_baseRows = 0; // rows read by the base loads since the last Clear, but for repeats
    qint64 m_baseRepeats = 0;
    // The goods each offer had in the bases loaded since the last Clear
    // (matched or deleted), against which an offer wholly deleted shows.
    QHash<const Offer *, qint64> m_baseGoodsOfOffer;
    qint64 m_withoutCategory = 0; // rows left out for having no category since then
    QList<SourceRecord> m_sourceRecords;
    QStringList m_missingSources;
    int m_depth = 0;
};
