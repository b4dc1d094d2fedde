#include "modxmanager.h"

#include <limits>

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonParseError>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include "iprogress.h"
#include "shownaddress.h"

namespace {

const QString kSuccess = QStringLiteral("success");
const QString kMessage = QStringLiteral("message");
const QString kObject = QStringLiteral("object");

// The reply object when the body is not JSON.
QJsonObject Unparsed(const QByteArray &body, const QJsonParseError &error)
{
    return QJsonObject{{QStringLiteral("content"), QString::fromUtf8(body)},
                       {kMessage, QString(QLatin1String("Parse error: ") + error.errorString())}};
}

} // namespace

ModxManager::ModxManager(const QString &host, const QString &login, const QString &password)
    // The host as messages and the loaded source show it: a password typed
    // into it stays out of them.
    : host(ShownAddress::Address(host))
    , url(EndpointOf(host))
    , login(login)
    , password(password)
    , network(std::make_unique<QNetworkAccessManager>())
{
}

ModxManager::~ModxManager() = default;

QString ModxManager::EndpointOf(const QString &host)
{
    QString endpoint = host.startsWith(QLatin1String("http")) ? host : QLatin1String("http://") + host;
    if (!endpoint.contains(QLatin1Char('?'))) {
        if (!endpoint.endsWith(QLatin1Char('/')))
            endpoint += QLatin1Char('/');
        endpoint += QLatin1String("cron.php");
    }
    return endpoint;
}

QJsonDocument ModxManager::Request(const QString &action, const QJsonValue &payload)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("action"), action}, {kObject, payload}});
}

void ModxManager::SetProgress(IProgress *progress)
{
    this->progress = progress;
}

bool ModxManager::Post(const QJsonDocument &request, QJsonObject *reply, IProgress *progress)
{
    return PostBody(request.toJson(QJsonDocument::Compact), reply, progress);
}

bool ModxManager::PostBody(const QByteArray &body, QJsonObject *reply, IProgress *progress, QByteArray *raw)
{
    m_cancelled = false;
    QNetworkRequest httpRequest{QUrl(url)};
    httpRequest.setRawHeader("Content-Type", "application/json");
    httpRequest.setRawHeader("Accept", "application/json");
    std::unique_ptr<QNetworkReply> httpReply(network->post(httpRequest, body));
    const ReplyWatchdog *watchdog = new ReplyWatchdog(httpReply.get(), m_limits);

    QEventLoop loop;
    QObject::connect(httpReply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (progress)
        progress->BindEventLoop(&loop);
    if (!httpReply->isFinished())
        loop.exec();

    if (!httpReply->isFinished()) {
        // Only a cancel quits the loop before the reply has finished.
        m_cancelled = true;
        httpReply->abort();
        m_error = tr("Обмен с сайтом %1 отменён").arg(host);
        *reply = QJsonObject{{kMessage, m_error}};
        return false;
    }

    const QByteArray answer = httpReply->isOpen() ? httpReply->readAll() : QByteArray();
    const int status = httpReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();

    if (httpReply->error() == QNetworkReply::NoError && status >= 300 && status < 400) {
        // A POST is not repeated elsewhere behind the user's back: the
        // address to use is named instead.
        const QString target = httpReply->header(QNetworkRequest::LocationHeader).toUrl().toString();
        m_error = tr("Сайт %1 перенаправляет запросы на %2: укажите этот адрес").arg(host, target);
        if (progress)
            progress->Report(0, 0, tr("Не удалось соединиться с ") + host);
        *reply = QJsonObject{{kMessage, m_error}};
        return false;
    }

    if (httpReply->error() != QNetworkReply::NoError) {
        // The only abort before this point is the watchdog's, which says
        // which limit struck.
        QString text = watchdog->Reason();
        if (text.isEmpty())
            text = httpReply->errorString();
        // An error status may still carry the script's own explanation.
        const QString siteMessage = QJsonDocument::fromJson(answer).object().value(kMessage).toString();
        if (!siteMessage.isEmpty())
            text += QLatin1String(": ") + siteMessage;
        m_error = tr("Не удалось соединиться с %1: %2").arg(host, text);
        if (progress)
            progress->Report(0, 0, tr("Не удалось соединиться с ") + host);
        *reply = QJsonObject{{kMessage, text}};
        return false;
    }

    if (raw) {
        *raw = answer;
        return true;
    }
    *reply = ParseReply(answer);
    return true;
}

QJsonObject ModxManager::ParseReply(const QByteArray &body)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    return parseError.error == QJsonParseError::NoError ? document.object() : Unparsed(body, parseError);
}

