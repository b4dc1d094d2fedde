#include "goodviewdialog.h"
#include "ui_goodviewdialog.h"

#include "catmodel.h"
#include "good.h"
#include "goodpropsview.h"
#include "offer.h"
#include "source.h"

#include <QSet>

GoodViewDialog::GoodViewDialog(Good *good, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::GoodViewDialog)
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->setupUi(this);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(&m_loader, &ImageLoader::ImageLoaded, this, &GoodViewDialog::ImageLoaded);

    QVector<GoodPropsView::Property> properties;
    if (good && good->source) {
        const Source *source = good->source;
        // An empty row (unreadable, or its reader busy with a save) has no
        // cell to show: only what the good itself holds is listed then.
        const QStringList row = good->Row();
        const bool hasRow = !row.isEmpty();

        const QString url = hasRow ? good->Picture(row) : QString();
        if (const QPixmap *pixmap = m_loader.Cached(url)) {
            ui->image->setPixmap(*pixmap);
        } else if (url.isEmpty()) {
            ui->image->clear();
        } else {
            m_loader.Request(url, QModelIndex());
            ui->image->setText(tr("Загрузка..."));
        }

        QSet<QString> listed;
        const auto add = [&properties, &listed](const QString &name, const QString &value) {
            properties.append(qMakePair(name, value));
            listed.insert(name);
        };
        if (hasRow && source->nameColumn >= 0)
            add(QStringLiteral("name"), good->Name(row));
        if (source->priceColumn >= 0)
            add(QStringLiteral("price"), QString::number(good->price));
        if (source->oldPriceColumn >= 0)
            add(QStringLiteral("oldprice"), QString::number(good->oldPrice));
        add(QStringLiteral("categoryId"), good->category ? good->category->path : QString());
        if (hasRow && source->vendorColumn >= 0)
            add(QStringLiteral("vendor"), good->Vendor(row));
        add(QStringLiteral("advcampaign_name"), good->offer ? good->offer->name : QString());
        if (hasRow && source->descriptionColumn >= 0)
            add(QStringLiteral("description"), good->Description(row));
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
}

GoodViewDialog::~GoodViewDialog()
{
    delete ui;
}

void GoodViewDialog::ImageLoaded(const QPixmap &image, const QString &, const QModelIndex &)
{
    ui->image->setPixmap(image);
}
