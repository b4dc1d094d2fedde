#include "modxmanager.h"

#include <limits>

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonParseError>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include "feeddownload.h"
#include "iprogress.h"
#include "shownaddress.h"

namespace {

const QString kSuccess = QStringLiteral("success");
const QString kMessage = QStringLiteral("message");
const QString kObject = QStringLiteral("object");
const QString kContent = QStringLiteral("content");
const QString kError = QStringLiteral("error");
// The start of a body that is not JSON, as the account quotes it.
const int kQuotedBody = 300;

// The reply object when the body is not JSON.
QJsonObject Unparsed(const QByteArray &body, const QJsonParseError &error)
{
    return QJsonObject{{kContent, QString::fromUtf8(body)},
                       {kMessage, QString(QLatin1String("Parse error: ") + error.errorString())}};
}

// PHP prints its errors into the body when the site shows them.
bool IsPhpError(const QByteArray &body)
{
    for (const char *mark : {"Fatal error", "Parse error", "Warning</b>:", "Warning:", "Notice:", "Deprecated:",
                             "Uncaught ", "Stack trace:"}) {
        if (body.contains(mark))
            return true;
    }
    return false;
}

// The start of a body, on one line, tags and all.
QString Quoted(const QByteArray &body)
{
    QString text = QString::fromUtf8(body.left(kQuotedBody * 4)).simplified();
    if (text.size() > kQuotedBody)
        text = text.left(kQuotedBody) + QStringLiteral("…");
    return text;
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
        // The user's wish: no sentence of a failure.
        m_sentence.clear();
        m_error = tr("Обмен с сайтом %1 отменён").arg(host);
        *reply = QJsonObject{{kMessage, m_error}};
        return false;
    }

    const QByteArray answer = httpReply->isOpen() ? httpReply->readAll() : QByteArray();
    const int status = httpReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();

    if (httpReply->error() == QNetworkReply::NoError && status >= 300 && status < 400) {
        // A POST is not repeated elsewhere behind the user's back: the
        // address to use is named instead.
        const QString target =
                ShownAddress::Of(httpReply->header(QNetworkRequest::LocationHeader).toUrl());
        m_sentence = tr("Сайт перенаправляет запросы на другой адрес");
        m_error = tr("Сайт %1 перенаправляет запросы на %2: укажите этот адрес (HTTP %3)")
                          .arg(host, target)
                          .arg(status);
        if (progress)
            progress->Report(0, 0, tr("Не удалось соединиться с ") + host);
        *reply = QJsonObject{{kMessage, m_error}};
        return false;
    }

