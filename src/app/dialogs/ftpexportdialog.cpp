#include "ftpexportdialog.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QUrl>

#include "deleteconfirmation.h"
#include "errorbox.h"
#include "exportoptionsdialog.h"
#include "filter.h"
#include "ftpuploader.h"
#include "keyring.h"
#include "model.h"
#include "progressthread.h"
#include "rememberedpassword.h"
#include "schema.h"
#include "ui_ftpexportdialog.h"

namespace {

const RememberedPassword::Keys kPasswordKeys{Schema::Option::FtpPassword, Schema::Option::FtpKeyring};

const QString kSingleFileName = QStringLiteral("export.csv");
const QString kPattern = QStringLiteral("*.csv");

// In the order of the protocol box.
const QStringList kSchemes{QStringLiteral("ftp"), QStringLiteral("ftps"), QStringLiteral("sftp")};
const int kSftp = 2;

// The scheme the host was typed with, or -1.
int TypedScheme(const QString &host)
{
    for (int i = 0; i < kSchemes.size(); ++i) {
        if (host.startsWith(kSchemes.at(i) + QLatin1String("://"), Qt::CaseInsensitive))
            return i;
    }
    return -1;
}

// The host as typed, less its scheme; the port after it goes to *port.
QString BareHost(const QString &typed, int *port)
{
    QString host = typed.trimmed();
    const int scheme = TypedScheme(host);
    if (scheme >= 0)
        host.remove(0, kSchemes.at(scheme).size() + 3);
    static const QRegularExpression withPort(QStringLiteral("^(.*[^:]):(\\d{1,5})$"));
    const QRegularExpressionMatch match = withPort.match(host);
    if (match.hasMatch()) {
        const int typedPort = match.captured(2).toInt();
        if (typedPort >= 1 && typedPort <= 65535) {
            *port = typedPort;
            host = match.captured(1);
        }
    }
    return host;
}

} // namespace

FtpExportDialog::FtpExportDialog(Model *model, Filter *filter, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::FtpExportDialog>())
    , m_model(model)
    , m_filter(filter)
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    LoadFields();

    connect(ui->hostEdit, &QLineEdit::textChanged, this, &FtpExportDialog::UpdatePath);
    connect(ui->hostEdit, &QLineEdit::textEdited, this, &FtpExportDialog::HostEdited);
    // Once the host is typed, its port stands in the port field alone.
    connect(ui->hostEdit, &QLineEdit::editingFinished, this, [this]() {
        int port = ui->portSpin->value();
        const QString host = BareHost(ui->hostEdit->text(), &port);
        if (host != ui->hostEdit->text())
            ui->hostEdit->setText(host);
    });
    connect(ui->pathEdit, &QLineEdit::textChanged, this, &FtpExportDialog::UpdatePath);
    connect(ui->modeCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &FtpExportDialog::UpdatePath);
    connect(ui->portSpin, QOverload<int>::of(&QSpinBox::valueChanged), this, &FtpExportDialog::UpdatePath);
    connect(ui->protocolCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &FtpExportDialog::ProtocolChanged);
    connect(ui->showPasswordButton, &QToolButton::toggled, this, [this](bool shown) {
        ui->passwordEdit->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
    });
    connect(ui->keyFileButton, &QToolButton::clicked, this, &FtpExportDialog::ChooseKeyFile);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &FtpExportDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);

    ProtocolChanged(ui->protocolCombo->currentIndex());
}

FtpExportDialog::~FtpExportDialog() = default;

QString FtpExportDialog::Scheme() const
{
    return kSchemes.value(ui->protocolCombo->currentIndex(), kSchemes.first());
}

