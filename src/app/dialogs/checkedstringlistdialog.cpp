#include "checkedstringlistdialog.h"

#include "checkedstringlistmodel.h"
#include "ui_checkedstringlistdialog.h"

CheckedStringListDialog::CheckedStringListDialog(const QString &title, const QString &text,
                                                 const QStringList &strings, QWidget *parent)
    : QDialog(parent)
    , model(new CheckedStringListModel(strings, Qt::Unchecked, this))
    , ui(std::make_unique<Ui::CheckedStringListDialog>())
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowTitle(title);
    ui->label->setText(text);
    ui->listView->setModel(model);
    // Space ticks the current row from the start.
    ui->listView->setCurrentIndex(model->index(0));
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

CheckedStringListDialog::~CheckedStringListDialog() = default;
