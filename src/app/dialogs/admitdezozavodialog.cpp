#include "admitdezozavodialog.h"

#include "ui_admitdezozavodialog.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QDir>
#include <QMessageBox>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPushButton>
#include <QTemporaryFile>

#include "addurldialog.h"
#include "admitadrelay.h"
#include "replywatchdog.h"

AdmitdeZozavoDialog::AdmitdeZozavoDialog(const QString &authorisationUrl, QWidget *parent, const QString &relay)
    : QDialog(parent)
    , requestUrl(authorisationUrl)
    , network(new QNetworkAccessManager(this))
    , ui(std::make_unique<Ui::AdmitdeZozavoDialog>())
    , m_relay(relay.isEmpty() ? AdmitadRelay::Address() : relay)
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ui->buttonBox->button(QDialogButtonBox::Ok)->setText(tr("Авторизоваться"));
    QPushButton *settings = ui->buttonBox->addButton(tr("Настройки сервиса..."), QDialogButtonBox::ActionRole);
    settings->setObjectName(QStringLiteral("relaySettingsButton"));
    connect(settings, &QPushButton::clicked, this, &AdmitdeZozavoDialog::ChangeRelay);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &AdmitdeZozavoDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &AdmitdeZozavoDialog::reject);
    connect(network, &QNetworkAccessManager::finished, this, &AdmitdeZozavoDialog::DataRecived);
    // The address whole, for a browser the program cannot open: a line that
    // scrolls and selects rather than a label that cuts it.
    ui->addressEdit->setText(authorisationUrl);
    ui->addressEdit->setCursorPosition(0);
    connect(ui->copyAddress, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(ui->addressEdit->text()); });

    m_pause.setSingleShot(true);
    connect(&m_pause, &QTimer::timeout, this, [this] { DataRecived(nullptr); });
    m_limit.setSingleShot(true);
    connect(&m_limit, &QTimer::timeout, this, &AdmitdeZozavoDialog::GiveUp);
    m_ticker.setInterval(1000);
    connect(&m_ticker, &QTimer::timeout, this, &AdmitdeZozavoDialog::ShowWaiting);
}

AdmitdeZozavoDialog::~AdmitdeZozavoDialog()
{
    StopPolling();
}

void AdmitdeZozavoDialog::SetPollTimes(int pauseMs, int limitMs)
{
    m_pauseMs = pauseMs;
    m_limitMs = limitMs;
}

void AdmitdeZozavoDialog::accept()
{
    if (m_polling)
        return;
    const QString state = AdmitadRelay::StateOf(requestUrl);
    if (state.isNull()) {
        QMessageBox::warning(this, tr("Ошибка"),
                             tr("Сервис вернул адрес авторизации без параметра state: %1").arg(requestUrl));
        reject();
        return;
    }
    // Only a web page is opened: the address comes from a service, and any
    // other scheme could start a program or open a local file.
    const QUrl page(requestUrl, QUrl::TolerantMode);
    const QString scheme = page.scheme().toLower();
    if (page.host().isEmpty() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        QMessageBox::warning(this, tr("Ошибка"),
                             tr("Сервис вернул адрес авторизации, который нельзя открыть в браузере: %1")
                                     .arg(requestUrl));
        reject();
        return;
    }
    const AdmitadRelay relay(m_relay);
    if (!relay.IsValid()) {
        QMessageBox::warning(this, tr("Ошибка"),
                             tr("Адрес сервиса авторизации не задан или неверен: \"%1\"").arg(m_relay));
        reject();
        return;
    }
    if (!QDesktopServices::openUrl(page)) {
        // The user can still authorise by hand while the dialog waits.
        ui->label->setText(tr("Не удалось открыть браузер. Откройте адрес ниже сами: кнопка «Копировать» "
                              "копирует его целиком."));
        ui->addressEdit->setFocus();
        ui->addressEdit->selectAll();
    }
    requestUrl = QString::fromLatin1(relay.DataUrl(state).toEncoded());

    ui->buttonBox->button(QDialogButtonBox::Ok)->setEnabled(false);
    m_polling = true;
    m_clock.start();
    m_limit.start(m_limitMs);
    m_ticker.start();
    ShowWaiting();
    ui->waitLabel->show();
    DataRecived(nullptr);
}

void AdmitdeZozavoDialog::done(int result)
{
    // Cancel ends the wait at once: the outstanding request goes with it.
    StopPolling();
    QDialog::done(result);
}

void AdmitdeZozavoDialog::StopPolling()
{
    m_polling = false;
    m_pause.stop();
    m_limit.stop();
    m_ticker.stop();
    if (QNetworkReply *pending = m_pending) {
        m_pending = nullptr;
        pending->abort();
    }
}

