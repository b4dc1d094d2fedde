#include "modxexportdialog.h"
#include "ui_modxexportdialog.h"

#include "deleteconfirmation.h"
#include "errorbox.h"
#include "keyring.h"
#include "model.h"
#include "progressthread.h"
#include "rememberedpassword.h"
#include "schema.h"

#include <QMessageBox>

namespace {

const RememberedPassword::Keys kPasswordKeys{Schema::Option::ModxPassword, Schema::Option::ModxKeyring};

} // namespace

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
    bool remembered = false;
    const QString password = RememberedPassword::Load(*m_model, kPasswordKeys, &remembered);
    ui->rememberPasswordCheck->setChecked(remembered);
    ui->passwordEdit->setText(password);
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
    // The password is kept only when the user asked for it, in the
    // keyring when one answers, and forgotten when unticked.
    RememberedPassword::Keep(this, *m_model, kPasswordKeys, Keyring::SiteEntry(login, host), password,
                             ui->rememberPasswordCheck->isChecked());
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
    m_cancelled = !ok && result == QDialog::Rejected;
    emit afterAction();
    if (ok) {
        QDialog::accept();
        return;
    }
    // The log told the story; the box says the outcome, unless the user
    // cancelled. The dialog stays open for another try.
    if (result != QDialog::Rejected) {
        ErrorBox::Show(this, QMessageBox::Warning, windowTitle(),
                       m_lastError.isEmpty() ? tr("Обмен с сайтом не выполнен") : m_lastError);
    }
}
