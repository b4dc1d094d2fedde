#include "choosecategorydialog.h"

#include <QStringListModel>

#include "categoryrule.h"
#include "ui_choosecategorydialog.h"

ChooseCategoryDialog::ChooseCategoryDialog(const QStringList &categories, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::ChooseCategoryDialog>())
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ui->listView->setModel(new QStringListModel(categories, this));
    connect(ui->listView, &QAbstractItemView::doubleClicked, this, &QDialog::accept);

    ui->typeCombo->addItem(tr("Выбрать категорию и все подкатегории"), CategoryRule::Subtree);
    ui->typeCombo->addItem(tr("Выбрать только категорию"), CategoryRule::Exact);
    ui->typeCombo->addItem(tr("Выбрать только подкатегории"), CategoryRule::Below);
    ui->typeCombo->setCurrentIndex(0);

    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

ChooseCategoryDialog::~ChooseCategoryDialog() = default;

QString ChooseCategoryDialog::SelectedRule() const
{
    CategoryRule::RuleMode mode = CategoryRule::Subtree;
    if (ui->typeCombo->currentIndex() == 1)
        mode = CategoryRule::Exact;
    else if (ui->typeCombo->currentIndex() == 2)
        mode = CategoryRule::Below;
    const QString category = ui->listView->currentIndex().data(Qt::DisplayRole).toString();
    if (category.isEmpty())
        return QString();
    return CategoryRule(category, mode).ToText();
}
