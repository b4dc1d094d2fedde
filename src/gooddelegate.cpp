#include "gooddelegate.h"

#include "good.h"
#include "goodwidget.h"

#include <QColor>
#include <QPainter>

namespace {

const QColor kSelectedBackground(240, 240, 240);
const QColor kOddBackground(250, 250, 250);
const QColor kEvenBackground(255, 255, 255);

} // namespace

GoodDelegate::GoodDelegate(QObject *parent)
    : QItemDelegate(parent)
    , m_card(new GoodWidget)
{
}

GoodDelegate::~GoodDelegate()
{
    delete m_card;
}

void GoodDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    Good *good = index.data(Qt::DisplayRole).value<Good *>();
    if (!good)
        return;

    m_card->SetGood(good, index);
    if (m_card->size() != option.rect.size())
        m_card->resize(option.rect.size());

    const QColor &background = (option.state & QStyle::State_Selected)
            ? kSelectedBackground
            : (index.row() % 2 ? kOddBackground : kEvenBackground);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->translate(option.rect.topLeft());
    // The card's own background, painted here rather than through its
    // palette: changing the palette of a widget tree on every row would
    // cost more than the fill.
    painter->fillRect(QRect(QPoint(0, 0), option.rect.size()), background);
    m_card->render(painter, QPoint(), QRegion(), QWidget::DrawChildren);
    painter->restore();
}

QSize GoodDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return QSize(kWidth, kHeight);
}
