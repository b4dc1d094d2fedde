#pragma once

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include "charsetconverter.h"

// The usual suspects that every reader of files from outside (feeds,
// catalogues, projects) must get through with a clear error or a correct
// load, in bounded time, without a crash: each reader's test has a table of
// them, one row per input, built with these helpers.
namespace BadInput {

// What the input is: a file of bytes, or a thing at the path that is not a
// regular file.
enum Kind { Bytes, Folder, Fifo, ZeroDevice };

// A bound for one read that only a hang or a quadratic walk exceeds, even
// on a loaded machine under a sanitizer.
const qint64 kTimeLimitMs = 120 * 1000;

// Binary garbage: pseudo-random bytes, NUL bytes and line ends among them.
inline QByteArray Garbage()
{
    QByteArray bytes(64 * 1024, '\0');
    quint32 state = 12345;
    for (int i = 0; i < bytes.size(); ++i) {
        state = state * 1103515245u + 12345u;
        const char c = char(state >> 24);
        bytes[i] = i % 7 == 0 ? '\0' : c;
    }
    return bytes;
}

// Bytes that are no UTF-8: a stray continuation, an overlong form, a
// surrogate, a sequence cut short.
inline QByteArray InvalidUtf8()
{
    return QByteArray("\x80\xC0\xAF\xED\xA0\x80\xE2\x82", 8);
}

inline QByteArray Bom()
{
    return QByteArray("\xEF\xBB\xBF", 3);
}

// Text in the encodings Russian feeds still come in, and in Latin-1.
inline QByteArray Encoded(const char *encoding, const QString &text)
{
    // UTF-16 is made here: the program never converts it through iconv
    // (libxml2 reads it itself), and the Windows build's iconv has only the
    // single-byte code pages.
    if (qstrcmp(encoding, "UTF-16LE") == 0) {
        QByteArray bytes;
        for (const QChar c : text) {
            bytes.append(char(c.unicode() & 0xFF));
            bytes.append(char(c.unicode() >> 8));
        }
        return bytes;
    }
    QByteArray bytes;
    if (!CharsetConverter::Convert(text.toUtf8(), "UTF-8", encoding, &bytes))
        qFatal("The test's text cannot be written in %s", encoding);
    return bytes;
}
inline QByteArray Windows1251(const QString &text)
{
    return Encoded("windows-1251", text);
}

// A 50 MB stretch without a line end.
inline QByteArray LongText()
{
    return QByteArray(50 << 20, 'x');
}

// Makes the input at dir/name and gives its path; empty for a kind that the
// system has not (Windows has no FIFO and no /dev/zero): the row is skipped.
inline QString Make(const QDir &dir, const QString &name, int kind, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile::remove(path);
    switch (kind) {
    case Folder:
        dir.mkpath(name);
        return path;
#ifdef Q_OS_UNIX
    case Fifo:
        if (mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
            qFatal("cannot make the FIFO %s", qPrintable(path));
        return path;
    case ZeroDevice:
        return QStringLiteral("/dev/zero");
#else
    case Fifo:
    case ZeroDevice:
        return QString();
#endif
    default:
        break;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Removes what Make made, a folder or a FIFO too.
inline void Remove(const QString &path)
{
    if (path.startsWith(QLatin1String("/dev/")))
        return;
    QDir(path).removeRecursively();
    QFile::remove(path);
}

} // namespace BadInput