void AdmitdeZozavoDialog::DataRecived(QNetworkReply *reply)
{
    if (!reply) {
        if (!m_polling)
            return;
        QNetworkRequest request(QUrl::fromEncoded(requestUrl.toLatin1(), QUrl::StrictMode));
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        m_pending = network->get(request);
        if (!m_pending) {
            reject();
            return;
        }
        // A poll that hangs would hold up every later one.
        new ReplyWatchdog(m_pending, ReplyWatchdog::Defaults());
        return;
    }

    reply->deleteLater();
    if (reply == m_pending)
        m_pending = nullptr;
    if (!m_polling)
        return;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || status < 200 || status > 299) {
        // Until the user has authorised, the relay answers with an error;
        // ask again after a pause, so as not to hammer it meanwhile.
        const QString stalled = ReplyWatchdog::ReasonOf(reply);
        m_lastProblem = !stalled.isEmpty() ? stalled : status == 0 ? reply->errorString() : QString();
        ShowWaiting();
        m_pause.start(m_pauseMs);
        return;
    }
    const QByteArray document = reply->readAll();
    StopPolling();
    if (!SaveResult(document)) {
        reject();
        return;
    }
    QDialog::accept();
}

bool AdmitdeZozavoDialog::SaveResult(const QByteArray &document)
{
    // A file of our own, readable by this user only: a fixed name in the
    // shared temporary folder could be planted by someone else.
    const QString folder = QDir::tempPath();
    QString failure;
    if (folder.isEmpty()) {
        // The folder named by TMPDIR does not exist; the name would
        // otherwise land in the root folder.
        failure = tr("временная папка %1 не найдена").arg(qEnvironmentVariable("TMPDIR"));
    } else {
        m_result = std::make_unique<QTemporaryFile>(folder + QLatin1String("/fidmora-admitad-XXXXXX.fdm"));
        if (!m_result->open() || m_result->write(document) != document.size() || !m_result->flush())
            failure = QDir::toNativeSeparators(folder) % QLatin1String(": ") % m_result->errorString();
    }
    if (!failure.isEmpty()) {
        QMessageBox::warning(this, tr("Ошибка"),
                             tr("Не удалось сохранить список офферов во временный файл: %1").arg(failure));
        m_result.reset();
        return false;
    }
    m_result->close();
    resultFile = m_result->fileName();
    return true;
}

void AdmitdeZozavoDialog::ShowWaiting()
{
    if (!m_polling)
        return;
    QString text = tr("Ожидание авторизации: %1").arg(DurationText(m_clock.elapsed()));
    if (!m_lastProblem.isEmpty())
        text += QLatin1Char('\n') + tr("Сервис не отвечает: %1").arg(m_lastProblem);
    ui->waitLabel->setText(text);
}

void AdmitdeZozavoDialog::GiveUp()
{
    StopPolling();
    QMessageBox::warning(this, tr("Ошибка"),
                         tr("Авторизация в Admitad не завершилась за %1. Загрузка офферов остановлена, "
                            "попробуйте ещё раз.")
                                 .arg(DurationText(m_limitMs)));
    reject();
}

void AdmitdeZozavoDialog::ChangeRelay()
{
    // The document may have come while the user was typing: it is kept.
    if (AskForRelay(this) && resultFile.isEmpty() && AdmitadRelay::Address() != m_relay)
        done(RelayChanged);
}

QString AdmitdeZozavoDialog::DurationText(qint64 ms)
{
    const qint64 seconds = ms / 1000;
    if (seconds < 60)
        return tr("%1 с").arg(seconds);
    if (seconds % 60 == 0)
        return tr("%1 мин").arg(seconds / 60);
    return tr("%1 мин %2 с").arg(seconds / 60).arg(seconds % 60);
}

bool AdmitdeZozavoDialog::AskForRelay(QWidget *parent)
{
    const QString variable = QLatin1String(AdmitadRelay::kEnvironmentVariable);
    if (AdmitadRelay::AddressFromEnvironment()) {
        QMessageBox::information(parent, tr("Настройки сервиса"),
                                 tr("Адрес сервиса авторизации задан переменной окружения %1: %2. "
                                    "Чтобы обращаться к другому сервису, измените эту переменную.")
                                         .arg(variable, AdmitadRelay::Address()));
        return false;
    }
    QString text = AdmitadRelay::StoredAddress();
    for (;;) {
        AddUrlDialog dialog(parent, tr("Адрес сервиса авторизации Admitad"),
                            QStringLiteral("http://relay.example.com:8080"), text);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        text = dialog.Url().trimmed();
        const QUrl address = AdmitadRelay::NormalizedAddress(text);
        if (address.isValid()) {
            AdmitadRelay::SetStoredAddress(address.toString());
            return true;
        }
        QMessageBox::warning(parent, tr("Ошибка"),
                             tr("\"%1\" не подходит как адрес сервиса: нужен адрес вида http://сервер:порт")
                                     .arg(text));
    }
}
