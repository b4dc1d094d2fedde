#pragma once

#include "catmodel.h"
#include "offer.h"
#include "source.h"
#include "vendorregistry.h"

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
class Model final : public QObject
{
    Q_OBJECT

public:
    explicit Model(QObject *parent = nullptr);
    ~Model() override;

    CatModel &Root() { return m_root; }
    const CatModel &Root() const { return m_root; }
    QList<Source> &Sources() { return m_sources; }
    QList<Offer> &Offers() { return m_offers; }
    const QList<Offer> &Offers() const { return m_offers; }
    QMap<QString, Offer *> &OfferIndex() { return m_offerIndex; }
    VendorRegistry &Vendors() { return m_vendors; }

    // The offer indexed under the key, created (named by the key) when none is.
    Offer *FindOrCreateOffer(const QString &key);
    void IndexOffer(const QString &key, Offer *offer);
    // Indexes an edited offer under its name, prefix and site address.
    void IndexEditedOffer(Offer *offer);

    QString Option(const QString &key, const QString &defaultValue = QString()) const;
    void SetOption(const QString &key, const QString &value);
    QStringList ArrayOption(const QString &key) const;
    void SetArrayOption(const QString &key, const QStringList &values);
    void AppendArrayOption(const QString &key, const QString &value);

    // The core load of every source: maps the rows of the source's reader
    // into goods, as data or as base. The source needs reader, name and path.
    bool LoadFromReader(Source source, bool isBase, IProgress *progress = nullptr);
    bool RemoveDuplicates(IProgress *progress = nullptr);

    // The one save core: writes the selected goods through a writer.
    bool WriteGoods(IWriter *writer, const QStringList &header, bool writeHeader, const CatModel *category,
                    const Filter *filter, IProgress *progress, bool recursive);
    QStringList CollectHeader(const CatModel *category, const Filter *filter, bool recursive);

    // The project: offers with their rules and the option store. A null path
    // is the autosave file. Saving replaces the file whole or not at all.
    bool SaveProject(const QString &path = QString()) const;
    // Adds the project to what the model holds; false when the file is
    // missing, unreadable or malformed (what was read before an error stays).
    bool LoadProject(const QString &path = QString());
    static QString DefaultProjectPath();
    void StoreFilter(const QString &prefix, const Filter &filter);

    bool LoadOffer(Offer *offer, IProgress *progress = nullptr);
    bool LoadAllOffers(IProgress *progress = nullptr);
    bool ReloadOffer(Offer *offer, IProgress *progress = nullptr);
    bool UnloadOffer(Offer *offer, IProgress *progress = nullptr);
    bool DeleteOffer(Offer *offer, IProgress *progress = nullptr);
    void DeleteUnusedOffers();

    QString LastError() const { return m_lastError; }
    // What the last operation skipped or could not take as it stood; it
    // succeeded all the same. Cleared when an operation starts.
    QStringList Warnings() const { return m_warnings; }

    QMap<QString, QString> options;
    QMap<QString, QStringList> arrayOptions;

public slots:
    bool AddFile(const QString &path, bool isBase = false, IProgress *progress = nullptr);
    bool AddUrl(const QString &url, bool isBase = false, IProgress *progress = nullptr, QString *tempFile = nullptr);
    bool SaveToFile(const QString &file, const CatModel *category = nullptr, const QStringList *header = nullptr,
                    const Filter *filter = nullptr, IProgress *progress = nullptr);
    bool SaveToFilesByCats(const QString &folder, const CatModel *category = nullptr,
                           const QStringList *header = nullptr, const Filter *filter = nullptr,
                           IProgress *progress = nullptr);
    void Clear(bool onlyData);

private:
    Q_DISABLE_COPY(Model)

    friend class FeedLoader;

    void SetError(const QString &text) { m_lastError = text; }
    void AddWarning(const QString &text) { m_warnings.append(text); }
    void DropSource(Source *source);
    // Gives back the pages of the feeds that a walk over their rows read in.
    void ReleaseMappedPages();
    Offer *OfferOfFile(Source &source, const QStringList &firstRow);

    QList<Source> m_sources;
    CatModel m_root;
    QList<Offer> m_offers;
    QMap<QString, Offer *> m_offerIndex;
    VendorRegistry m_vendors;
    QString m_lastError;
    QStringList m_warnings;
};