bool ModxManager::Connect(IProgress *progress)
{
    connected = false;
    m_error.clear();
    if (progress)
        progress->Report(0, 0, tr("Соединение с %1...").arg(host));

    QJsonObject reply;
    const bool answered = Post(Request(QStringLiteral("login"),
                                       QJsonObject{{QStringLiteral("login"), login},
                                                   {QStringLiteral("password"), password}}),
                               &reply, progress);
    ReportReply(reply, progress, 0, 0);
    connected = reply.value(kSuccess).toBool();
    if (!connected) {
        if (progress)
            progress->Report(0, 0, tr("Не удалось подключиться"));
        if (answered)
            m_error = tr("Сайт %1 не принял вход: %2").arg(host, reply.value(kMessage).toString());
        return false;
    }

    if (progress && !progress->Report(0, 0, tr("Получение конфигурации..."))) {
        connected = false;
        m_error = tr("Обмен с сайтом %1 отменён").arg(host);
        return false;
    }
    reply = QJsonObject();
    const bool configured = Post(Request(QStringLiteral("configure"), QJsonObject{{QStringLiteral("login"), login}}),
                                 &reply, progress);
    ReportReply(reply, progress, 0, 0);
    const QJsonObject configuration = reply.value(kObject).toObject();
    if (!reply.value(kSuccess).toBool() || configuration.isEmpty() || !ReadConfiguration(configuration)) {
        connected = false;
        if (progress)
            progress->Report(0, 0, tr("Конфигурация не получена!"));
        if (configured && m_error.isEmpty())
            m_error = tr("Сайт %1 не прислал конфигурацию: %2").arg(host, reply.value(kMessage).toString());
        return false;
    }
    return true;
}

bool ModxManager::ReadConfiguration(const QJsonObject &configuration)
{
    siteHeader.clear();
    const QJsonArray header = configuration.value(QStringLiteral("header")).toArray();
    for (const QJsonValue &column : header) {
        if (column.isString())
            siteHeader.append(column.toString());
    }
    if (siteHeader.isEmpty()) {
        m_error = tr("Сайт %1 не назвал ни одной колонки").arg(host);
        return false;
    }

    // The client divides by the chunk size and asks for that many rows at a
    // time: only a positive whole number will do.
    const QJsonValue chunk = configuration.value(QStringLiteral("chunkSize"));
    chunkSize = kDefaultChunkSize;
    if (chunk.isDouble()) {
        const double value = chunk.toDouble();
        if (!(value >= 1 && value <= std::numeric_limits<int>::max() && value == qint64(value))) {
            m_error = tr("Сайт %1 прислал неверный размер порции: %2").arg(host, QString::number(value));
            return false;
        }
        chunkSize = int(value);
    }

    const QJsonValue size = configuration.value(QStringLiteral("existDataSize"));
    existDataSize = 0;
    if (!size.isUndefined()) {
        const double value = size.toDouble(-1);
        if (!(value >= 0 && value < 9007199254740992.0 && value == qint64(value))) {
            m_error = tr("Сайт %1 прислал неверное число строк").arg(host);
            return false;
        }
        existDataSize = qint64(value);
    }

    rowBuffer.clear();
    rowBuffer.reserve(qMin(chunkSize, 10000));
    return true;
}

bool ReportReply(const QJsonObject &reply, IProgress *progress, int current, int max)
{
    if (!progress)
        return true;
    const bool success = reply.value(kSuccess).toBool();
    QString message = reply.value(kMessage).toString();
    if (message.isEmpty())
        message = success ? QStringLiteral("Success") : QStringLiteral("Fail!");
    bool goOn = progress->Report(current, max, QCoreApplication::translate("ModxManager", "Ответ сервера: ") + message);
    if (!success) {
        const QString details = QString::fromUtf8(QJsonDocument(reply).toJson(QJsonDocument::Compact));
        goOn = progress->Report(current, max, QCoreApplication::translate("ModxManager", "Подробно: ") + details);
    }
    return goOn;
}
