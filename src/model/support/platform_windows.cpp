#include "platform.h"

#include <cstdlib>

#include <fcntl.h>
#include <io.h>
#include <malloc.h>
#include <windows.h>
#include <aclapi.h>

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QThread>

#ifndef ENABLE_VIRTUAL_TERMINAL_PROCESSING
#define ENABLE_VIRTUAL_TERMINAL_PROCESSING 0x0004
#endif

// Windows reads feeds with plain reads (platform.cpp): a mapped view with a
// guard against a file cut short on a network share would need structured
// exception handling, which the compiler does not offer.

namespace {

// Tries of a move while another program holds the target open, and the wait
// between them: a virus scanner or an importer lets go within seconds.
const int kMoveTries = 30;
const unsigned long kMoveWait = 100;

// A path as the wide-character functions take it: native separators, and
// the "\\?\" prefix that lifts the 260-character limit off an absolute one.
std::wstring Wide(const QString &path)
{
    QString native = QDir::toNativeSeparators(QDir::cleanPath(path));
    if (native.size() >= MAX_PATH - 12 && QDir::isAbsolutePath(path) && !native.startsWith(QLatin1String("\\\\")))
        native.prepend(QLatin1String("\\\\?\\"));
    return native.toStdWString();
}

QString SystemReason(DWORD error)
{
    wchar_t *text = nullptr;
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                                | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    QString reason = length ? QString::fromWCharArray(text, int(length)).trimmed()
                            : QStringLiteral("error %1").arg(error);
    if (text)
        LocalFree(text);
    return reason;
}

// The user running the program, as a security identifier of its token.
struct UserSid
{
    UserSid()
    {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
            return;
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        buffer.resize(size);
        if (size && GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
            sid = reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid;
        CloseHandle(token);
    }
    std::string buffer;
    PSID sid = nullptr;
};

const UserSid &CurrentUser()
{
    static const UserSid user;
    return user;
}

enum class Owner { Unknown, User, System, Other };

// The owner of what the path names; followLink false looks at a link
// itself, not at what it leads to.
Owner OwnerOf(const QString &path, bool followLink)
{
    const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLink ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
    HANDLE file = CreateFileW(Wide(path).c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, flags, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Owner::Unknown;
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD result = GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                                         nullptr, nullptr, &descriptor);
    CloseHandle(file);
    if (result != ERROR_SUCCESS)
        return Owner::Unknown;
    Owner found = Owner::Other;
    if (CurrentUser().sid && owner && EqualSid(owner, CurrentUser().sid))
        found = Owner::User;
    else if (owner
             && (IsWellKnownSid(owner, WinLocalSystemSid) || IsWellKnownSid(owner, WinBuiltinAdministratorsSid)
                 || IsWellKnownSid(owner, WinNtAuthoritySid)))
        found = Owner::System;
    LocalFree(descriptor);
    return found;
}

// A reparse point that redirects the path elsewhere (a symbolic link or a
// junction); the others (a file of a cloud folder, a deduplicated file) are
// the file itself to whoever reads it.
bool IsRedirection(const QString &path)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Wide(path).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    FindClose(find);
    return (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            && (data.dwReserved0 == IO_REPARSE_TAG_SYMLINK || data.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT);
}

HANDLE OsHandle(FILE *stream)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
}

// Puts source in place of a target that a reader holds open while sharing
// delete (a loaded feed saved over): such a file may be renamed and
// removed, but not replaced in one step. The old file moves aside, the new
// one takes its name and the old one is removed, to go when its last reader
// lets go; if the new one cannot take the name, the old one is put back.
bool MoveAsideAndIn(const std::wstring &source, const std::wstring &target, const QString &to)
{
    static QAtomicInt counter;
    const std::wstring aside = Wide(QStringLiteral("%1.fidmora-old-%2-%3")
                                            .arg(to)
                                            .arg(GetCurrentProcessId())
                                            .arg(counter.fetchAndAddRelaxed(1)));
    if (!MoveFileExW(target.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH))
        return false;
    if (!MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH)) {
        const DWORD failure = GetLastError();
        MoveFileExW(aside.c_str(), target.c_str(), MOVEFILE_WRITE_THROUGH);
        SetLastError(failure);
        return false;
    }
    DeleteFileW(aside.c_str());
    return true;
}

} // namespace

