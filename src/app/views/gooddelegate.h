#pragma once

#include <QItemDelegate>
#include <QPointer>

class GoodWidget;
struct Good;
class Model;
class QAbstractItemModel;

// Draws every row of the goods list with one off-screen card, filled with
// the row's good and rendered into the view's painter. Every row has the
// same size, so the view never asks for more than the rows it shows. The
// card keeps the texts of the goods it drew until the list's model is reset
// or repainted whole; the tooltip over a missing picture says why it is
// missing, and over the rest of a changed good's card what changed (old
// and new), over a deleted good's that only the base holds it.
class GoodDelegate final : public QItemDelegate
{
    Q_OBJECT

public:
    static constexpr int kWidth = 600;
    static constexpr int kHeight = 166;

    // The model tells a changed good's base row; without it the tooltips
    // say nothing of changes.
    explicit GoodDelegate(QObject *parent = nullptr, const Model *model = nullptr);
    ~GoodDelegate() override;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

private:
    Q_DISABLE_COPY(GoodDelegate)

    // Lets the card forget what the model's changes make stale.
    void Watch(const QAbstractItemModel *model) const;

    // The tooltip of a changed or deleted good; empty for an added one.
    QString ChangeTip(const Good *good) const;

    // A tooltip's values are cut to this many characters (the card shows them whole).
    static constexpr int kTipValueLength = 80;

    GoodWidget *m_card; // owned; no parent, it is never shown
    const Model *m_model;
    mutable QPointer<const QAbstractItemModel> m_watched;
};
