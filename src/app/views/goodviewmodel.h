#pragma once

#include "igoodqueryobject.h"
#include "statuscounts.h"

#include <QAbstractListModel>
#include <QVector>

class Filter;
struct CatModel;
struct Good;

// The goods that pass the filter, one row each, for the goods list. It holds
// pointers only; the goods belong to the category tree, so the list must be
// emptied before anything destroys goods. Filled as a visitor of the tree
// walk; Fill() does the whole walk inside one model reset, which is how a
// list of a million goods is loaded without a signal per good.
class GoodViewModel final : public QAbstractListModel, public IGoodQueryObject
{
    Q_OBJECT

public:
    explicit GoodViewModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    // The display role holds the row's Good * (meta-type "Good *").
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    void AddGoods(const QList<Good *> &goods) override;
    void AddGood(Good *good) override;

    // Replaces the list with the goods of the subtree that pass the filter.
    void Fill(CatModel *category, const Filter *filter, bool recursive = true);
    // Replaces the list with these goods, in one reset.
    void SetGoods(const QVector<Good *> &goods);
    void ClearGoods();
    void RepaintAll();
    QModelIndex IndexOfGood(Good *good) const;

    // How many goods of the list a base marked added, changed and deleted.
    StatusCounts CountStatuses() const { return StatusCounts::Of(m_goods); }

private:
    Q_DISABLE_COPY(GoodViewModel)

    QVector<Good *> m_goods;
    bool m_filling = false; // inside Fill(): rows are announced by its reset
};
