#include "signalwatcher.h"

#include <cerrno>
#include <csignal>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

static_assert(SIGHUP == SignalWatcher::HangUp && SIGINT == SignalWatcher::Interrupt
                      && SIGTERM == SignalWatcher::Terminate,
              "the requests carry the signals' own numbers");

namespace {

volatile std::sig_atomic_t s_writeEnd = -1;

void HandleSignal(int signalNumber)
{
    const int savedErrno = errno;
    // Signal numbers are small: one byte carries which one came.
    const char byte = char(signalNumber);
    // A full pipe already holds a wake-up; nothing is lost by failing here.
    [[maybe_unused]] const ssize_t written = write(s_writeEnd, &byte, 1);
    errno = savedErrno;
}

} // namespace

// The handler only writes a byte into a pipe that a socket notifier
// watches, which is all a signal handler may safely do; it is reset by its
// first delivery, so a second signal ends the program at once.
struct SignalWatcher::State
{
    std::vector<int> watched;
    std::vector<struct sigaction> previous;
    int pipe[2] = {-1, -1};
    QSocketNotifier *notifier = nullptr;
};

SignalWatcher::SignalWatcher(QObject *parent) : QObject(parent), m_state(std::make_unique<State>())
{
    State &state = *m_state;
    // A signal the program was started to ignore (nohup, a background job
    // of a script) stays ignored: whoever started it asked for that.
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        struct sigaction current {};
        if (sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
            state.watched.push_back(signalNumber);
    }
    state.previous.resize(state.watched.size());
    // pipe() and then the flags: macOS has no pipe2().
    if (s_writeEnd != -1 || pipe(state.pipe) != 0)
        return;
    for (const int end : state.pipe) {
        fcntl(end, F_SETFD, FD_CLOEXEC);
        fcntl(end, F_SETFL, fcntl(end, F_GETFL) | O_NONBLOCK);
    }
    s_writeEnd = state.pipe[1];

    struct sigaction action {};
    action.sa_handler = &HandleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (size_t i = 0; i < state.watched.size(); ++i) {
        if (sigaction(state.watched[i], &action, &state.previous[i]) == 0)
            continue;
        while (i-- > 0)
            sigaction(state.watched[i], &state.previous[i], nullptr);
        s_writeEnd = -1;
        close(state.pipe[0]);
        close(state.pipe[1]);
        state.pipe[0] = state.pipe[1] = -1;
        return;
    }
    state.notifier = new QSocketNotifier(state.pipe[0], QSocketNotifier::Read, this);
    connect(state.notifier, &QSocketNotifier::activated, this, [this] {
        char bytes[64];
        ssize_t count = 0;
        while ((count = read(m_state->pipe[0], bytes, sizeof bytes)) > 0) {
            for (ssize_t i = 0; i < count; ++i)
                emit received(int(uchar(bytes[i])));
        }
    });
}

SignalWatcher::~SignalWatcher()
{
    State &state = *m_state;
    if (!state.notifier)
        return;
    for (size_t i = 0; i < state.watched.size(); ++i)
        sigaction(state.watched[i], &state.previous[i], nullptr);
    s_writeEnd = -1;
    delete state.notifier;
    close(state.pipe[0]);
    close(state.pipe[1]);
}

bool SignalWatcher::IsActive() const
{
    return m_state->notifier != nullptr;
}
