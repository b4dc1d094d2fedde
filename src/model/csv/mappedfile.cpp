#include "mappedfile.h"

#include <cstring>
#include <mutex>

#include <QFile>

#ifdef Q_OS_UNIX
#include <atomic>
#include <fcntl.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
// The guard of the innermost guarded work of each thread.
thread_local sigjmp_buf *volatile t_guard = nullptr;
struct sigaction s_previousBusHandler;

void OnBusError(int signal, siginfo_t *info, void *context)
{
    if (t_guard)
        siglongjmp(*t_guard, 1);
    if (s_previousBusHandler.sa_flags & SA_SIGINFO) {
        if (s_previousBusHandler.sa_sigaction) {
            s_previousBusHandler.sa_sigaction(signal, info, context);
            return;
        }
    } else if (s_previousBusHandler.sa_handler == SIG_IGN) {
        return;
    } else if (s_previousBusHandler.sa_handler != SIG_DFL) {
        s_previousBusHandler.sa_handler(signal);
        return;
    }
    ::signal(SIGBUS, SIG_DFL);
    ::raise(SIGBUS);
}

void InstallBusHandler()
{
    static std::once_flag once;
    std::call_once(once, []() {
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_sigaction = OnBusError;
        // Not blocked inside the handler, so leaving it by a jump needs no
        // mask to be restored (and the guard no system call).
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &s_previousBusHandler);
    });
}
#endif

} // namespace

bool MappedFile::Map(int fd, qint64 size)
{
    Unmap();
#ifdef Q_OS_UNIX
    if (fd < 0 || size <= 0)
        return false;
    void *map = ::mmap(nullptr, size_t(size), PROT_READ, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED)
        return false;
    InstallBusHandler();
    m_data = static_cast<const char *>(map);
    m_size = size;
    return true;
#else
    Q_UNUSED(fd)
    Q_UNUSED(size)
    return false;
#endif
}

bool MappedFile::Map(const QString &path)
{
    Unmap();
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    if (!Map(fd, qint64(size))) {
        ::close(fd);
        return false;
    }
    m_ownFd = fd;
    return true;
#else
    Q_UNUSED(path)
    return false;
#endif
}

void MappedFile::Unmap()
{
#ifdef Q_OS_UNIX
    if (m_data)
        ::munmap(const_cast<char *>(m_data), size_t(m_size));
    if (m_ownFd >= 0)
        ::close(m_ownFd);
#endif
    m_data = nullptr;
    m_size = 0;
    m_ownFd = -1;
}

void MappedFile::Release(qint64 from, qint64 size) const
{
#ifdef Q_OS_UNIX
    if (!m_data || from >= m_size || size <= 0)
        return;
    const qint64 page = ::sysconf(_SC_PAGESIZE);
    // Only pages wholly inside the stretch: a page it shares with a stretch
    // still in use stays.
    const qint64 begin = (from + page - 1) / page * page;
    const qint64 end = from + size >= m_size ? m_size : (from + size) / page * page;
    if (end > begin)
        ::madvise(const_cast<char *>(m_data) + begin, size_t(end - begin), MADV_DONTNEED);
#else
    Q_UNUSED(from)
    Q_UNUSED(size)
#endif
}

__attribute__((noinline)) bool MappedFile::Run(void (*work)(void *), void *context)
{
#ifdef Q_OS_UNIX
    sigjmp_buf guard;
    sigjmp_buf *volatile outer = t_guard;
    if (sigsetjmp(guard, 0) != 0) {
        t_guard = outer;
        return false;
    }
    t_guard = &guard;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    work(context);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    t_guard = outer;
    return true;
#else
    work(context);
    return true;
#endif
}
