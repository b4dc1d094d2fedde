#include "goodviewdialog.h"
#include "ui_goodviewdialog.h"

#include "catmodel.h"
#include "changeformat.h"
#include "good.h"
#include "goodchangetext.h"
#include "goodpropsview.h"
#include "goodwidget.h"
#include "interfacelanguage.h"
#include "model.h"
#include "offer.h"
#include "schema.h"
#include "source.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHash>
#include <QHeaderView>
#include <QResizeEvent>
#include <QSet>

namespace {

QString Caption(const QString &column)
{
    return GoodChangeText::Caption(column);
}

} // namespace

GoodViewDialog::GoodViewDialog(Good *good, QWidget *parent, const Model *model)
    : QDialog(parent)
    , m_loader(nullptr, 1, QSize(kPictureSide, kPictureSide), false)
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
        // The row of each column's value, where a change is marked.
        QHash<QString, int> rowOfColumn;
        const auto add = [&properties, &listed, &rowOfColumn](const QString &column, const QString &value) {
            rowOfColumn.insert(column, properties.size());
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
        m_properties = new GoodPropsView(properties, this);
        if (model)
            ShowChanges(good, *model, rowOfColumn);
    }
    if (!m_properties)
        m_properties = new GoodPropsView(properties, this);

    ui->tableView->setModel(m_properties);
    // Captions are short: their column takes what they need, values the rest.
    ui->tableView->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    ui->tableView->resizeRowsToContents();
    // Tab goes on to the button; the arrows move in the table.
    ui->tableView->setTabKeyNavigation(false);
    ui->tableView->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto *copy = new QAction(tr("Копировать"), ui->tableView);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &GoodViewDialog::CopySelection);
    ui->tableView->addAction(copy);
}

void GoodViewDialog::ShowChanges(Good *good, const Model &model, const QHash<QString, int> &rowOfColumn)
{
    QString text = GoodChangeText::OnlyInBase(good);
    if (good->status == Changed) {
        const QLocale locale = InterfaceLanguage::Current();
        const QList<ChangedGoods::Difference> differences = model.ChangesOf(good);
        QStringList lines;
        for (const ChangedGoods::Difference &difference : differences) {
            lines.append(tr("%1: %2").arg(GoodChangeText::Caption(difference.column),
                                          ChangeFormat::Change(difference.oldValue, difference.newValue, locale,
                                                               ChangeFormat::IsAmount(difference.column))));
            const int row = rowOfColumn.value(difference.column, -1);
            m_properties->Mark(row, tr("В базе: %1").arg(difference.oldValue));
        }
        if (!lines.isEmpty())
            text = tr("Изменилось по сравнению с базой:") + QLatin1Char('\n') + lines.join(QLatin1Char('\n'));
    }
    ui->changes->setText(text);
    ui->changes->setVisible(!text.isEmpty());
}

void GoodViewDialog::CopySelection()
{
    const QModelIndexList cells = ui->tableView->selectionModel() ? ui->tableView->selectionModel()->selectedIndexes()
                                                                  : QModelIndexList();
    if (!cells.isEmpty())
        QGuiApplication::clipboard()->setText(m_properties->Text(cells));
}

void GoodViewDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    FitPicture();
}

void GoodViewDialog::FitPicture()
{
    if (m_picture.isNull())
        return;
    const QSize room = ui->image->contentsRect().size();
    // Never blown up past its own size: a small picture stays sharp.
    const QSize size = m_picture.size().boundedTo(room.expandedTo(QSize(1, 1)));
    ui->image->setPixmap(m_picture.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

GoodViewDialog::~GoodViewDialog()
{
    delete ui;
}

void GoodViewDialog::ImageLoaded(const QPixmap &image, const QString &url, const QModelIndex &)
{
    if (image.isNull()) {
        ShowNoPicture(m_loader.Failure(url));
    } else {
        m_picture = image;
        FitPicture();
    }
}

void GoodViewDialog::ShowNoPicture(const QString &reason)
{
    ui->image->setText(tr("Нет изображения"));
    ui->image->setToolTip(reason);
}
