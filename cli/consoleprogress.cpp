#include "consoleprogress.h"

#include <QCoreApplication>
#include <QEventLoop>

#include "platform.h"
#include "shownaddress.h"
#include "signalwatcher.h"

namespace {

// Redraws of a terminal line and lines of a log, at most.
const qint64 kTerminalInterval = 100;
const qint64 kLogInterval = 500;
const int kBarWidth = 24;
const QChar kEllipsis(0x2026);

} // namespace

ConsoleProgress::ConsoleProgress(Mode mode, FILE *stream, QObject *parent)
    : QObject(parent), m_mode(mode), m_stream(stream)
{
    m_sinceShown.start();
}

ConsoleProgress::Mode ConsoleProgress::ModeFor(bool quiet, FILE *stream)
{
    if (quiet)
        return Quiet;
    return Platform::IsTerminal(stream) ? Terminal : Lines;
}

bool ConsoleProgress::Report(int current, int max, const QString &msg)
{
    if (m_mode != Quiet) {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_current = current;
        m_max = max;
        m_message = msg;
        m_pending = true;
        const qint64 interval = m_mode == Terminal ? kTerminalInterval : kLogInterval;
        if (!m_shownInStep || m_sinceShown.hasExpired(interval))
            ShowPending();
    }
    return !m_cancelled.load();
}

void ConsoleProgress::BindEventLoop(QEventLoop *loop)
{
    connect(this, &ConsoleProgress::QuitEventLoop, loop, &QEventLoop::quit);
    // A loop bound after the cancel would otherwise wait for its reply.
    if (m_cancelled.load())
        QMetaObject::invokeMethod(loop, &QEventLoop::quit, Qt::QueuedConnection);
}

void ConsoleProgress::Cancel()
{
    if (m_cancelled.exchange(true))
        return;
    // One context for every text of the command line.
    Message(QCoreApplication::translate(
            "Cli", "Отмена: текущий шаг остановится, как только сможет. Повторное Ctrl+C прервёт работу сразу."));
    emit QuitEventLoop();
}

void ConsoleProgress::Interrupt(int signalNumber)
{
    int none = 0;
    m_signal.compare_exchange_strong(none, signalNumber);
    if (signalNumber == SignalWatcher::Interrupt || m_cancelled.load()) {
        Cancel();
        return;
    }
    // A stop asked by the system (timeout, systemd, the end of a session):
    // the same cancel, told in its own words.
    m_cancelled.store(true);
    Message(QCoreApplication::translate("Cli", "Получен сигнал %1: текущий шаг остановится, как только сможет.")
                    .arg(SignalName(signalNumber)));
    emit QuitEventLoop();
}

QString ConsoleProgress::SignalName(int signalNumber)
{
    switch (signalNumber) {
    case SignalWatcher::Interrupt:
        return QStringLiteral("SIGINT");
    case SignalWatcher::Terminate:
        return QStringLiteral("SIGTERM");
    case SignalWatcher::HangUp:
        return QStringLiteral("SIGHUP");
    default:
        return QString::number(signalNumber);
    }
}

void ConsoleProgress::BeginStep(const QString &title)
{
    if (m_mode == Quiet)
        return;
    const std::lock_guard<std::mutex> lock(m_mutex);
    EndLine();
    Write(title + QLatin1Char('\n'));
    m_shownInStep = false;
    m_pending = false;
    m_lastLine.clear();
}

void ConsoleProgress::EndStep()
{
    if (m_mode == Quiet)
        return;
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pending)
        ShowPending();
    EndLine();
}

void ConsoleProgress::Message(const QString &text)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    EndLine();
    Write(text + QLatin1Char('\n'));
}

void ConsoleProgress::ShowPending()
{
    m_pending = false;
    m_shownInStep = true;
    m_sinceShown.restart();
    if (m_mode == Terminal) {
        Write(QLatin1Char('\r') + TerminalLine(m_current, m_max, m_message, TerminalWidth())
              + QLatin1String("\x1b[K"));
        m_lineOpen = true;
        return;
    }
    const QString line = LogLine(m_current, m_max, m_message);
    if (line == m_lastLine)
        return;
    m_lastLine = line;
    Write(line + QLatin1Char('\n'));
}

void ConsoleProgress::EndLine()
{
    if (!m_lineOpen)
        return;
    m_lineOpen = false;
    Write(QStringLiteral("\n"));
}

void ConsoleProgress::Write(const QString &text)
{
    // Errors of the network code quote addresses as they were given.
    const QByteArray bytes = ShownAddress::Masked(text).toUtf8();
    fwrite(bytes.constData(), 1, size_t(bytes.size()), m_stream);
    fflush(m_stream);
}

int ConsoleProgress::TerminalWidth() const
{
    return Platform::TerminalWidth(m_stream);
}

QString ConsoleProgress::TerminalLine(int current, int max, const QString &msg, int width)
{
    // The last column stays free, or some terminals wrap before the \r.
    const int room = qMax(10, width - 1);
    QString bar;
    if (max > 0) {
        const double part = qBound(0.0, double(current) / max, 1.0);
        const int filled = int(part * kBarWidth);
        bar = QLatin1String(" [") + QString(filled, QLatin1Char('#'))
                + QString(kBarWidth - filled, QLatin1Char('.')) + QLatin1String("] ")
                + QString::number(int(part * 100)).rightJustified(3) + QLatin1Char('%');
        if (bar.size() > room / 2)
            bar.clear();
    }
    QString text = msg.simplified();
    const int textRoom = room - bar.size();
    if (text.size() > textRoom) {
        // Paths and addresses tell most at both ends.
        const int head = (textRoom - 1) / 2;
        const int tail = textRoom - 1 - head;
        text = text.left(head) + kEllipsis + text.right(tail);
    }
    return text + bar;
}

QString ConsoleProgress::LogLine(int current, int max, const QString &msg)
{
    if (max == 0)
        return msg;
    return msg + QLatin1String(" (") + QString::number(current) + QLatin1Char('/') + QString::number(max)
            + QLatin1Char(')');
}
