#include "gooddelegate.h"

#include "good.h"
#include "goodchangetext.h"
#include "goodwidget.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QColor>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace {

// The picture's part of a card: its left edge, the picture and its margins.
const int kPictureWidth = 170;

} // namespace

GoodDelegate::GoodDelegate(QObject *parent, const Model *model)
    : QItemDelegate(parent)
    , m_card(new GoodWidget)
    , m_model(model)
{
}

QString GoodDelegate::ChangeTip(const Good *good) const
{
    if (!good)
        return QString();
    if (good->status == Deleted)
        return GoodChangeText::OnlyInBase(good);
    if (good->status != Changed || !m_model)
        return QString();
    // Read when the tooltip is asked for, never per paint.
    const QStringList lines = GoodChangeText::Lines(*m_model, good, kTipValueLength);
    return lines.join(QLatin1Char('\n'));
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

    Watch(index.model());
    m_card->SetGood(good, index);
    if (m_card->size() != option.rect.size())
        m_card->resize(option.rect.size());

    // The palette's colours, under the card's text in the palette's text
    // colour: a dark desktop theme stays readable.
    const QColor &background = option.palette.color((option.state & QStyle::State_Selected) ? QPalette::Button
                                                    : index.row() % 2                      ? QPalette::AlternateBase
                                                                                           : QPalette::Base);

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

void GoodDelegate::Watch(const QAbstractItemModel *model) const
{
    if (!model || m_watched == model)
        return;
    if (m_watched)
        disconnect(m_watched, nullptr, this, nullptr);
    m_watched = model;
    m_card->ForgetRows();
    GoodWidget *card = m_card;
    const auto forgetAll = [card] { card->ForgetRows(); };
    connect(model, &QAbstractItemModel::modelReset, this, forgetAll);
    connect(model, &QAbstractItemModel::layoutChanged, this, forgetAll);
    connect(model, &QAbstractItemModel::rowsRemoved, this, forgetAll);
    connect(model, &QAbstractItemModel::dataChanged, this,
            [card](const QModelIndex &top, const QModelIndex &bottom) {
                // One row: its picture arrived. More: the goods changed.
                if (top == bottom)
                    card->ForgetRow(top.data(Qt::DisplayRole).value<Good *>());
                else
                    card->ForgetRows();
            });
}

bool GoodDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                             const QModelIndex &index)
{
    if (event && event->type() == QEvent::ToolTip && view) {
        const Good *good = index.data(Qt::DisplayRole).value<Good *>();
        const QString failure = good && event->pos().x() - option.rect.left() < kPictureWidth
                ? m_card->PictureFailure(good)
                : QString();
        if (!failure.isEmpty()) {
            QToolTip::showText(event->globalPos(), failure, view);
            return true;
        }
        const QString change = ChangeTip(good);
        if (!change.isEmpty()) {
            QToolTip::showText(event->globalPos(), change, view);
            return true;
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QItemDelegate::helpEvent(event, view, option, index);
}

QSize GoodDelegate::sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const
{
    return QSize(kWidth, kHeight);
}
