#pragma once

#include "serialnumbered.h"

#include <functional>

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

class Filter;
class IGoodQueryObject;
struct Good;
struct Offer;
struct Source;

// A category node. It owns its child nodes and its goods, which it gives
// back to the arena that made them (GoodArena); destroying a node destroys
// its whole subtree with all goods in it. Children keep their
// insertion order. Every node has a serial number of its own, never reused,
// so that a set of categories cannot mistake a new node for a destroyed one
// allocated at the same address.
struct CatModel : SerialNumbered
{
    explicit CatModel(const QString &path);
    ~CatModel();

    CatModel *parent = nullptr;
    QList<CatModel *> children;
    QList<Good *> goods;
    QSet<Offer *> offers; // offers with goods directly in this node
    QString name;
    QString path;         // exported path: names of the non-ghost ancestors, then the name
    bool ghost = false;

    CatModel *Root();
    const CatModel *Root() const;
    // The first child with this name, or null.
    CatModel *FindChild(const QString &childName) const;
    void AppendChild(CatModel *child);

    // The node for a path below the root of this node's tree, created when
    // missing. A null or empty path stands for "No name"; a path of only "/"
    // is the root itself.
    CatModel *FindOrCreatePath(const QString &categoryPath);
    // Moves this node below a new parent, merging it with a same-named child
    // there level by level. Returns the node that holds the goods afterwards;
    // this node may have been destroyed.
    CatModel *MoveInto(CatModel *newParent);
    // Merges a load's temporary tree into this root: with two or more
    // top-level categories they go below a ghost node named after the offer.
    void MergeLoad(CatModel *newTree, const QString &offerName);

    void UpdatePath(bool recursive);
    void ToggleGhost();
    // Removes empty nodes of the subtree, bottom-up; the root stays.
    void Prune();
    void RemoveGoodsOfSource(const Source *source);
    void RemoveGoodsOfOffer(Offer *offer);
    void RebuildOffers(bool recursive);
    // Detaches the node from its parent and destroys it with its subtree.
    void Destroy();
    // Destroys every child and every good of this node.
    void Clear();
    // Empties the goods lists of the subtree without giving the goods back:
    // for a catalogue whose arena is about to free them all at once.
    void ForgetGoods();

    // Removes and destroys the goods of this node for which doomed(good) is
    // true, in one pass; the others keep their order.
    template<typename Predicate>
    int RemoveGoodsIf(Predicate doomed);

    QList<CatModel *> Ancestors(bool all) const;
    QList<CatModel *> Descendants(bool recursive) const;
    bool IsBelow(const CatModel *other) const;
    int GoodCount(bool recursive) const;
    Good *FirstGood() const;
    // The first good that a filtered walk of the subtree (QueryGoods) hands
    // out: the first good the goods list shows under this category. The
    // walk stops there, which matters with a search text, where every good
    // tested is a read of its row. A null filter lets every good pass.
    Good *FirstGood(const Filter *filter) const;
    int CountWithGoods(const Filter *filter = nullptr) const;
    // Names of the ancestors below the root and the node's own, joined by "/".
    QString NamePath() const;

    // Hands the goods of this node (and of its subtree when recursive) to
    // the query object: a category's own goods before its children's.
    void QueryGoods(IGoodQueryObject *query, const Filter *filter, bool recursive);

    // Keeps, in order, the nodes that are not below another node of the list.
    // A null entry stands for the whole tree: the result is the root alone.
    static QList<CatModel *> TopMost(const QList<CatModel *> &nodes, CatModel *root);

private:
    CatModel(const CatModel &) = delete;
    CatModel &operator=(const CatModel &) = delete;

    void DetachChild(CatModel *child);
    void UnindexChild(CatModel *child);
    // Prunes every child's subtree and drops the children left empty, in one pass.
    void PruneChildren();
    void RebuildChildIndex();
    void RemoveGoodsWhere(const std::function<bool(const Good *)> &doomed, Offer *offer);
    // Removes the matching goods of the subtree, dropping the children left
    // empty; false when this node is empty afterwards.
    bool RemoveGoodsBelow(const std::function<bool(const Good *)> &doomed, Offer *offer);
    void UpdatePath(const QString &prefix, bool recursive);
    static void DeleteGood(Good *good);

    // Children by name, kept once a node has many children; each name maps
    // to its first child.
    QHash<QString, CatModel *> m_childIndex;
    bool m_duplicateNames = false;
};

template<typename Predicate>
int CatModel::RemoveGoodsIf(Predicate doomed)
{
    int kept = 0;
    const int count = goods.size();
    for (int i = 0; i < count; ++i) {
        Good *good = goods.at(i);
        if (doomed(good)) {
            DeleteGood(good);
            continue;
        }
        if (kept != i)
            goods[kept] = good;
        ++kept;
    }
    const int removed = count - kept;
    if (removed > 0)
        goods.erase(goods.begin() + kept, goods.end());
    return removed;
}
