#include "modxexportdialog.h"
#include "ui_modxexportdialog.h"

#include "model.h"
#include "progressthread.h"

namespace {

const QString kHostKey = QStringLiteral("export/modx/host");
const QString kLoginKey = QStringLiteral("export/modx/login");
const QString kPasswordKey = QStringLiteral("export/modx/password");

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
    ui->hostEdit->setText(m_model->Option(kHostKey));
    ui->loginEdit->setText(m_model->Option(kLoginKey));
    ui->passwordEdit->setText(m_model->Option(kPasswordKey));
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &ModxExportDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

ModxExportDialog::~ModxExportDialog() = default;

void ModxExportDialog::accept()
{
    const QString host = ui->hostEdit->text().trimmed();
    const QString login = ui->loginEdit->text();
    const QString password = ui->passwordEdit->text();
    m_model->SetOption(kHostKey, host);
    m_model->SetOption(kLoginKey, login);
    m_model->SetOption(kPasswordKey, password);

    emit beforeAction();
    bool ok = true;
    RunWithProgress(this, true, [&](IProgress *progress) {
        if (m_mode == Export)
            ok = m_model->SaveToModxSite(host, login, password, m_filter, progress);
        else
            ok = m_model->LoadFromModxSite(host, login, password, m_mode == ImportBase, progress);
    });
    m_lastError = ok ? QString() : m_model->LastError();
    emit afterAction();
    if (ok)
        QDialog::accept();
}