bool Platform::OpenForReading(QFile &file, QString *error)
{
    // QFile's own handle shares no delete right: while a feed was loaded, a
    // save over it, a newer download put in its place or the removal of a
    // download failed. A handle that shares every right, handed to QFile by
    // descriptor, lets the file be replaced and removed as on Linux; the
    // QFile keeps its name, so what asks about the file by name still can.
    HANDLE handle = CreateFileW(Wide(file.fileName()).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        *error = SystemReason(GetLastError());
        return false;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_RDONLY | _O_BINARY);
    if (descriptor < 0) {
        CloseHandle(handle);
        *error = QStringLiteral("no descriptor for the file");
        return false;
    }
    if (file.open(descriptor, QIODevice::ReadOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle))
        return true;
    *error = file.errorString();
    _close(descriptor);
    return false;
}

void *Platform::AllocateTable(size_t bytes)
{
    return std::calloc(bytes, 1);
}

void Platform::FreeTable(void *memory, size_t)
{
    std::free(memory);
}

void *Platform::AllocateAlignedBlock(size_t bytes)
{
    return _aligned_malloc(bytes, bytes);
}

void Platform::FreeAlignedBlock(void *block)
{
    _aligned_free(block);
}

bool Platform::SameFileName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

bool Platform::PutInPlace(const QString &from, const QString &to, QString *error)
{
    const std::wstring source = Wide(from);
    const std::wstring target = Wide(to);
    DWORD failure = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kMoveTries; ++attempt) {
        // One step, as rename() on the other systems; written through, so
        // that the new name is on the disk when the save says it is done.
        if (MoveFileExW(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        failure = GetLastError();
        if (failure != ERROR_SHARING_VIOLATION && failure != ERROR_LOCK_VIOLATION && failure != ERROR_ACCESS_DENIED)
            break;
        // A target held open by another program, or a read-only one: only
        // the first lets go, so the tries are few and short.
        const DWORD attributes = GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
            break;
        if (MoveAsideAndIn(source, target, to))
            return true;
        QThread::msleep(kMoveWait);
    }
    *error = SystemReason(failure);
    return false;
}

Platform::PathInfo Platform::Inspect(const QString &path)
{
    PathInfo info;
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // A dangling link still has attributes; nothing at all has none.
        return info;
    }
    info.exists = true;
    info.isLink = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsRedirection(path);
    const Owner owner = OwnerOf(path, false);
    info.trusted = owner == Owner::User || owner == Owner::System;
    if (info.isLink)
        info.linkTarget = QDir::fromNativeSeparators(QFileInfo(path).symLinkTarget());
    return info;
}

bool Platform::InspectTarget(const QString &path, bool *trusted)
{
    const QFileInfo info(path);
    if (!info.exists())
        return false;
    const Owner owner = OwnerOf(path, true);
    *trusted = owner == Owner::User || owner == Owner::System;
    return true;
}

bool Platform::OwnedByUser(const QString &path)
{
    return OwnerOf(path, false) == Owner::User;
}

QString Platform::NativeFileName(const QString &name)
{
    return PortableFileName(name);
}

qint64 Platform::ProcessId()
{
    return qint64(GetCurrentProcessId());
}

bool Platform::ProcessRuns(qint64 pid)
{
    if (pid <= 0 || pid > qint64(MAXDWORD))
        return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, DWORD(pid));
    if (!process) {
        // No such process; any other refusal (another user's) is a process
        // that runs.
        return GetLastError() != ERROR_INVALID_PARAMETER;
    }
    const bool runs = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return runs;
}

void Platform::PrepareConsole()
{
    // The program writes UTF-8 and its own line ends ("\r\n" rows stay
    // "\r\n", not "\r\r\n"); the console shows UTF-8, and the escape that
    // clears a progress line.
    SetConsoleOutputCP(CP_UTF8);
    for (FILE *stream : {stdout, stderr}) {
        _setmode(_fileno(stream), _O_BINARY);
        DWORD mode = 0;
        if (GetConsoleMode(OsHandle(stream), &mode))
            SetConsoleMode(OsHandle(stream), mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
    }
}

bool Platform::IsTerminal(FILE *stream)
{
    // Not _isatty, which holds the NUL device for a terminal too.
    DWORD mode = 0;
    return GetConsoleMode(OsHandle(stream), &mode) != 0;
}

int Platform::TerminalWidth(FILE *stream)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(OsHandle(stream), &info) && info.srWindow.Right > info.srWindow.Left)
        return info.srWindow.Right - info.srWindow.Left + 1;
    return 80;
}

bool Platform::ConvertsEveryEncoding()
{
    return false;
}
