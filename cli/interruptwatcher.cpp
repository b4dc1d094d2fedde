#include "interruptwatcher.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

volatile std::sig_atomic_t InterruptWatcher::s_writeEnd = -1;

InterruptWatcher::InterruptWatcher(QObject *parent) : QObject(parent)
{
    if (s_writeEnd != -1 || pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    s_writeEnd = m_pipe[1];

    struct sigaction action {};
    action.sa_handler = &InterruptWatcher::HandleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    if (sigaction(SIGINT, &action, &m_previous) != 0) {
        s_writeEnd = -1;
        close(m_pipe[0]);
        close(m_pipe[1]);
        m_pipe[0] = m_pipe[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &InterruptWatcher::Drain);
}

InterruptWatcher::~InterruptWatcher()
{
    if (!m_notifier)
        return;
    sigaction(SIGINT, &m_previous, nullptr);
    s_writeEnd = -1;
    delete m_notifier;
    close(m_pipe[0]);
    close(m_pipe[1]);
}

void InterruptWatcher::HandleSignal(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    // A full pipe already holds a wake-up; nothing is lost by failing here.
    [[maybe_unused]] const ssize_t written = write(s_writeEnd, &byte, 1);
    errno = savedErrno;
}

void InterruptWatcher::Drain()
{
    char bytes[64];
    bool any = false;
    while (read(m_pipe[0], bytes, sizeof bytes) > 0)
        any = true;
    if (any)
        emit interrupted();
}
