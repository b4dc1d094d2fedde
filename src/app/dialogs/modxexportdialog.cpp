#include "modxexportdialog.h"
#include "ui_modxexportdialog.h"

#include "deleteconfirmation.h"
#include "model.h"
#include "progressthread.h"
#include "schema.h"

#include <QMessageBox>

ModxExportDialog::ModxExportDialog(Model *model, int mode, const Filter *filter, QWidget *parent)
    : QDialog(parent)
    , m_model(model)
    , m_filter(filter)
    , m_mode(mode)
    , ui(std::make_unique<Ui::ModxExportDialog>())
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ui->hostEdit->setText(m_model->Option(Schema::Option::ModxHost));
    ui->loginEdit->setText(m_model->Option(Schema::Option::ModxLogin));
    // A password kept by an earlier run stays kept until the box is unticked.
    const bool remembered = m_model->Options().contains(Schema::Option::ModxPassword);
    ui->rememberPasswordCheck->setChecked(remembered);
    if (remembered)
        ui->passwordEdit->setText(m_model->Option(Schema::Option::ModxPassword));
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &ModxExportDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

ModxExportDialog::~ModxExportDialog() = default;

void ModxExportDialog::accept()
{
    const QString host = ui->hostEdit->text().trimmed();
    const QString login = ui->loginEdit->text();
    const QString password = ui->passwordEdit->text();
    m_model->SetOption(Schema::Option::ModxHost, host);
    m_model->SetOption(Schema::Option::ModxLogin, login);
    // The project file is plain text: the password goes there only when
    // the user asked for it, and a password once kept goes when unticked.
    if (ui->rememberPasswordCheck->isChecked())
        m_model->SetOption(Schema::Option::ModxPassword, password);
    else
        m_model->RemoveOption(Schema::Option::ModxPassword);
    if (m_mode == Export && !DeleteConfirmation::Ask(this, *m_model, m_filter))
        return;

    emit beforeAction();
    bool ok = true;
    const int result = RunWithProgress(this, true, [&](IProgress *progress) {
        if (m_mode == Export)
            ok = m_model->SaveToModxSite(host, login, password, m_filter, progress);
        else
            ok = m_model->LoadFromModxSite(host, login, password, m_mode == ImportBase, progress);
    });
    m_lastError = ok ? QString() : m_model->LastError();
    emit afterAction();
    if (ok) {
        QDialog::accept();
        return;
    }
    // The log told the story; the box says the outcome, unless the user
    // cancelled. The dialog stays open for another try.
    if (result != QDialog::Rejected) {
        QMessageBox::warning(this, windowTitle(),
                             m_lastError.isEmpty() ? tr("Обмен с сайтом не выполнен") : m_lastError);
    }
}
