#include "goodviewdialog.h"
#include "ui_goodviewdialog.h"

#include "catmodel.h"
#include "good.h"
#include "goodpropsview.h"
#include "goodwidget.h"
#include "offer.h"
#include "source.h"

#include <QHash>
#include <QSet>

namespace {

// The window's own words for the columns it knows; other columns are shown
// under the feed's name.
QString Caption(const QString &column)
{
    static const char *const kCaptions[][2] = {
        {"name", QT_TRANSLATE_NOOP("GoodViewDialog", "Название")},
        {"price", QT_TRANSLATE_NOOP("GoodViewDialog", "Цена")},
        {"oldprice", QT_TRANSLATE_NOOP("GoodViewDialog", "Старая цена")},
        {"categoryId", QT_TRANSLATE_NOOP("GoodViewDialog", "Категория")},
        {"categories", QT_TRANSLATE_NOOP("GoodViewDialog", "Категории в фиде")},
        {"vendor", QT_TRANSLATE_NOOP("GoodViewDialog", "Производитель")},
        {"advcampaign_name", QT_TRANSLATE_NOOP("GoodViewDialog", "Источник")},
        {"description", QT_TRANSLATE_NOOP("GoodViewDialog", "Описание")},
        {"picture", QT_TRANSLATE_NOOP("GoodViewDialog", "Картинка")},
        {"logo", QT_TRANSLATE_NOOP("GoodViewDialog", "Картинка")},
        {"url", QT_TRANSLATE_NOOP("GoodViewDialog", "Ссылка")},
        {"id", QT_TRANSLATE_NOOP("GoodViewDialog", "Код товара")},
        {"idTpl", QT_TRANSLATE_NOOP("GoodViewDialog", "Шаблон идентификатора")},
        {"status", QT_TRANSLATE_NOOP("GoodViewDialog", "Статус в фиде")},
    };
    for (const auto &caption : kCaptions) {
        if (column == QLatin1String(caption[0]))
            return GoodViewDialog::tr(caption[1]);
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
            add(QStringLiteral("name"), good->Name(row));
        if (source->priceColumn >= 0)
            add(QStringLiteral("price"), GoodWidget::PriceText(good->price));
        if (source->oldPriceColumn >= 0)
            add(QStringLiteral("oldprice"), GoodWidget::PriceText(good->oldPrice));
        const QString path = good->category ? good->category->path : QString();
        const QString raw = hasRow ? good->RawCategory(row) : path;
        add(QStringLiteral("categoryId"), raw == path ? path : tr("%1 (в фиде: %2)").arg(path, raw));
        if (hasRow && source->vendorColumn >= 0)
            add(QStringLiteral("vendor"), good->Vendor(row));
        add(QStringLiteral("advcampaign_name"), good->offer ? good->offer->name : QString());
        if (hasRow && source->descriptionColumn >= 0)
            add(QStringLiteral("description"), good->Description(row));
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