void FtpExportDialog::LoadFields()
{
    const int protocol = kSchemes.indexOf(m_model->Option(Schema::Option::FtpProtocol));
    ui->protocolCombo->setCurrentIndex(qMax(0, protocol));
    m_protocol = ui->protocolCombo->currentIndex();
    ui->portSpin->setValue(FtpUploader::DefaultPort(Scheme()));
    bool portOk = false;
    const int port = m_model->Option(Schema::Option::FtpPort).toInt(&portOk);
    if (portOk && port >= 1 && port <= 65535)
        ui->portSpin->setValue(port);
    ui->hostEdit->setText(m_model->Option(Schema::Option::FtpHost));
    ui->loginEdit->setText(m_model->Option(Schema::Option::FtpLogin));
    ui->pathEdit->setText(m_model->Option(Schema::Option::FtpPath));
    ui->modeCombo->setCurrentIndex(m_model->Option(Schema::Option::FtpMode) == QLatin1String("1") ? 1 : 0);
    ui->insecureCheck->setChecked(m_model->Option(Schema::Option::FtpInsecure) == QLatin1String("1"));
    ui->keyFileEdit->setText(m_model->Option(Schema::Option::FtpKeyFile));
    bool remembered = false;
    const QString password = RememberedPassword::Load(*m_model, kPasswordKeys, &remembered);
    ui->rememberPasswordCheck->setChecked(remembered);
    ui->passwordEdit->setText(password);
}

