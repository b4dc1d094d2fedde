#pragma once

#include <csignal>
#include <initializer_list>
#include <vector>

#include <QObject>

class QSocketNotifier;

// Turns the system's signals that ask the program to stop (Ctrl+C, the end
// of a session, kill) into the received() signal on the thread that owns
// the watcher, where the program can stop the normal way: fidmora-cli
// cancels its step, the window closes and writes its autosave. The handler
// only writes a byte into a pipe that a socket notifier watches, which is
// all a signal handler may safely do; it is reset by its first delivery, so
// a second signal ends the program at once. A signal that the program was
// started to ignore (under nohup, say) stays ignored. One watcher at a time.
class SignalWatcher final : public QObject
{
    Q_OBJECT

public:
    SignalWatcher(std::initializer_list<int> watched, QObject *parent = nullptr);
    ~SignalWatcher() override;

    // False when the pipe or the handlers could not be set up.
    bool IsActive() const { return m_notifier != nullptr; }

signals:
    // One of the watched signals came (SIGINT, SIGTERM...).
    void received(int signalNumber);

private:
    Q_DISABLE_COPY(SignalWatcher)

    static void HandleSignal(int);
    void Drain();

    static volatile std::sig_atomic_t s_writeEnd;
    std::vector<int> m_signals;
    std::vector<struct sigaction> m_previous;
    int m_pipe[2] = {-1, -1};
    QSocketNotifier *m_notifier = nullptr;
};
