#include "signalwatcher.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

volatile std::sig_atomic_t SignalWatcher::s_writeEnd = -1;

SignalWatcher::SignalWatcher(std::initializer_list<int> watched, QObject *parent) : QObject(parent)
{
    // A signal the program was started to ignore (nohup, a background job
    // of a script) stays ignored: whoever started it asked for that.
    for (const int signalNumber : watched) {
        struct sigaction current {};
        if (sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler != SIG_IGN)
            m_signals.push_back(signalNumber);
    }
    m_previous.resize(m_signals.size());
    if (s_writeEnd != -1 || pipe2(m_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    s_writeEnd = m_pipe[1];

    struct sigaction action {};
    action.sa_handler = &SignalWatcher::HandleSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (size_t i = 0; i < m_signals.size(); ++i) {
        if (sigaction(m_signals[i], &action, &m_previous[i]) == 0)
            continue;
        while (i-- > 0)
            sigaction(m_signals[i], &m_previous[i], nullptr);
        s_writeEnd = -1;
        close(m_pipe[0]);
        close(m_pipe[1]);
        m_pipe[0] = m_pipe[1] = -1;
        return;
    }
    m_notifier = new QSocketNotifier(m_pipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatcher::Drain);
}

SignalWatcher::~SignalWatcher()
{
    if (!m_notifier)
        return;
    for (size_t i = 0; i < m_signals.size(); ++i)
        sigaction(m_signals[i], &m_previous[i], nullptr);
    s_writeEnd = -1;
    delete m_notifier;
    close(m_pipe[0]);
    close(m_pipe[1]);
}

void SignalWatcher::HandleSignal(int signalNumber)
{
    const int savedErrno = errno;
    // Signal numbers are small: one byte carries which one came.
    const char byte = char(signalNumber);
    // A full pipe already holds a wake-up; nothing is lost by failing here.
    [[maybe_unused]] const ssize_t written = write(s_writeEnd, &byte, 1);
    errno = savedErrno;
}

void SignalWatcher::Drain()
{
    char bytes[64];
    ssize_t count = 0;
    while ((count = read(m_pipe[0], bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < count; ++i)
            emit received(int(uchar(bytes[i])));
    }
}
