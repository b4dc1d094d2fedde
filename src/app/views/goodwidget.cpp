#include "goodwidget.h"
#include "ui_goodwidget.h"

#include "catmodel.h"
#include "gooddelegate.h"
#include "good.h"
#include "goodidentity.h"
#include "idtemplate.h"
#include "offer.h"

#include <QAbstractItemModel>
#include <QFontMetrics>
#include <QStringBuilder>

GoodWidget::GoodWidget(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::GoodWidget)
    , m_loadingText(tr("Загрузка..."))
    , m_noPictureText(tr("Нет изображения"))
{
    ui->setupUi(this);
    FitFontToRowHeight();
    connect(&m_loader, &ImageLoader::ImageLoaded, this, &GoodWidget::ImageLoaded);
    // A picture that will not come repaints its card as well: it then says so.
    connect(&m_loader, &ImageLoader::ImageFailed, this,
            [this](const QString &, const QString &, const QModelIndex &index) {
                ImageLoaded(QPixmap(), QString(), index);
            });
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

QString GoodWidget::PriceText(qint32 price)
{
    // -1 stands for a price the feed did not give.
    return price < 0 ? QString() : QString::number(price);
}

QString GoodWidget::IdentityText(const Good *good, const QStringList &row)
{
    const IdTemplate identity = good->idTemplate ? *good->idTemplate
                                                 : IdTemplate::FromText(GoodIdentity::RowTemplateText(*good, row));
    switch (identity.shape) {
    // The words first: a long address would push them out of the card.
    case IdTemplate::UrlOnly:
        return tr("по ссылке: %1").arg(good->Url(row));
    case IdTemplate::OfferAndId:
        return tr("по магазину и id: %1").arg(good->Id(row));
    case IdTemplate::OfferAndName:
        return tr("по магазину и названию: %1").arg(good->Name(row));
    case IdTemplate::Unique:
        return tr("нет: товар ни с чем не сравнивается");
    case IdTemplate::General:
    case IdTemplate::NoTokens:
        break;
    }
    return GoodIdentity::RowKey(*good, row);
}

const GoodWidget::Texts *GoodWidget::TextsOf(Good *good)
{
    const auto kept = m_rows.constFind(good);
    if (kept != m_rows.constEnd())
        return &kept.value();

    // The one read of the row; every field comes from it.
    const QStringList row = good->Row();
    if (row.isEmpty())
        return nullptr;
    Texts texts;
    texts.name = good->Name(row);
    texts.price = PriceText(good->price);
    texts.oldPrice = PriceText(good->oldPrice);
    const QString path = good->category ? good->category->path : QString();
    const QString raw = good->RawCategory(row);
    texts.category = raw == path ? path : QString(path % QLatin1String(" (") % raw % QLatin1Char(')'));
    texts.vendor = good->Vendor(row);
    texts.source = good->offer ? good->offer->name : QString();
    texts.id = IdentityText(good, row);
    texts.status = Good::StatusText(good->status);
    texts.picture = good->Picture(row);

    if (m_rowOrder.size() >= kKeptRows)
        m_rows.remove(m_rowOrder.dequeue());
    m_rowOrder.enqueue(good);
    return &m_rows.insert(good, texts).value();
}

void GoodWidget::ForgetRows()
{
    m_rows.clear();
    m_rowOrder.clear();
}

void GoodWidget::ForgetRow(const Good *good)
{
    if (m_rows.remove(good))
        m_rowOrder.removeOne(good);
}

void GoodWidget::SetGood(Good *good, const QModelIndex &index)
{
    if (!good || !good->source)
        return;
    const Texts *texts = TextsOf(good);
    if (!texts)
        return;

    ui->name->setText(texts->name);
    ui->price->setText(texts->price);
    ui->oldprice->setText(texts->oldPrice);
    ui->category->setText(texts->category);
    ui->vendor->setText(texts->vendor);
    ui->source->setText(texts->source);
    ui->id->setText(texts->id);
    ui->status->setText(texts->status);
    ShowPicture(texts->picture, index);
}

QString GoodWidget::PictureFailure(const Good *good) const
{
    const auto kept = m_rows.constFind(good);
    return kept == m_rows.constEnd() ? QString() : m_loader.Failure(kept->picture);
}

void GoodWidget::ShowPictureText(const QString &text)
{
    if (!m_showsPixmap && ui->image->text() == text)
        return;
    ui->image->setText(text);
    m_showsPixmap = false;
}

void GoodWidget::ShowPicture(const QString &url, const QModelIndex &index)
{
    if (const QPixmap *pixmap = m_loader.Cached(url)) {
        if (pixmap->isNull()) {
            ShowPictureText(m_noPictureText);
        } else if (!m_showsPixmap || m_pixmapKey != pixmap->cacheKey()) {
            ui->image->setPixmap(*pixmap);
            m_showsPixmap = true;
            m_pixmapKey = pixmap->cacheKey();
        }
        return;
    }
    if (url.isEmpty() || !m_loader.Failure(url).isEmpty()) {
        // No picture, or one that failed: it is tried again once another
        // download has succeeded.
        ShowPictureText(m_noPictureText);
        return;
    }
    m_loader.Request(url, index);
    ShowPictureText(m_loadingText);
}

void GoodWidget::ImageLoaded(const QPixmap &, const QString &, const QModelIndex &index)
{
    // The repaint finds the picture in the cache.
    if (index.isValid() && index.model()) {
        auto *model = const_cast<QAbstractItemModel *>(index.model());
        emit model->dataChanged(index, index);
    }
}
