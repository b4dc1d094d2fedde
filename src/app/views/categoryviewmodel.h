#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QSet>

class Filter;
struct CatModel;

// The category tree with check boxes. Each index points at its node; the
// root has no index of its own. The check boxes edit the filter's unchecked
// categories: unchecking a category unchecks its subtree, checking one
// re-checks its subtree and its ancestors; a category with unchecked ones
// below it shows partially checked. Ghost categories are grey. The model
// reads the tree directly and is rebuilt after anything else changes it.
class CategoryViewModel final : public QAbstractItemModel
{
    Q_OBJECT

public:
    CategoryViewModel(CatModel *root, Filter *filter);

    QModelIndex index(int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex &index) const override;
    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Destroys the categories of these rows with their subtrees and goods.
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // The category of an index; the root for the invalid index.
    CatModel *NodeAt(const QModelIndex &index) const;
    // The goods of each subtree that pass the filter, as the goods list
    // found them; until they are given, every good of the subtree counts.
    void SetCounts(const QHash<const CatModel *, int> &counts);
    // Makes a category a ghost or a real one again, with the paths below it.
    bool ToggleGhost(const QModelIndex &index);

signals:
    // The set of goods that passes the filter has changed.
    void GoodSetChanged();

private:
    Q_DISABLE_COPY(CategoryViewModel)

    void ApplyCheck(const QModelIndex &index, const CatModel *node, bool checked);
    bool HasUncheckedBelow(const CatModel *node) const;
    int SubtreeCount(const CatModel *node) const;
    int CountSubtrees(const CatModel *node) const;
    bool FindUncheckedBelow(const CatModel *node) const;

    CatModel *m_root;
    Filter *m_filter;
    // Goods of each subtree, filled at the first paint and after a removal,
    // or given by SetCounts().
    mutable QHash<const CatModel *, int> m_counts;
    bool m_countsGiven = false;
    // The categories with an unchecked one below them, known while
    // m_uncheckedKnown; a check-box change or a removal forgets them.
    mutable QSet<const CatModel *> m_uncheckedBelow;
    mutable bool m_uncheckedKnown = false;
    const QString m_mixedOffers;      // the name of the ghost of files with offers per row
    const QString m_mixedOffersShown; // as the interface shows it
};
