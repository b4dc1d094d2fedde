#pragma once

#include <QItemDelegate>
#include <QPointer>

class GoodWidget;
class QAbstractItemModel;

// Draws every row of the goods list with one off-screen card, filled with
// the row's good and rendered into the view's painter. Every row has the
// same size, so the view never asks for more than the rows it shows. The
// card keeps the texts of the goods it drew until the list's model is reset
// or repainted whole; the tooltip over a missing picture says why it is
// missing.
class GoodDelegate final : public QItemDelegate
{
    Q_OBJECT

public:
    static constexpr int kWidth = 600;
    static constexpr int kHeight = 166;

    explicit GoodDelegate(QObject *parent = nullptr);
    ~GoodDelegate() override;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

private:
    Q_DISABLE_COPY(GoodDelegate)

    // Lets the card forget what the model's changes make stale.
    void Watch(const QAbstractItemModel *model) const;

    GoodWidget *m_card; // owned; no parent, it is never shown
    mutable QPointer<const QAbstractItemModel> m_watched;
};
