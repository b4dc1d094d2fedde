#include "goodwidget.h"
#include "ui_goodwidget.h"

#include "catmodel.h"
#include "gooddelegate.h"
#include "good.h"
#include "offer.h"

#include <QAbstractItemModel>
#include <QFontMetrics>
#include <QStringBuilder>

GoodWidget::GoodWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::GoodWidget)
    , m_loadingText(tr("Загрузка..."))
{
    ui->setupUi(this);
    FitFontToRowHeight();
    connect(&m_loader, &ImageLoader::ImageLoaded, this, &GoodWidget::ImageLoaded);
}

void GoodWidget::FitFontToRowHeight()
{
    // Every row of the goods list has the delegate's one height, and a card
    // without a parent grows to what its layout needs: the eight fields and
    // a second line of the name must fit into the row, or the next row paints
    // over the last fields. A large desktop font is made smaller for the card.
    const int lines = ui->formLayout->rowCount() + 1;
    const QMargins margins = ui->horizontalLayout_2->contentsMargins();
    const int room = GoodDelegate::kHeight - margins.top() - margins.bottom()
            - ui->formLayout->verticalSpacing() * (lines - 1);
    QFont cardFont = font();
    while (QFontMetrics(cardFont).height() * lines > room && cardFont.pointSizeF() > kSmallestPointSize)
        cardFont.setPointSizeF(cardFont.pointSizeF() - 0.5);
    setFont(cardFont);
}

GoodWidget::~GoodWidget()
{
    delete ui;
}

void GoodWidget::SetGood(Good *good, const QModelIndex &index)
{
    if (!good || !good->source)
        return;
    // The one read of the row; every field comes from it.
    const QStringList row = good->Row();
    if (row.isEmpty())
        return;

    ui->name->setText(good->Name(row));
    ui->price->setText(QString::number(good->price));
    ui->oldprice->setText(QString::number(good->oldPrice));

    const QString path = good->category ? good->category->path : QString();
    const QString raw = good->RawCategory(row);
    if (raw == path)
        ui->category->setText(path);
    else
        ui->category->setText(path % QLatin1String(" (") % raw % QLatin1Char(')'));

    ui->vendor->setText(good->Vendor(row));
    ui->source->setText(good->offer ? good->offer->name : QString());
    ui->id->setText(good->Key(row) % QLatin1String(" (") % good->TemplateText(row) % QLatin1Char(')'));
    ui->status->setText(Good::StatusText(good->status));

    ShowPicture(good->Picture(row), index);
}

void GoodWidget::ShowPicture(const QString &url, const QModelIndex &index)
{
    if (const QPixmap *pixmap = m_loader.Cached(url)) {
        if (m_picture != Picture::Image || m_pixmapKey != pixmap->cacheKey()) {
            ui->image->setPixmap(*pixmap);
            m_picture = Picture::Image;
            m_pixmapKey = pixmap->cacheKey();
        }
        return;
    }
    if (url.isEmpty()) {
        // No picture to wait for.
        if (m_picture != Picture::Nothing) {
            ui->image->clear();
            m_picture = Picture::Nothing;
        }
        return;
    }
    m_loader.Request(url, index);
    if (m_picture != Picture::Loading) {
        ui->image->setText(m_loadingText);
        m_picture = Picture::Loading;
    }
}

void GoodWidget::ImageLoaded(const QPixmap &, const QString &, const QModelIndex &index)
{
    // The repaint finds the picture in the cache.
    if (index.isValid() && index.model()) {
        auto *model = const_cast<QAbstractItemModel *>(index.model());
        emit model->dataChanged(index, index);
    }
}
