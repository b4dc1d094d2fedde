#pragma once

#include <QCoreApplication>

#include <QByteArray>
#include <QString>

class IProgress;

// The text encoding of a CSV feed, told from its first megabytes, and the
// conversion of a windows-1251 feed into a UTF-8 copy, which the catalogue
// then reads instead. The conversion goes through a table of the upper 128
// bytes, a large block at a time, and needs no text codec. Only local
// state; any thread.
class FeedEncoding final
{
    Q_DECLARE_TR_FUNCTIONS(FeedEncoding)

public:
    enum Kind {
        Utf8,        // well-formed UTF-8 (or plain ASCII)
        Windows1251, // not UTF-8, and reads as Cyrillic text in windows-1251
        Other,       // neither: read as UTF-8, its malformed bytes counted by the load
    };
    // How much of a file the detection looks at.
    static const int kSample = 4 << 20;

    // The encoding of a file that starts with these bytes; whole when they
    // are the whole file (otherwise their end may cut a character).
    static Kind Detect(const char *data, qint64 size, bool whole);
    // The same for a file; one that cannot be read counts as UTF-8 (its
    // reader then says why it cannot be read).
    static Kind OfFile(const QString &path);

    // Appends the UTF-8 form of windows-1251 bytes. The byte 0x98, which
    // that encoding leaves undefined, is kept as it is, so that the load
    // counts it among the bytes that are not UTF-8.
    static void AppendFromWindows1251(const char *data, qint64 size, QByteArray &out);
    // Writes the UTF-8 form of a windows-1251 file into a new file. False
    // when either file fails or the user cancels; *error then says why, and
    // the new file is removed.
    static bool ConvertFromWindows1251(const QString &from, const QString &to, IProgress *progress,
                                       QString *error);
};
