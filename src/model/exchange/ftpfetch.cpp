#include "ftpfetch.h"

#include <mutex>

#include <QElapsedTimer>
#include <QNetworkReply>

#include <curl/curl.h>

#include "replywatchdog.h"

namespace {

const qint64 kTickInterval = 200;

struct Transfer
{
    const FtpFetch::Sink &sink;
    const FtpFetch::Tick &tick;
    QElapsedTimer sinceTick;
    bool stopped = false;
};

size_t Write(char *data, size_t size, size_t count, void *transfer)
{
    auto *t = static_cast<Transfer *>(transfer);
    const size_t bytes = size * count;
    if (!t->sink(data, qint64(bytes))) {
        t->stopped = true;
        return 0;
    }
    return bytes;
}

int Progress(void *transfer, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t)
{
    auto *t = static_cast<Transfer *>(transfer);
    if (t->sinceTick.isValid() && t->sinceTick.elapsed() < kTickInterval)
        return 0;
    t->sinceTick.start();
    if (!t->tick(qint64(now), qint64(total))) {
        t->stopped = true;
        return 1;
    }
    return 0;
}

// Whole seconds, at least one: libcurl's stall limit counts in seconds.
long Seconds(int ms)
{
    return qMax(1L, long((ms + 999) / 1000));
}

} // namespace

FtpFetch::Result FtpFetch::Run(const QUrl &url, const Sink &sink, const Tick &tick, QString *error,
                               int *networkError)
{
    *networkError = QNetworkReply::NoError;
    static std::once_flag once;
    std::call_once(once, []() { curl_global_init(CURL_GLOBAL_DEFAULT); });
    CURL *curl = curl_easy_init();
    if (!curl) {
        *error = tr("нет памяти для соединения");
        return Failed;
    }
    // The user and the password go apart from the address, which libcurl
    // may quote in its errors.
    const QByteArray address = url.toEncoded(QUrl::RemoveUserInfo);
    const QByteArray user = url.userName(QUrl::FullyDecoded).toUtf8();
    const QByteArray password = url.password(QUrl::FullyDecoded).toUtf8();
    char errorBuffer[CURL_ERROR_SIZE + 1] = {};
    const ReplyWatchdog::Limits limits = ReplyWatchdog::Defaults();
    Transfer transfer{sink, tick, QElapsedTimer(), false};

    curl_easy_setopt(curl, CURLOPT_URL, address.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "ftp");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    if (!user.isEmpty())
        curl_easy_setopt(curl, CURLOPT_USERNAME, user.constData());
    if (!password.isEmpty())
        curl_easy_setopt(curl, CURLOPT_PASSWORD, password.constData());
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(limits.answerMs));
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, Seconds(limits.answerMs));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, Seconds(limits.stallMs));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Write);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &Progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
    const CURLcode code = curl_easy_perform(curl);
    curl_easy_cleanup(curl);
    if (transfer.stopped)
        return Stopped;
    if (code == CURLE_OK)
        return Done;
    QString reason = QString::fromUtf8(errorBuffer[0] ? errorBuffer : curl_easy_strerror(code));
    if (!password.isEmpty())
        reason.replace(QString::fromUtf8(password), QStringLiteral("***"));
    *error = reason;
    switch (code) {
    case CURLE_COULDNT_CONNECT:
        *networkError = QNetworkReply::ConnectionRefusedError;
        break;
    case CURLE_OPERATION_TIMEDOUT:
        *networkError = QNetworkReply::TimeoutError;
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
        *networkError = QNetworkReply::HostNotFoundError;
        break;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
        *networkError = QNetworkReply::RemoteHostClosedError;
        break;
    default:
        *networkError = QNetworkReply::UnknownNetworkError;
        break;
    }
    return Failed;
}