    if (httpReply->error() != QNetworkReply::NoError) {
        // The only abort before this point is the watchdog's, which says
        // which limit struck.
        QString text = watchdog->Reason();
        const QUrl endpoint(url);
        const QJsonObject site = QJsonDocument::fromJson(answer).object();
        const QString kind = site.value(kError).toString();
        if (!text.isEmpty()) {
            m_sentence = FeedDownload::PlainSentence(QNetworkReply::TimeoutError, endpoint);
        } else if (status == 0 || httpReply->error() < QNetworkReply::ContentAccessDenied) {
            // The connection failed, or broke after the status came.
            text = httpReply->errorString();
            m_sentence = FeedDownload::PlainSentence(httpReply->error(), endpoint);
            if (m_sentence.isEmpty())
                m_sentence = tr("Нет связи с сайтом");
        } else {
            text = QStringLiteral("HTTP %1: %2").arg(status).arg(httpReply->errorString());
            m_sentence = KindSentence(kind);
            if (m_sentence.isEmpty())
                m_sentence = StatusSentence(status, answer);
        }
        // An error status may still carry the script's own explanation, or
        // a page that says what went wrong.
        const QString siteMessage = site.value(kMessage).toString();
        if (!siteMessage.isEmpty())
            text += QLatin1String(": ") + siteMessage;
        else if (status != 0 && !answer.trimmed().isEmpty())
            text += QLatin1String("; ") + tr("ответ сайта: %1").arg(Quoted(answer));
        text = WithoutPassword(text);
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
    if (parseError.error == QJsonParseError::NoError) {
        m_bodySentence.clear();
        return document.object();
    }
    m_bodySentence = BodySentence(body, parseError);
    return Unparsed(body, parseError);
}

QString ModxManager::BodySentence(const QByteArray &body, const QJsonParseError &error)
{
    const QByteArray text = body.trimmed();
    if (text.isEmpty())
        return tr("Сайт прислал пустой ответ");
    if (IsPhpError(text))
        return tr("Скрипт обмена на сайте завершился с ошибкой PHP");
    const QByteArray start = text.left(512).toLower();
    if (start.startsWith("<!doctype") || start.contains("<html"))
        return tr("Сайт ответил веб-страницей, а не скриптом обмена");
    // A reply whose JSON breaks off at its very end was cut short on the way.
    int end = body.size();
    while (end > 0 && QChar::isSpace(uchar(body.at(end - 1))))
        --end;
    if ((text.startsWith('{') || text.startsWith('[')) && error.offset >= end - 1)
        return FeedDownload::PlainSentence(QNetworkReply::RemoteHostClosedError, QUrl());
    return tr("Ответ сайта не удалось прочитать");
}

QString ModxManager::KindSentence(const QString &kind)
{
    if (kind == QLatin1String("database"))
        return tr("База данных сайта недоступна");
    if (kind == QLatin1String("credentials"))
        return tr("Неверный логин или пароль");
    return QString();
}

QString ModxManager::StatusSentence(int status, const QByteArray &body)
{
    if (status == 401 || status == 403)
        return tr("Сайт закрыл доступ к скрипту обмена");
    if (status == 404 || status == 410)
        return tr("Скрипт обмена не найден по этому адресу");
    if (status == 429)
        return tr("Слишком много попыток входа, повторите позже");
    if (status >= 500 && IsPhpError(body))
        return tr("Скрипт обмена на сайте завершился с ошибкой PHP");
    if (status >= 500)
        return tr("Скрипт обмена на сайте завершился с ошибкой");
    return tr("Сайт ответил ошибкой %1").arg(status);
}

QString ModxManager::RefusalSentence(const QJsonObject &reply, const QString &otherwise) const
{
    if (reply.contains(kContent))
        return m_bodySentence;
    const QString kind = KindSentence(reply.value(kError).toString());
    if (!kind.isEmpty())
        return kind;
    if (!reply.value(kSuccess).isBool())
        return tr("Сайт прислал ответ не того вида, что ждёт программа");
    return otherwise;
}

QString ModxManager::ReplyAccount(const QJsonObject &reply) const
{
    QStringList parts;
    if (!reply.value(kMessage).toString().isEmpty())
        parts << reply.value(kMessage).toString();
    const QByteArray body = reply.contains(kContent) ? reply.value(kContent).toString().toUtf8()
            : reply.value(kSuccess).isBool()        ? QByteArray()
                                                    : QJsonDocument(reply).toJson(QJsonDocument::Compact);
    if (!body.trimmed().isEmpty())
        parts << tr("ответ сайта: %1").arg(Quoted(body));
    return WithoutPassword(parts.join(QLatin1String("; ")));
}

QString ModxManager::WithoutPassword(QString text) const
{
    text = ShownAddress::Masked(text);
    if (!password.isEmpty())
        text.replace(password, QStringLiteral("***"));
    // A password typed into the host.
    const QString typed = QUrl(url).password();
    if (!typed.isEmpty())
        text.replace(typed, QStringLiteral("***"));
    return text;
}

QString ModxManager::ErrorText() const
{
    if (m_sentence.isEmpty() || m_error.isEmpty())
        return m_sentence.isEmpty() ? m_error : m_sentence;
    return m_sentence + QLatin1String("\n\n") + m_error;
}

bool ModxManager::Connect(IProgress *progress)
{
    connected = false;
    m_error.clear();
    m_sentence.clear();
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
        if (answered) {
            // An older script refuses a login with no more than its message.
            m_sentence = RefusalSentence(reply, tr("Неверный логин или пароль"));
            m_error = tr("Сайт %1 не принял вход: %2").arg(host, ReplyAccount(reply));
        }
        return false;
    }

    if (progress && !progress->Report(0, 0, tr("Получение конфигурации..."))) {
        connected = false;
        m_sentence.clear();
        m_error = tr("Обмен с сайтом %1 отменён").arg(host);
        return false;
    }
    reply = QJsonObject();
    const bool configured = Post(Request(QStringLiteral("configure"), QJsonObject{{QStringLiteral("login"), login}}),
                                 &reply, progress);
    ReportReply(reply, progress, 0, 0);
    const QJsonObject configuration = reply.value(kObject).toObject();
    const bool refused = !reply.value(kSuccess).toBool();
    if (refused || configuration.isEmpty() || !ReadConfiguration(configuration)) {
        connected = false;
        if (progress)
            progress->Report(0, 0, tr("Конфигурация не получена!"));
        if (configured && refused) {
            m_sentence = RefusalSentence(reply, tr("Сайт не прислал свои настройки обмена"));
            m_error = tr("Сайт %1 не прислал конфигурацию: %2").arg(host, ReplyAccount(reply));
        } else if (configured) {
            m_sentence = tr("Сайт прислал неверную конфигурацию");
            if (m_error.isEmpty())
                m_error = tr("Сайт %1 не прислал конфигурацию: %2").arg(host, ReplyAccount(reply));
        }
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
