#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class QNetworkReply;

// Keeps one network wait bounded. Attached to a reply (as its child, so
// that it goes with it), it aborts the reply when the server does not
// answer in time, when the transfer stops or crawls, or when the whole
// request takes too long, and keeps a sentence saying which limit struck.
// Every wait of the program starts from Defaults(); a test shortens them
// with SetDefaults() before its first request. A watchdog lives on its
// reply's thread, whose event loop must run meanwhile; a cancel still ends
// the wait at once by quitting that loop, as before.
class ReplyWatchdog final : public QObject
{
    Q_OBJECT

public:
    struct Limits
    {
        // Until the server answers: its headers, or the first byte either way.
        int answerMs = 30000;
        // Without a byte either way, once the server answered.
        int stallMs = 60000;
        // Once the answer began, every stretch of this length must bring at
        // least rateBytes; fewer is a stall too.
        int rateWindowMs = 60000;
        qint64 rateBytes = 1024;
        // The whole request, redirects included; 0 sets no limit (a feed
        // or a picture takes as long as it takes while it keeps coming).
        int wholeMs = 10 * 60 * 1000;
    };

    // The limits in force for new waits. Safe from any thread.
    static Limits Defaults();
    static void SetDefaults(const Limits &limits);

    // Starts watching at once; a reply that finished already is left alone.
    ReplyWatchdog(QNetworkReply *reply, const Limits &limits);

    // Why the reply was aborted; empty while no limit struck.
    QString Reason() const { return m_reason; }
    // The reason of the watchdog attached to a reply; empty without one.
    static QString ReasonOf(const QNetworkReply *reply);

    // "30 с", "10 мин": how the limits are named in the reasons.
    static QString Duration(int ms);

private:
    Q_DISABLE_COPY(ReplyWatchdog)

    enum class Phase { Waiting, Sending, Receiving };

    void Check();
    void Strike(const QString &reason);
    void Answered();
    void Received(qint64 total);
    void Sent(qint64 total);
    void Redirected();
    void Stop();

    QNetworkReply *m_reply;
    const Limits m_limits;
    Phase m_phase = Phase::Waiting;
    QElapsedTimer m_clock;
    qint64 m_phaseStart = 0;   // when the present phase began (ms on m_clock)
    qint64 m_lastByte = 0;     // when the last byte went either way
    qint64 m_windowStart = 0;  // the present stretch of the rate rule
    qint64 m_windowBytes = 0;
    qint64 m_received = 0;     // as the reply counts them, for the increments
    qint64 m_sent = 0;
    QTimer m_tick;
    QString m_reason;
};
