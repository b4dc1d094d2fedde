#include "addurldialog.h"

#include "ui_addurldialog.h"

AddUrlDialog::AddUrlDialog(QWidget *parent, const QString &prompt, const QString &placeholder,
                           const QString &text)
    : QDialog(parent)
    , ui(std::make_unique<Ui::AddUrlDialog>())
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowTitle(prompt);
    ui->promptLabel->setText(prompt);
    ui->urlEdit->setPlaceholderText(placeholder);
    ui->urlEdit->setText(text);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

AddUrlDialog::~AddUrlDialog() = default;

QString AddUrlDialog::Url() const
{
    return ui->urlEdit->text();
}
