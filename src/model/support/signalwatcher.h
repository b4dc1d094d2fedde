#pragma once

#include <memory>

#include <QObject>

// Turns the system's requests to stop the program into the received()
// signal on the thread that owns the watcher, where the program can stop the
// normal way: fidmora-cli cancels its step, the window closes and writes its
// autosave. A second request of the same kind ends the program at once.
//
// On Linux and macOS the requests are SIGINT (Ctrl+C), SIGTERM (kill, the
// end of a session) and SIGHUP (the terminal closed); a signal the program
// was started to ignore (under nohup, say) stays ignored. On Windows they are
// the console's Ctrl+C and Ctrl+Break, its close box, the user's logoff and
// the shutdown; for the last three the system ends the program as soon as
// the handler returns, so the handler waits (a few seconds at most) until the
// watcher is destroyed, that is until the program has cleaned up.
// One watcher at a time (watchers made while one lives stay inactive).
class SignalWatcher final : public QObject
{
    Q_OBJECT

public:
    // What received() carries: the numbers POSIX gives the signals, on
    // every system (Windows' console events are mapped onto them), so that
    // fidmora-cli ends with 128 + the number everywhere.
    enum Request { HangUp = 1, Interrupt = 2, Terminate = 15 };

    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

    // False when the handlers could not be set up.
    bool IsActive() const;

signals:
    // A request to stop came (one of Request).
    void received(int signalNumber);

private:
    Q_DISABLE_COPY(SignalWatcher)

    struct State;
    std::unique_ptr<State> m_state;
};
