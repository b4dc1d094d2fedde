#pragma once

#include <QItemDelegate>

class GoodWidget;

// Draws every row of the goods list with one off-screen card, filled with
// the row's good and rendered into the view's painter. Every row has the
// same size, so the view never asks for more than the rows it shows.
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

private:
    Q_DISABLE_COPY(GoodDelegate)

    GoodWidget *m_card; // owned; no parent, it is never shown
};
