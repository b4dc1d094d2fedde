#pragma once

#include <QCoreApplication>

#include <utility>
#include <vector>

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include "bytemap.h"
#include "changedgoods.h"
#include "commongoodinfo.h"
#include "comparedcells.h"
#include "csvrowstream.h"
#include "digestmap.h"
#include "goodidentity.h"
#include "identitykey.h"
#include "rowhash.h"

class ICatalogue;
class IProgress;
struct CatModel;
struct Good;
struct IdTemplate;
struct Offer;
struct Source;

// The core load of one source into the model, as data or as base. Rows are
// filed into a temporary tree through their offer's category rules and the
// tree is merged into the model's at the end. A base load matches every row
// against the goods already loaded by identity key: identical goods leave
// the catalogue, differing ones become changed, rows only in the base stay
// as deleted goods. Used only from Model on the operation's thread: the
// loader changes the catalogue's tree and offers, and hands back what the
// model keeps of the load (its counts, warnings and error) as a Result.
class FeedLoader
{
    Q_DECLARE_TR_FUNCTIONS(FeedLoader)

public:
    struct Result
    {
        bool finished = false; // the source's goods are in the catalogue
        QString error;         // why not, when not
        QStringList warnings;  // what the load left out or noticed, in order
        qint64 skippedRows = 0;
        qint64 invalidUtf8Rows = 0;
        qint64 withoutCategory = 0; // rows left out for an empty category cell
        // A base load: its rows but for repeats, the repeats, and the rows
        // matched or left deleted by offer.
        qint64 baseRows = 0;
        qint64 baseRepeats = 0;
        QHash<const Offer *, qint64> baseGoodsOfOffer;
        // A base load: the goods it found changed, with the row that did, and
        // how many goods it found identical (which left the catalogue), in
        // all and by offer, and how many of its rows stay as deleted goods.
        std::vector<ChangedGoods::Entry> changed;
        qint64 unchanged = 0;
        qint64 deleted = 0;
        QHash<const Offer *, qint64> unchangedOfOffer;
    };

    FeedLoader(ICatalogue &catalogue, bool isBase, IProgress *progress);
    ~FeedLoader();

    // Before a base load, while the source is not yet in the model's list:
    // removes the duplicates of the tree and learns the keys (and compared
    // cells) of the goods that remain.
    void PrepareBase(const Source &base);
    // Loads the source, which must already be in the model's list. A load
    // that does not finish leaves the catalogue as it was.
    Result Run(Source *source);

private:
    FeedLoader(const FeedLoader &) = delete;
    FeedLoader &operator=(const FeedLoader &) = delete;

    struct RowCells;
    struct PreparedRows;
    class Preparer;
    class RowDigester;
    struct RawCells;

    bool LoadRows(RawCells &cells);
    void LoadRow(const RawCells &cells, qint64 offset);
    void FetchAhead(const RawCells &cells);
    // A base batch's keys looked up among the loaded goods' keys.
    void LookUpKeys(PreparedRows &prepared);
    // Room for the rows to come, from the first batch.
    void ReserveForRows(const RawCells &cells);
    // Puts the goods made by the rows into their categories' lists.
    void FileGoods();
    // What a base row was found to be.
    enum class BaseMatch {
        Alone,   // its key is in no loaded good: it stays as a deleted good
        Matched, // it marked the loaded good of its key identical or changed
        Repeat   // a row before it in the base had its key already
    };
    // *key is the row's key when *keyed: a deleted good is kept under it.
    BaseMatch MatchBase(const Good &candidate, const RawCells &cells, RowHash *key, bool *keyed);
    // Whether the base row holds the same text as the loaded good in every
    // compared column. With columns, every differing column is looked at
    // and marked there (ChangedGoods::ColumnBit of the base's column).
    bool SameAsLoaded(const Good &existing, const DigestMap::Entry *found, const RawCells &cells,
                      quint64 *columns = nullptr);

