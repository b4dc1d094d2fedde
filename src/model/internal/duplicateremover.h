#pragma once

#include "comparedcells.h"
#include "digestmap.h"
#include "igoodqueryobject.h"
#include "rowhash.h"

#include <functional>
#include <mutex>
#include <vector>

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

class IProgress;
struct CatModel;
struct Good;
struct Offer;
struct Source;
class CsvRawRow;

// Removes every good whose identity key equals that of a good met earlier in
// a walk of the category tree: the first good met survives. One remover
// serves one run; afterwards seenKeys maps the digest of every key to its
// surviving good, which the base load uses to match base rows. Keys are
// compared by their 128-bit digests (see RowHash), so a million keys cost
// tens of megabytes instead of hundreds. A key that holds the good's unique
// number ("[p]") matches nothing and is not kept.
class DuplicateRemover final : public IGoodQueryObject
{
public:
    DuplicateRemover() = default;
    virtual ~DuplicateRemover() = default;

    // Walks the tree from root; false when a progress report asked to stop
    // (the walk still runs to its end).
    bool Run(CatModel *root, IProgress *progress);

    void AddGoods(const QList<Good *> &goods) override;
    void AddGood(Good *good) override;

    // For a base load: the cells of a source's rows that the base compares.
    // When set, every surviving good's entry in seenKeys also gets the digest
    // of those cells, read together with its key.
    std::function<const ComparedCells &(const Source *)> comparedCells;

    DigestMap seenKeys;
    IProgress *progress = nullptr;
    bool cancelled = false;
    qint32 processedCount = 0;
    // The goods removed as duplicates, for the run's caller to say.
    qint64 removedCount = 0;

private:
    struct Digests
    {
        RowHash key;
        RowHash cells;
        bool unique = false; // the key holds the good's own number
    };
    enum AheadFlags : uchar { kReady = 1, kUnique = 2 };

    // The digests of the goods of the walk, on both processors: those the
    // loads worked out, and for the others their rows read in the order of
    // their files (a walk in category order would jump around the files and
    // read each row on its own).
    void DigestAhead(const QList<Good *> &walk);
    void PrefetchDigests(const Good &good) const;
    // Marks every good of the walk whose key a good before it had, and
    // leaves the survivors in seenKeys; on both processors.
    void FindDuplicates(const QList<Good *> &walk);
    // What digesting rows needs for itself; one per thread.
    struct Context
    {
        const Offer *offer = nullptr;
        QByteArray offerUtf8;
        QByteArray scratch;
    };
    // The digests of a good from its row (null when it cannot be read).
    Digests DigestRow(Context &context, const Good *good, const CsvRawRow *raw,
                      const ComparedCells *compared) const;
    // Keeps the digests of the good at a place of the walk.
    void Store(size_t index, const Digests &digests);
    // The compared cells of the source a thread met last.
    struct CellsCache
    {
        const Source *source = nullptr;
        const ComparedCells *cells = nullptr;
    };
    // Keeps the digests the load worked out for the good, when they are
    // what is needed; false when its row must be read again.
    bool Digested(const Good *good, size_t index, CellsCache &cache);
    void ReportProgress();

    Context m_context;
    // The digests read ahead, in walk order: keys, compared cells (for a
    // base load only) and flags, in arrays of their own to spare memory.
    std::vector<RowHash> m_aheadKeys;
    std::vector<RowHash> m_aheadCells;
    std::vector<uchar> m_aheadFlags;
    // The goods of the walk found to be duplicates; each thread writes only
    // the places of its own keys.
    std::vector<uchar> m_duplicate;
    size_t m_next = 0;
    std::mutex m_cellsMutex; // around comparedCells while both threads digest
};