void FtpExportDialog::StoreFields()
{
    m_model->SetOption(Schema::Option::FtpProtocol, Scheme());
    m_model->SetOption(Schema::Option::FtpHost, ui->hostEdit->text().trimmed());
    m_model->SetOption(Schema::Option::FtpPort, QString::number(ui->portSpin->value()));
    m_model->SetOption(Schema::Option::FtpLogin, ui->loginEdit->text());
    m_model->SetOption(Schema::Option::FtpPath, ui->pathEdit->text());
    m_model->SetOption(Schema::Option::FtpMode, QString::number(ui->modeCombo->currentIndex()));
    m_model->SetOption(Schema::Option::FtpInsecure,
                       ui->insecureCheck->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    m_model->SetOption(Schema::Option::FtpKeyFile, ui->keyFileEdit->text());
    // The password is kept only when the user asked for it, in the
    // keyring when one answers, and forgotten when unticked.
    RememberedPassword::Keep(this, *m_model, kPasswordKeys,
                             Keyring::FtpEntry(ui->loginEdit->text(), ui->hostEdit->text().trimmed(),
                                               ui->portSpin->value()),
                             ui->passwordEdit->text(), ui->rememberPasswordCheck->isChecked());
}

void FtpExportDialog::ProtocolChanged(int index)
{
    // A port left at the old protocol's usual value follows the new one; a
    // port the user chose stays.
    const int oldDefault = FtpUploader::DefaultPort(kSchemes.value(m_protocol));
    if (index != m_protocol && ui->portSpin->value() == oldDefault)
        ui->portSpin->setValue(FtpUploader::DefaultPort(kSchemes.value(index)));
    m_protocol = index;
    const bool sftp = index == kSftp;
    ui->keyFileLabel->setVisible(sftp);
    ui->keyFileEdit->setVisible(sftp);
    ui->keyFileButton->setVisible(sftp);
    // Plain FTP has no certificate to check.
    ui->insecureCheck->setEnabled(index != 0);
    UpdatePath();
}

void FtpExportDialog::HostEdited(const QString &text)
{
    const int typed = TypedScheme(text.trimmed());
    if (typed >= 0 && typed != ui->protocolCombo->currentIndex())
        ui->protocolCombo->setCurrentIndex(typed);
}

void FtpExportDialog::ChooseKeyFile()
{
    const QString start = ui->keyFileEdit->text().isEmpty() ? QDir::homePath() + QLatin1String("/.ssh")
                                                            : ui->keyFileEdit->text();
    const QString file = QFileDialog::getOpenFileName(this, tr("Файл закрытого ключа"), start);
    if (!file.isEmpty())
        ui->keyFileEdit->setText(QDir::toNativeSeparators(file));
}

void FtpExportDialog::UpdatePath()
{
    int port = ui->portSpin->value();
    QString host = BareHost(ui->hostEdit->text(), &port);
    if (port != ui->portSpin->value()) {
        // A port typed after the host name is the port to use.
        const QSignalBlocker blocker(ui->portSpin);
        ui->portSpin->setValue(port);
    }
    if (host.isEmpty())
        host = QStringLiteral("localhost");

    const QString folder = ui->pathEdit->text();
    QString path = QDir::cleanPath(host + QLatin1Char('/') + folder);
    QString pattern;
    if (ui->modeCombo->currentIndex() == 1) {
        path += QLatin1Char('/');
        pattern = kPattern;
    } else if (folder.isEmpty() || folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\'))) {
        path += QLatin1Char('/') + kSingleFileName;
    }

    const QString scheme = Scheme();
    const int slash = path.indexOf(QLatin1Char('/'));
    QString server = path.left(slash);
    QString rest = path.mid(slash);
    if (port != FtpUploader::DefaultPort(scheme))
        server += QLatin1Char(':') + QString::number(port);
    // SFTP paths start at the server's root; like FTP's, ours start in the
    // user's home folder unless the folder is written from "/".
    if (scheme == kSchemes.at(kSftp) && !folder.trimmed().startsWith(QLatin1Char('/')))
        rest.prepend(QLatin1String("/~"));
    m_exportAddress = QUrl::fromUserInput(scheme + QLatin1String("://") + server + rest).toString(QUrl::FullyEncoded);
    ui->pathLabel->setText(m_exportAddress + pattern);
}

void FtpExportDialog::accept()
{
    StoreFields();
    QUrl url(m_exportAddress, QUrl::TolerantMode);
    url.setPort(ui->portSpin->value());
    url.setUserName(ui->loginEdit->text(), QUrl::DecodedMode);
    url.setPassword(ui->passwordEdit->text(), QUrl::DecodedMode);
    FtpUploader::Options options;
    options.insecure = ui->insecureCheck->isChecked() && ui->protocolCombo->currentIndex() != 0;
    if (ui->protocolCombo->currentIndex() == kSftp)
        options.keyFile = QDir::fromNativeSeparators(ui->keyFileEdit->text().trimmed());
    const bool byCats = ui->modeCombo->currentIndex() != 0;

    // Log in before a long save: a wrong password or a dead server is told
    // at once, and the dialog stays open to mend it.
    QUrl folder = url;
    const QString path = url.path(QUrl::FullyDecoded);
    folder.setPath(path.left(path.lastIndexOf(QLatin1Char('/')) + 1), QUrl::DecodedMode);
    FtpUploader::TestResult tested = FtpUploader::Failed;
    QString why;
    RunWithProgress(this, false, [&](IProgress *progress) {
        progress->Report(0, 0, tr("Проверка соединения"));
        FtpUploader uploader(options, progress);
        tested = uploader.Test(folder);
        why = uploader.ErrorText();
    });
    switch (tested) {
    case FtpUploader::Accessible:
        break;
    case FtpUploader::Cancelled:
        return;
    case FtpUploader::LoginRefused:
        QMessageBox::warning(this, tr("Соединение недоступно"), tr("Неверный логин или пароль"));
        return;
    case FtpUploader::Failed:
        ErrorBox::Show(this, QMessageBox::Warning, tr("Соединение недоступно"), why,
                       tr("Проверьте интернет соединение"));
        return;
    }

    const QStringList columns = m_model->CollectHeader(&m_model->Root(), m_filter, true);
    QStringList selected;
    {
        ExportOptionsDialog columnsDialog(columns, this, m_model->BaseRows() > 0);
        if (columnsDialog.exec() != QDialog::Accepted)
            return;
        selected = columnsDialog.SelectedColumns();
    }
    if (!DeleteConfirmation::Ask(this, *m_model, m_filter))
        return;

    bool exported = true;
    QString error;
    const QString address = url.toString(QUrl::FullyEncoded);
    const int result = RunWithProgress(this, false, [&](IProgress *progress) {
        exported = m_model->ExportToFtpServer(address, options, byCats, &selected, m_filter, progress);
        if (!exported)
            error = m_model->LastError();
    });
    if (exported) {
        ErrorBox::Show(this, QMessageBox::Information, tr("Экспорт"), tr("Экспорт завершён удачно"));
        QDialog::accept();
    } else if (result == QDialog::Rejected) {
        // A cancel is the user's wish, not a failure.
        ErrorBox::Show(this, QMessageBox::Information, tr("Экспорт"), tr("Отменено"));
    } else {
        ErrorBox::Show(this, QMessageBox::Warning, tr("Экспорт"), error, tr("Экспорт не завершён"));
    }
}