    Offer *OfferOfFile(const QStringList &firstRow);
    struct ColumnPairs
    {
        ComparedCells base;  // columns of the base source...
        ComparedCells other; // ...and the same-named ones of a loaded source
    };
    const ColumnPairs &PairsWith(const Source *other);
    void Finish();
    // Puts back what the load changed in the catalogue before it stopped.
    void Revert();
    Offer *Touch(Offer *offer);
    void WarnOfRepeatedColumns();
    // "строки 3, 17, …" for the rows that begin at these offsets.
    QString LineList(const std::vector<qint64> &offsets, qint64 skipped) const;

    // The load as far as it went, with what PrepareBase() noticed.
    Result Failed(const QString &error);

    ICatalogue &m_catalogue;
    Result m_result;
    bool m_isBase;
    IProgress *m_progress;
    Source *m_source = nullptr;
    CatModel *m_newTree = nullptr;
    Offer *m_fileOffer = nullptr;
    int m_rowCount = 0;
    qint64 m_withoutCategory = 0; // rows left out for an empty category cell
    bool m_readFailed = false; // the feed shrank while it was read
    int m_offerCount = 0; // offers of the model before the load

    struct OfferSnapshot
    {
        bool hasGoods = false;
        QSet<QString> categories;
        QSet<QString> droppedCategories;
        CommonGoodInfo priceInfo;
    };
    QHash<Offer *, OfferSnapshot> m_snapshots;
    std::vector<std::pair<Good *, qint32>> m_statusChanges; // base goods marked, and their status before
    std::vector<Good *> m_unfiled; // goods made, in the rows' order, not yet in their categories' lists
    std::vector<ChangedGoods::Entry> m_changed;             // goods marked changed, with the base row that did

    // The texts of the category, offer and vendor cells met in this load, by
    // their numbers (given on the stream's thread for a base, on this one for
    // a data load), and what they were found to be: nodes by offer (one
    // offer for a feed of one offer), offers, vendors.
    QStringList m_categoryTexts;
    QStringList m_offerTexts;
    QStringList m_vendorTexts;
    // A data load numbers its categories and offers on this thread, by these.
    ByteMap<int> m_categoryNumbers;
    ByteMap<int> m_offerNumbers;
    ByteMap<int> m_vendorNumbers;
    // The node of a category of an offer, and the goods this load filed there.
    struct NodeOf
    {
        CatModel *node;
        qint32 goods;
    };
    std::vector<std::vector<NodeOf>> m_nodes;
    std::vector<Offer *> m_offerOf;
    std::vector<const QString *> m_vendorOf;
    QByteArray m_scratch;
    const IdTemplate *m_templates[GoodIdentity::DefaultCount] = {};
    // What a data good's digests are made with (its cells' only when the
    // stream left them).
    IdTemplate m_byUrlTemplate;
    const IdTemplate *m_byUrl = nullptr;
    IdentityKey::Columns m_urlColumns;
    ComparedCells m_wholeRow;

    // Base load state.
    QStringList m_baseHeader;
    int m_baseCategoryColumn = -1;
    // The keys of the loaded goods, each marked once a base row met it.
    DigestMap m_keyMap;
    // The keys of this base's deleted goods, which a later row repeats. A
    // table of their own: a base of new goods does not grow the loaded
    // goods' table and its cells.
    DigestMap m_deletedKeys;
    qint64 m_repeats = 0; // base rows whose key a row before them had
    // Base rows matched or left deleted, by offer (as m_nodes is indexed).
    std::vector<qint64> m_baseGoods;
    QHash<const Source *, ColumnPairs> m_pairs;
    // The sources whose goods' compared cells are digested whole: a base
    // row found the same by its digest is identical to their goods.
    QSet<const Source *> m_wholeSources;
    QSet<CatModel *> m_touched; // categories holding goods found identical
    QByteArray m_offerUtf8;
    const Offer *m_offerOfUtf8 = nullptr;
};
