#include "replywatchdog.h"

#include <algorithm>
#include <mutex>

#include <QNetworkReply>

namespace {

std::mutex s_defaultsMutex;
ReplyWatchdog::Limits s_defaults;

// How often the limits are looked at: a tenth of the shortest, so that a
// limit strikes soon after it ran out, yet at most once a second, since a
// tick per byte would cost more than the transfer on a fast line.
int TickOf(const ReplyWatchdog::Limits &limits)
{
    int shortest = std::min({limits.answerMs, limits.stallMs, limits.rateWindowMs});
    if (limits.wholeMs > 0)
        shortest = std::min(shortest, limits.wholeMs);
    return std::clamp(shortest / 10, 20, 1000);
}

} // namespace

ReplyWatchdog::Limits ReplyWatchdog::Defaults()
{
    const std::lock_guard<std::mutex> lock(s_defaultsMutex);
    return s_defaults;
}

void ReplyWatchdog::SetDefaults(const Limits &limits)
{
    const std::lock_guard<std::mutex> lock(s_defaultsMutex);
    s_defaults = limits;
}

ReplyWatchdog::ReplyWatchdog(QNetworkReply *reply, const Limits &limits)
    : QObject(reply)
    , m_reply(reply)
    , m_limits(limits)
{
    m_clock.start();
    if (reply->isFinished())
        return;
    connect(reply, &QNetworkReply::metaDataChanged, this, &ReplyWatchdog::Answered);
    connect(reply, &QNetworkReply::downloadProgress, this, &ReplyWatchdog::Received);
    connect(reply, &QNetworkReply::uploadProgress, this, &ReplyWatchdog::Sent);
    connect(reply, &QNetworkReply::redirected, this, &ReplyWatchdog::Redirected);
    connect(reply, &QNetworkReply::finished, this, &ReplyWatchdog::Stop);
    connect(&m_tick, &QTimer::timeout, this, &ReplyWatchdog::Check);
    m_tick.start(TickOf(limits));
}

QString ReplyWatchdog::ReasonOf(const QNetworkReply *reply)
{
    const ReplyWatchdog *watchdog = reply ? reply->findChild<ReplyWatchdog *>(QString(), Qt::FindDirectChildrenOnly)
                                          : nullptr;
    return watchdog ? watchdog->Reason() : QString();
}

QString ReplyWatchdog::Duration(int ms)
{
    if (ms >= 60000 && ms % 60000 == 0)
        return tr("%1 мин").arg(ms / 60000);
    return tr("%1 с").arg(ms % 1000 == 0 ? QString::number(ms / 1000) : QString::number(ms / 1000.0, 'f', 1));
}

void ReplyWatchdog::Check()
{
    const qint64 now = m_clock.elapsed();
    if (m_limits.wholeMs > 0 && now >= m_limits.wholeMs) {
        Strike(tr("запрос не завершился за %1").arg(Duration(m_limits.wholeMs)));
        return;
    }
    switch (m_phase) {
    case Phase::Waiting:
        if (now - m_phaseStart >= m_limits.answerMs)
            Strike(tr("нет ответа %1").arg(Duration(m_limits.answerMs)));
        return;
    case Phase::Sending:
        // The request went out, or is going: the server may take its time
        // to answer, but not longer than a transfer may stand still.
        if (now - m_lastByte >= m_limits.stallMs)
            Strike(tr("нет ответа %1").arg(Duration(m_limits.stallMs)));
        return;
    case Phase::Receiving:
        if (now - m_lastByte >= m_limits.stallMs) {
            Strike(tr("загрузка остановилась: ни одного байта за %1").arg(Duration(m_limits.stallMs)));
            return;
        }
        if (now - m_windowStart < m_limits.rateWindowMs)
            return;
        if (m_windowBytes < m_limits.rateBytes) {
            Strike(tr("загрузка остановилась: меньше %1 КБ за %2")
                           .arg(QString::number(m_limits.rateBytes / 1024.0, 'g', 3), Duration(m_limits.rateWindowMs)));
            return;
        }
        m_windowStart = now;
        m_windowBytes = 0;
        return;
    }
}

void ReplyWatchdog::Strike(const QString &reason)
{
    Stop();
    m_reason = reason;
    // Emits finished() at once, so that whoever waits sees the reason.
    m_reply->abort();
}

void ReplyWatchdog::Answered()
{
    if (m_phase == Phase::Receiving)
        return;
    m_phase = Phase::Receiving;
    const qint64 now = m_clock.elapsed();
    m_phaseStart = now;
    m_lastByte = now;
    m_windowStart = now;
    m_windowBytes = 0;
}

void ReplyWatchdog::Received(qint64 total)
{
    // Counts start again after a redirect the reply followed itself.
    const qint64 bytes = total >= m_received ? total - m_received : total;
    m_received = total;
    if (bytes <= 0)
        return;
    Answered();
    m_lastByte = m_clock.elapsed();
    m_windowBytes += bytes;
}

void ReplyWatchdog::Sent(qint64 total)
{
    const qint64 bytes = total >= m_sent ? total - m_sent : total;
    m_sent = total;
    if (bytes <= 0)
        return;
    if (m_phase == Phase::Waiting)
        m_phase = Phase::Sending;
    m_lastByte = m_clock.elapsed();
}

void ReplyWatchdog::Redirected()
{
    // Another server, or another request to the same one: it gets the time
    // to answer again, within the whole request's limit.
    m_phase = Phase::Waiting;
    m_phaseStart = m_clock.elapsed();
    m_received = 0;
    m_sent = 0;
}

void ReplyWatchdog::Stop()
{
    m_tick.stop();
}
