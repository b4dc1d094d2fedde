#pragma once

#include <QCoreApplication>

#include <unordered_map>
#include <utility>
#include <vector>

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

#include "bytemap.h"
#include "commongoodinfo.h"
#include "comparedcells.h"
#include "csvrowstream.h"
#include "digestmap.h"
#include "goodidentity.h"
#include "rowhash.h"

class IProgress;
class Model;
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
// as deleted goods. Used only from Model on the operation's thread.
class FeedLoader
{
    Q_DECLARE_TR_FUNCTIONS(FeedLoader)

public:
    FeedLoader(Model &model, bool isBase, IProgress *progress);
    ~FeedLoader();

    // Before a base load, while the source is not yet in the model's list:
    // removes the duplicates of the tree and learns the keys (and compared
    // cells) of the goods that remain.
    void PrepareBase(const Source &base);
    // Loads the source, which must already be in the model's list.
    bool Run(Source *source);

private:
    FeedLoader(const FeedLoader &) = delete;
    FeedLoader &operator=(const FeedLoader &) = delete;

    // The rows of the stream, with what its thread worked out for them.
    struct RawCells;

    bool LoadRows(RawCells &cells);
    void LoadRow(const RawCells &cells, qint64 offset);
    // True when the base row matched a loaded good; the row then leaves no good.
    bool MatchBase(const Good &candidate, const RawCells &cells);

    Offer *OfferOfFile(const QStringList &firstRow);
    CsvRowStream::Preparer BaseRowPreparer() const;
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

    Model &m_model;
    bool m_isBase;
    IProgress *m_progress;
    Source *m_source = nullptr;
    CatModel *m_newTree = nullptr;
    Offer *m_fileOffer = nullptr;
    int m_rowCount = 0;
    int m_offerCount = 0; // offers of the model before the load

    struct OfferSnapshot
    {
        bool hasGoods = false;
        QSet<QString> categories;
        CommonGoodInfo priceInfo;
    };
    QHash<Offer *, OfferSnapshot> m_snapshots;
    std::vector<std::pair<Good *, qint32>> m_statusChanges; // base goods marked, and their status before

    // Caches of one load, keyed by the cells' raw bytes.
    ByteMap<Offer *> m_offers;
    ByteMap<const QString *> m_vendors;
    Offer *m_lastOffer = nullptr;
    ByteMap<CatModel *> *m_lastNodes = nullptr;
    std::unordered_map<Offer *, ByteMap<CatModel *>> m_nodes; // values keep their addresses
    QByteArray m_scratch;
    const IdTemplate *m_templates[GoodIdentity::DefaultCount] = {};

    // Base load state.
    QStringList m_baseHeader;
    int m_baseCategoryColumn = -1;
    DigestMap m_keyMap;
    QHash<const Source *, ColumnPairs> m_pairs;
    QVector<CatModel *> m_touched;
    int m_exactReads = 0;
    QByteArray m_offerUtf8;
    const Offer *m_offerOfUtf8 = nullptr;
};
