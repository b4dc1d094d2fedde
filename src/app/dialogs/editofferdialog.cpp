#include "editofferdialog.h"

#include <algorithm>

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QMenu>
#include <QMessageBox>

#include "choosecatdelegate.h"
#include "choosecategorydialog.h"
#include "includecatviewmodel.h"
#include "offer.h"
#include "replacecatviewmodel.h"
#include "ui_editofferdialog.h"

EditOfferDialog::EditOfferDialog(Offer *offer, QWidget *parent)
    : QDialog(parent)
    , m_offer(offer)
    // Categories the rules left out are offered too: a rule may take them back.
    , m_categories(WithParents((offer->categories + offer->droppedCategories).values()))
    , ui(std::make_unique<Ui::EditOfferDialog>())
{

    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowTitle(offer->name.isEmpty() ? tr("Создание нового оффера")
                                         : tr("Редактирование оффера %1").arg(offer->name));

    ui->offerNameEdit->setText(offer->name);
    ui->importUrlEdit->setText(offer->exportUrl);
    ui->offerPrefixEdit->setText(offer->prefix);
    ui->offerUrlEdit->setText(offer->url);
    // Addresses are read from their start ("https://…"), not from their end.
    for (QLineEdit *edit : {ui->importUrlEdit, ui->offerUrlEdit})
        edit->setCursorPosition(0);

    // The captions of the left column share one width, the widest one's
    // (at least the form's 120 pixels), so that no caption is cut off in
    // any language or font.
    const QList<QLabel *> captions{ui->label_2, ui->label, ui->label_4};
    int captionWidth = 120;
    for (const QLabel *caption : captions)
        captionWidth = qMax(captionWidth, caption->sizeHint().width());
    for (QLabel *caption : captions)
        caption->setFixedWidth(captionWidth);
    ui->label_3->setMinimumWidth(qMax(120, ui->label_3->sizeHint().width()));
    ui->label_3->setMaximumWidth(QWIDGETSIZE_MAX);

    m_includeModel = new IncludeCatViewModel(offer->include, true, this);
    m_excludeModel = new IncludeCatViewModel(offer->exclude, false, this);
    m_replaceModel = new ReplaceCatViewModel(offer->rename, this);
    ui->includeCatsView->setModel(m_includeModel);
    ui->excludeCatsView->setModel(m_excludeModel);
    ui->replaceCatsView->setModel(m_replaceModel);

    const QList<QAbstractItemView *> views{ui->includeCatsView, ui->excludeCatsView, ui->replaceCatsView};
    const QList<QAbstractButton *> buttons{ui->toolButton, ui->toolButton_2, ui->toolButton_3};
    for (int i = 0; i < views.size(); ++i) {
        QAbstractItemView *view = views.at(i);
        // Tab leaves the table for the next field; the arrows move in it.
        view->setTabKeyNavigation(false);
        view->setItemDelegateForColumn(0, new ChooseCatDelegate(&m_categories, this));
        connect(view, &QWidget::customContextMenuRequested, this, &EditOfferDialog::showOfferContextMenu);
        connect(buttons.at(i), &QAbstractButton::clicked, this, [this, view] { AddChosenRow(view); });
    }
    // Each column of the renames shows its whole caption; the paths share
    // what is left.
    QHeaderView *header = ui->replaceCatsView->horizontalHeader();
    header->setMinimumSectionSize(80);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    header->setSectionResizeMode(2, QHeaderView::ResizeToContents);

    ui->otherCatsCombo->addItem(tr("Оставлять"), true);
    ui->otherCatsCombo->addItem(tr("Удалять"), false);
    ui->otherCatsCombo->setCurrentIndex(offer->includeOther ? 0 : 1);

    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &EditOfferDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

EditOfferDialog::~EditOfferDialog() = default;

void EditOfferDialog::accept()
{
    if (ui->offerNameEdit->text().isEmpty()) {
        QMessageBox::warning(this, tr("Ошибка"), tr("Имя оффера не может быть пустым"));
        return;
    }
    QDialog::accept();
}

QStringList EditOfferDialog::WithParents(const QStringList &categories)
{
    // A rule may name a parent the feed never names alone ("Обувь" of
    // "Обувь/Сапоги"): the chooser offers every level.
    QSet<QString> all;
    for (const QString &category : categories) {
        all.insert(category);
        for (int at = category.indexOf(QLatin1Char('/')); at > 0; at = category.indexOf(QLatin1Char('/'), at + 1))
            all.insert(category.left(at));
    }
    QStringList sorted = all.values();
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

void EditOfferDialog::AddChosenRow(QAbstractItemView *view)
{
    // Without the offer's categories (its feed not loaded yet) the row is
    // typed in by hand.
    if (m_categories.isEmpty()) {
        AppendEmptyRow(view);
        return;
    }
    ChooseCategoryDialog chooser(m_categories, this);
    if (chooser.exec() != QDialog::Accepted || chooser.SelectedRule().isEmpty())
        return;
    QAbstractItemModel *model = view->model();
    const int row = model->rowCount();
    model->insertRows(row, 1);
    const QModelIndex added = model->index(row, 0);
    model->setData(added, chooser.SelectedRule());
    view->setCurrentIndex(added);
    view->scrollTo(added);
}

void EditOfferDialog::AppendEmptyRow(QAbstractItemView *view)
{
    QAbstractItemModel *model = view->model();
    model->insertRows(model->rowCount(), 1);
}

void EditOfferDialog::showOfferContextMenu(const QPoint &pos)
{
    auto *view = qobject_cast<QAbstractItemView *>(sender());
    if (!view)
        return;

    QMenu menu(tr("Действия"), this);
    const QPersistentModelIndex current = view->currentIndex();
    if (current.isValid() && view->visualRect(current).contains(pos)) {
        connect(menu.addAction(tr("Удалить категорию")), &QAction::triggered, view, [view, current] {
            if (current.isValid())
                view->model()->removeRows(current.row(), 1, current.parent());
        });
        menu.addSeparator();
    }
    connect(menu.addAction(tr("Добавить категорию")), &QAction::triggered, view, [view] { AppendEmptyRow(view); });
    menu.exec(view->viewport()->mapToGlobal(pos));
}

bool EditOfferDialog::ApplyToOffer()
{
    m_offer->name = ui->offerNameEdit->text();
    m_offer->exportUrl = ui->importUrlEdit->text();
    m_offer->prefix = ui->offerPrefixEdit->text();
    m_offer->url = ui->offerUrlEdit->text();

    const bool includeOther = ui->otherCatsCombo->currentIndex() == 0;
    bool reload = includeOther != m_offer->includeOther;
    m_offer->includeOther = includeOther;

    const QList<CategoryRule> include = Offer::NormalisedRules(m_includeModel->Rules());
    if (include != m_offer->include) {
        m_offer->include = include;
        reload = true;
    }
    const QList<CategoryRule> exclude = Offer::NormalisedRules(m_excludeModel->Rules());
    if (exclude != m_offer->exclude) {
        m_offer->exclude = exclude;
        reload = true;
    }

    QMap<CategoryRule, RenameTarget> rename;
    for (const ReplaceCatViewModel::Row &row : m_replaceModel->Rows()) {
        if (!row.rule.text.isEmpty() && !row.to.isEmpty())
            rename.insert(row.rule, RenameTarget{row.to, row.merge});
    }
    if (rename != m_offer->rename) {
        m_offer->rename = rename;
        reload = true;
    }
    return reload;
}
