#include "signalwatcher.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include <windows.h>

namespace {

// How long the handler of a closing console, a logoff or a shutdown keeps
// the system from ending the program while it cleans up: the system waits
// five seconds for a closing console before it ends the program anyway.
const auto kCleanUpWait = std::chrono::milliseconds(4500);

std::mutex s_lock;
std::condition_variable s_gone;
SignalWatcher *s_watcher = nullptr;
bool s_delivered[16] = {};

int RequestOf(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        return SignalWatcher::Interrupt;
    case CTRL_CLOSE_EVENT:
        return SignalWatcher::HangUp;
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        return SignalWatcher::Terminate;
    default:
        return 0;
    }
}

// Runs on a thread the system starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD event)
{
    const int request = RequestOf(event);
    std::unique_lock<std::mutex> lock(s_lock);
    // A second request of the same kind: the system's own handler ends the
    // program at once.
    if (!request || !s_watcher || s_delivered[request])
        return FALSE;
    s_delivered[request] = true;
    SignalWatcher *watcher = s_watcher;
    QMetaObject::invokeMethod(
            watcher, [watcher, request] { emit watcher->received(request); }, Qt::QueuedConnection);
    if (request != SignalWatcher::Interrupt)
        s_gone.wait_for(lock, kCleanUpWait, [] { return s_watcher == nullptr; });
    return TRUE;
}

} // namespace

struct SignalWatcher::State
{
    bool active = false;
};

SignalWatcher::SignalWatcher(QObject *parent) : QObject(parent), m_state(std::make_unique<State>())
{
    const std::lock_guard<std::mutex> lock(s_lock);
    if (s_watcher || !SetConsoleCtrlHandler(OnConsoleEvent, TRUE))
        return;
    s_watcher = this;
    for (bool &delivered : s_delivered)
        delivered = false;
    m_state->active = true;
}

SignalWatcher::~SignalWatcher()
{
    if (!m_state->active)
        return;
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    {
        const std::lock_guard<std::mutex> lock(s_lock);
        s_watcher = nullptr;
    }
    s_gone.notify_all();
}

bool SignalWatcher::IsActive() const
{
    return m_state->active;
}
