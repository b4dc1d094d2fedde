#include "terminationwatcher.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

const int TerminationWatcher::s_signals[3] = {SIGTERM, SIGINT, SIGHUP};
volatile std::sig_atomic_t TerminationWatcher::s_writeEnd = -1;

TerminationWatcher::TerminationWatcher(QObject *parent)
    : QObject(parent)
{
    if (s_writeEnd != -1 || pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    s_writeEnd = m_pipe[1];

    struct sigaction action {};
    action.sa_handler = &TerminationWatcher::HandleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int i = 0; i < 3; ++i) {
        if (sigaction(s_signals[i], &action, &m_previous[i]) == 0)
            continue;
        while (--i >= 0)
            sigaction(s_signals[i], &m_previous[i], nullptr);
        s_writeEnd = -1;
        close(m_pipe[0]);
        close(m_pipe[1]);
        m_pipe[0] = m_pipe[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationWatcher::Drain);
}

TerminationWatcher::~TerminationWatcher()
{
    if (!m_notifier)
        return;
    for (int i = 0; i < 3; ++i)
        sigaction(s_signals[i], &m_previous[i], nullptr);
    s_writeEnd = -1;
    delete m_notifier;
    close(m_pipe[0]);
    close(m_pipe[1]);
}

void TerminationWatcher::HandleSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    // A full pipe already holds a wake-up; nothing is lost by failing here.
    [[maybe_unused]] const ssize_t written = write(s_writeEnd, &byte, 1);
    errno = savedErrno;
}

void TerminationWatcher::Drain()
{
    char bytes[64];
    bool any = false;
    while (read(m_pipe[0], bytes, sizeof bytes) > 0)
        any = true;
    if (any)
        emit terminated();
}
