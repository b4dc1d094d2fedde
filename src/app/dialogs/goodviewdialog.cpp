#include "goodviewdialog.h"
#include "ui_goodviewdialog.h"

#include "catmodel.h"
#include "good.h"
#include "goodpropsview.h"
#include "goodwidget.h"
#include "offer.h"
#include "schema.h"
#include "source.h"

#include <QHash>
#include <QSet>

namespace {

// The window's own words for the columns it knows; other columns are shown
// under the feed's name.
QString Caption(const QString &column)
{
    struct Entry
    {
        QLatin1String column;
        const char *caption;
    };
    static const Entry kCaptions[] = {
        {Schema::Column::Name, QT_TRANSLATE_NOOP("GoodViewDialog", "Название")},
        {Schema::Column::Price, QT_TRANSLATE_NOOP("GoodViewDialog", "Цена")},
        {Schema::Column::OldPrice, QT_TRANSLATE_NOOP("GoodViewDialog", "Старая цена")},
        {Schema::Column::CategoryId, QT_TRANSLATE_NOOP("GoodViewDialog", "Категория")},
        {Schema::Column::Categories, QT_TRANSLATE_NOOP("GoodViewDialog", "Категории в фиде")},
        {Schema::Column::Vendor, QT_TRANSLATE_NOOP("GoodViewDialog", "Производитель")},
        {Schema::Column::OfferName, QT_TRANSLATE_NOOP("GoodViewDialog", "Источник")},
        {Schema::Column::Description, QT_TRANSLATE_NOOP("GoodViewDialog", "Описание")},
        {Schema::Column::Picture, QT_TRANSLATE_NOOP("GoodViewDialog", "Картинка")},
        {Schema::Column::Logo, QT_TRANSLATE_NOOP("GoodViewDialog", "Картинка")},
        {Schema::Column::Url, QT_TRANSLATE_NOOP("GoodViewDialog", "Ссылка")},
        {Schema::Column::Id, QT_TRANSLATE_NOOP("GoodViewDialog", "Код товара")},
        {Schema::Column::IdTpl, QT_TRANSLATE_NOOP("GoodViewDialog", "Шаблон идентификатора")},
        {Schema::Column::Status, QT_TRANSLATE_NOOP("GoodViewDialog", "Статус в фиде")},
    };
    for (const auto &caption : kCaptions) {
        if (column == caption.column)
            return GoodViewDialog::tr(caption.caption);
    }
    return column;
}

} // namespace

GoodViewDialog::GoodViewDialog(Good *good, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::GoodViewDialog)
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(&m_loader, &ImageLoader::ImageLoaded, this, &GoodViewDialog::ImageLoaded);
    connect(&m_loader, &ImageLoader::ImageFailed, this,
            [this](const QString &, const QString &reason) { ShowNoPicture(reason); });

    QVector<GoodPropsView::Property> properties;
    if (good && good->source) {
        const Source *source = good->source;
        // An empty row (unreadable, or its reader busy with a save) has no
        // cell to show: only what the good itself holds is listed then.
        const QStringList row = good->Row();
        const bool hasRow = !row.isEmpty();

        const QString url = hasRow ? good->Picture(row) : QString();
        if (url.isEmpty()) {
            ShowNoPicture(QString());
        } else {
            m_loader.Request(url, QModelIndex());
            ui->image->setText(tr("Загрузка..."));
        }

        // Listed under the window's captions; a feed column is skipped when
        // the value the catalogue computed from it is listed already.
        QSet<QString> listed;
        const auto add = [&properties, &listed](const QString &column, const QString &value) {
            properties.append(qMakePair(Caption(column), value));
            listed.insert(column);
        };
        if (hasRow && source->nameColumn >= 0)
            add(Schema::Column::Name, good->Name(row));
        if (source->priceColumn >= 0)
            add(Schema::Column::Price, GoodWidget::PriceText(good->price));
        if (source->oldPriceColumn >= 0)
            add(Schema::Column::OldPrice, GoodWidget::PriceText(good->oldPrice));
        const QString path = good->category ? good->category->path : QString();
        const QString raw = hasRow ? good->RawCategory(row) : path;
        add(Schema::Column::CategoryId, raw == path ? path : tr("%1 (в фиде: %2)").arg(path, raw));
        if (hasRow && source->vendorColumn >= 0)
            add(Schema::Column::Vendor, good->Vendor(row));
        add(Schema::Column::OfferName, good->offer ? good->offer->name : QString());
        if (hasRow && source->descriptionColumn >= 0)
            add(Schema::Column::Description, good->Description(row));
        if (hasRow)
            properties.append(qMakePair(tr("Идентификатор"), GoodWidget::IdentityText(good, row)));
        properties.append(qMakePair(tr("Статус"), Good::StatusText(good->status)));
        if (hasRow) {
            const int columns = qMin(source->header.size(), row.size());
            for (int column = 0; column < columns; ++column) {
                const QString &name = source->header.at(column);
                if (!listed.contains(name))
                    add(name, row.at(column));
            }
        }
    }

    m_properties = new GoodPropsView(properties, this);
    ui->tableView->setModel(m_properties);
    // Tab goes on to the button; the arrows move in the table.
    ui->tableView->setTabKeyNavigation(false);
}

GoodViewDialog::~GoodViewDialog()
{
    delete ui;
}

void GoodViewDialog::ImageLoaded(const QPixmap &image, const QString &url, const QModelIndex &)
{
    if (image.isNull())
        ShowNoPicture(m_loader.Failure(url));
    else
        ui->image->setPixmap(image);
}

void GoodViewDialog::ShowNoPicture(const QString &reason)
{
    ui->image->setText(tr("Нет изображения"));
    ui->image->setToolTip(reason);
}
