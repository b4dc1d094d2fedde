#pragma once

#include <unordered_map>

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

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
public:
    FeedLoader(Model &model, bool isBase, IProgress *progress);
    ~FeedLoader();

    // Loads the source, which must already be in the model's list. A base
    // load matches rows through keyMap (identity key -> loaded good).
    bool Run(Source *source, QHash<QString, Good *> keyMap = QHash<QString, Good *>());

private:
    FeedLoader(const FeedLoader &) = delete;
    FeedLoader &operator=(const FeedLoader &) = delete;

    template<typename Cells>
    bool LoadRows(Cells &cells);
    template<typename Cells>
    bool LoadRow(const Cells &cells, qint64 offset);
    template<typename Cells>
    void MatchBase(Good *good, const Cells &cells);

    Offer *OfferOfFile(const QStringList &firstRow);
    Offer *RowOffer(const QByteArray &cell, const QString &text);
    const QVector<QPair<int, int>> &ColumnPairs(const Source *other);
    void Finish();

    Model &m_model;
    bool m_isBase;
    IProgress *m_progress;
    Source *m_source = nullptr;
    CatModel *m_newTree = nullptr;
    Offer *m_fileOffer = nullptr;
    int m_rowCount = 0;

    // Caches of one load, keyed by the cells' raw bytes.
    QHash<QByteArray, Offer *> m_offers;
    QHash<QByteArray, const QString *> m_vendorCache;
    Offer *m_lastOffer = nullptr;
    QHash<QByteArray, CatModel *> *m_lastNodes = nullptr;
    std::unordered_map<Offer *, QHash<QByteArray, CatModel *>> m_nodes; // values keep their addresses
    const IdTemplate *m_templates[4] = {nullptr, nullptr, nullptr, nullptr};

    // Base load state.
    QHash<QString, Good *> m_keyMap;
    QHash<const Source *, QVector<QPair<int, int>>> m_pairs;
    QVector<CatModel *> m_touched;
};
