#include "platform.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>

namespace {

#ifndef FIDMORA_READS_UNMAPPED
// The guard of the innermost guarded work of each thread.
thread_local sigjmp_buf *volatile t_guard = nullptr;
struct sigaction s_previousBusHandler;

// A file that shrinks under its mapping raises SIGBUS where the bytes past
// its new end are touched: guarded work jumps back to its guard.
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

QString SystemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The user running the program, and the system (root), which no other user
// can have made a file for.
bool Trusted(uid_t owner)
{
    return owner == ::geteuid() || owner == 0;
}

// Large tables are mapped pages of their own, which Linux may back with
// large pages: a table of a million goods spares its lookups most of their
// address translation misses.
const size_t kTableMapping = size_t(2) << 20;

} // namespace

#ifndef FIDMORA_READS_UNMAPPED
const char *Platform::MapReadOnly(QFile &file, qint64 size)
{
    const int fd = file.handle();
    if (fd < 0 || size <= 0)
        return nullptr;
    void *map = ::mmap(nullptr, size_t(size), PROT_READ, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED)
        return nullptr;
    InstallBusHandler();
    return static_cast<const char *>(map);
}

void Platform::Unmap(const char *data, qint64 size)
{
    if (data)
        ::munmap(const_cast<char *>(data), size_t(size));
}

void Platform::ReleasePages(const char *data, qint64 size, qint64 from, qint64 length)
{
    if (!data || from >= size || length <= 0)
        return;
    static const qint64 page = ::sysconf(_SC_PAGESIZE);
    // Only pages wholly inside the stretch: a page it shares with a stretch
    // still in use stays.
    const qint64 begin = (from + page - 1) / page * page;
    const qint64 end = from + length >= size ? size : (from + length) / page * page;
    if (end > begin)
        ::madvise(const_cast<char *>(data) + begin, size_t(end - begin), MADV_DONTNEED);
}

__attribute__((noinline)) bool Platform::RunGuarded(void (*work)(void *), void *context)
{
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
}

qint64 Platform::ReadAt(QFile &file, char *dst, qint64 pos, qint64 size)
{
    // pread leaves the file's position alone: random reads and the in-order
    // read of one reader do not disturb each other.
    const int fd = file.handle();
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, dst + done, size_t(size - done), off_t(pos + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

bool Platform::MapsFiles()
{
    return true;
}
#endif

bool Platform::OpenForReading(QFile &file, QString *error)
{
    if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return true;
    *error = file.errorString();
    return false;
}

void *Platform::AllocateTable(size_t bytes)
{
#ifdef __linux__
    if (bytes >= kTableMapping) {
        void *memory = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory != MAP_FAILED) {
            ::madvise(memory, bytes, MADV_HUGEPAGE);
            return memory; // anonymous pages arrive zeroed
        }
        return nullptr;
    }
#endif
    return std::calloc(bytes, 1);
}

void Platform::FreeTable(void *memory, size_t bytes)
{
    if (!memory)
        return;
#ifdef __linux__
    if (bytes >= kTableMapping) {
        ::munmap(memory, bytes);
        return;
    }
#else
    (void)bytes;
#endif
    std::free(memory);
}

void *Platform::AllocateAlignedBlock(size_t bytes)
{
    void *memory = nullptr;
    if (posix_memalign(&memory, bytes, bytes) != 0)
        return nullptr;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // A base load looks goods up all over the catalogue: one large page a
    // block spares it most of its address translation misses.
    ::madvise(memory, bytes, MADV_HUGEPAGE);
#endif
    return memory;
}

void Platform::FreeAlignedBlock(void *block)
{
    std::free(block);
}

bool Platform::SameFileName(const QString &a, const QString &b)
{
    return a == b;
}

bool Platform::PutInPlace(const QString &from, const QString &to, QString *error)
{
    // rename() replaces the target in one step (a link put there meanwhile
    // is replaced, not followed); QFile::rename would not replace an
    // existing file.
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    *error = SystemReason(errno);
    return false;
}

Platform::PathInfo Platform::Inspect(const QString &path)
{
    PathInfo info;
    const QByteArray name = QFile::encodeName(path);
    struct stat status {};
    if (::lstat(name.constData(), &status) != 0)
        return info;
    info.exists = true;
    info.trusted = Trusted(status.st_uid);
    info.isLink = S_ISLNK(status.st_mode);
    if (info.isLink) {
        QByteArray target(PATH_MAX, Qt::Uninitialized);
        const ssize_t length = ::readlink(name.constData(), target.data(), size_t(target.size()));
        target.resize(length > 0 ? int(length) : 0);
        info.linkTarget = QFile::decodeName(target);
    }
    return info;
}

bool Platform::InspectTarget(const QString &path, bool *trusted)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return false;
    *trusted = Trusted(status.st_uid);
    return true;
}

bool Platform::OwnedByUser(const QString &path)
{
    struct stat status {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 && status.st_uid == ::getuid();
}

QString Platform::NativeFileName(const QString &name)
{
    return name;
}

qint64 Platform::ProcessId()
{
    return qint64(::getpid());
}

bool Platform::ProcessRuns(qint64 pid)
{
    return pid > 0 && pid <= qint64(INT_MAX) && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

void Platform::PrepareConsole()
{
    ::signal(SIGPIPE, SIG_IGN);
}

bool Platform::IsTerminal(FILE *stream)
{
    return ::isatty(::fileno(stream)) != 0;
}

int Platform::TerminalWidth(FILE *stream)
{
    winsize size {};
    if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

bool Platform::ConvertsEveryEncoding()
{
    return true;
}
