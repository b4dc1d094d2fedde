#pragma once

#include <csignal>

#include <QObject>

class QSocketNotifier;

// Turns Ctrl+C (SIGINT) into the interrupted() signal on the thread that
// owns the watcher. The handler itself only writes a byte into a pipe that
// a socket notifier watches, which is all a signal handler may safely do.
// The handler is reset by its first delivery, so a second Ctrl+C ends the
// program at once. One watcher at a time.
class InterruptWatcher final : public QObject
{
    Q_OBJECT

public:
    explicit InterruptWatcher(QObject *parent = nullptr);
    ~InterruptWatcher() override;

    // False when the pipe or the handler could not be set up.
    bool IsActive() const { return m_notifier != nullptr; }

signals:
    void interrupted();

private:
    Q_DISABLE_COPY(InterruptWatcher)

    static void HandleSignal(int);
    void Drain();

    static volatile std::sig_atomic_t s_writeEnd;
    int m_pipe[2] = {-1, -1};
    QSocketNotifier *m_notifier = nullptr;
    struct sigaction m_previous {};
};
