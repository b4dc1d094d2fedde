#pragma once

#include <cstdio>

#include <QString>
#include <QtGlobal>

class QFile;

// Everything the program asks of the operating system that differs between
// systems, in one place: the rest of the code includes no system header.
// platform_posix.cpp serves Linux and macOS, platform_windows.cpp Windows;
// platform.cpp holds what is the same everywhere, and the fallback that
// reads files without mapping them, which Windows uses and which a build
// with FIDMORA_PORTABLE_IO uses on Linux too, so that it is tested natively.
// Every function may be called from any thread.
class Platform final
{
public:
    Platform() = delete;

    // --- Reading feeds -------------------------------------------------

    // Opens a feed for reading, unbuffered. While it is open, a save may
    // replace it and its download may be removed, on every system. False
    // with the reason in *error.
    static bool OpenForReading(QFile &file, QString *error);

    // Maps size bytes of a file open for reading, read-only; null when it
    // cannot be (an empty file, a build that reads without mappings).
    static const char *MapReadOnly(QFile &file, qint64 size);
    static void Unmap(const char *data, qint64 size);
    // Gives back the pages wholly inside a stretch of a mapping: they are
    // read again from the system's cache when touched again.
    static void ReleasePages(const char *data, qint64 size, qint64 from, qint64 length);
    // Runs work under a guard against a mapped file that shrinks under the
    // reader: false when the work touched bytes that are gone and was cut
    // short there, where it would have ended the program.
    static bool RunGuarded(void (*work)(void *), void *context);
    // Reads up to size bytes at pos without moving any shared position where
    // the system can; the count read (short at the end of the file, 0 on an
    // error). The caller holds the file for itself meanwhile.
    static qint64 ReadAt(QFile &file, char *dst, qint64 pos, qint64 size);

    // --- Memory ----------------------------------------------------------

    // Zeroed memory for a large table, in pages the system may back with
    // large pages; FreeTable gives it back with the same size.
    static void *AllocateTable(size_t bytes);
    static void FreeTable(void *memory, size_t bytes);
    // A block of bytes aligned to its own size (a power of two), in large
    // pages where the system offers them; null when there is no memory.
    static void *AllocateAlignedBlock(size_t bytes);
    static void FreeAlignedBlock(void *block);

    // --- Files -------------------------------------------------------------

    // Puts a finished file in the place of another in one step: the target is
    // the old file or the new one, never missing or half written; a link at
    // the target is replaced, not followed. While another program holds the
    // target open (a virus scanner, an importer reading it) the move is tried
    // again for a few seconds. False with the system's reason in *error.
    static bool PutInPlace(const QString &from, const QString &to, QString *error);

    // What stands at a path, as a save to it must know before writing there.
    struct PathInfo
    {
        bool exists = false;   // anything at the path, a dangling link included
        bool isLink = false;   // a symbolic link (or another redirection the system follows)
        bool trusted = false;  // made by the user running the program or by the system itself
        QString linkTarget;    // where a link points, as written in it
    };
    // The path itself, not what a link there leads to.
    static PathInfo Inspect(const QString &path);
    // What the path leads to after every link: false when nothing is there;
    // *trusted as in PathInfo.
    static bool InspectTarget(const QString &path, bool *trusted);
    // True when a folder entry belongs to the user running the program.
    static bool OwnedByUser(const QString &path);

    // A name that a file of the per-category save may carry on every system:
    // the characters Windows forbids (<>:"/\|?* and control characters) become
    // "_", so do dots and spaces at the end, and a name Windows reserves for a
    // device (CON, PRN, AUX, NUL, COM1-9, LPT1-9, whatever follows a dot) gets
    // a "_" after it. The same on every system, so that an export does not
    // depend on where it ran; an empty name becomes "_".
    static QString PortableFileName(const QString &name);
    // A name from outside (a server's) as this system can create it: on
    // Windows the portable name, elsewhere the name as it is.
    static QString NativeFileName(const QString &name);
    // Whether two paths name the same file as this system compares names
    // (Windows ignores case).
    static bool SameFileName(const QString &a, const QString &b);

    // --- Processes -------------------------------------------------------

    static qint64 ProcessId();
    // True while the process of this number runs (or cannot be told not to).
    static bool ProcessRuns(qint64 pid);

    // --- The console -----------------------------------------------------

    // Sets the console up for a command-line program: output in UTF-8 with
    // the bytes written as they are (no line-end translation), and a reader
    // that went away (a closed pipe) makes a write fail instead of ending
    // the program.
    static void PrepareConsole();
    static bool IsTerminal(FILE *stream);
    // The terminal's width in columns; 80 when it cannot be told.
    static int TerminalWidth(FILE *stream);

    // --- What this build reads with ------------------------------------------

    // False in builds that read feeds without mappings (Windows, and
    // FIDMORA_PORTABLE_IO builds).
    static bool MapsFiles();
    // True where iconv knows every encoding a document may declare and
    // leaves a code page's undefined bytes undefined (Linux, macOS). The
    // Windows build's iconv knows the single-byte code pages only, as
    // Windows defines them (byte 0x98 of windows-1251 is U+0098 there).
    static bool ConvertsEveryEncoding();
};
