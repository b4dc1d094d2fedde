#pragma once

#include <csignal>

#include <QObject>

class QSocketNotifier;

// Turns the requests to end the program that come as signals (SIGTERM when
// the session ends or someone runs kill, SIGINT from the terminal that
// started it, SIGHUP when that terminal closes) into the terminated()
// signal on the thread that owns the watcher, so that the window closes the
// normal way and its exit autosave runs. The handler only writes a byte
// into a pipe that a socket notifier watches, which is all a signal handler
// may safely do; it is reset by its first delivery, so a second request
// ends the program at once. One watcher at a time.
class TerminationWatcher final : public QObject
{
    Q_OBJECT

public:
    explicit TerminationWatcher(QObject *parent = nullptr);
    ~TerminationWatcher() override;

    // False when the pipe or the handlers could not be set up.
    bool IsActive() const { return m_notifier != nullptr; }

signals:
    void terminated();

private:
    Q_DISABLE_COPY(TerminationWatcher)

    static void HandleSignal(int);
    void Drain();

    static const int s_signals[3];
    static volatile std::sig_atomic_t s_writeEnd;
    int m_pipe[2] = {-1, -1};
    QSocketNotifier *m_notifier = nullptr;
    struct sigaction m_previous[3] {};
};
