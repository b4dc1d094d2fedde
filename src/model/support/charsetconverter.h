#pragma once

#include <QByteArray>

// Converts a stream of text from one named encoding into another through
// the C library's iconv: the encodings that documents declare (a project's
// or a catalogue's XML declaration) are read the same way whatever version
// of Qt the program is built with. A piece may end inside a multi-byte
// character; the rest comes with the next piece. Strict: a byte sequence
// that is not of the source encoding, or a character the target cannot
// write, stops the conversion and is reported, never replaced. Local
// state only; one thread at a time.
class CharsetConverter final
{
public:
    CharsetConverter(const char *from, const char *to);
    ~CharsetConverter();
    CharsetConverter(const CharsetConverter &) = delete;
    CharsetConverter &operator=(const CharsetConverter &) = delete;

    // False when iconv knows either encoding not; nothing converts then.
    bool IsValid() const;
    // Appends the conversion of the next piece of the stream to out. False
    // at a sequence that cannot be converted (FailedAt() tells where), or
    // when the converter is not valid.
    bool Append(const char *data, qint64 size, QByteArray &out);
    // Ends the stream: false when a character is left cut short at its end.
    bool Finish();
    // The offset in the source stream of the byte where the conversion
    // failed, -1 while it has not.
    qint64 FailedAt() const { return m_failedAt; }

    // Converts a whole text; false when it cannot be, out then undefined.
    static bool Convert(const QByteArray &text, const char *from, const char *to, QByteArray *out);
    // True for the names of UTF-8 (any case, with or without the hyphen).
    static bool IsUtf8Name(const QByteArray &name);

private:
    void *m_handle;        // an iconv_t, kept out of this header
    QByteArray m_cut;      // the start of a character cut by the end of a piece
    qint64 m_consumed = 0; // the source's bytes converted, m_cut not among them
    qint64 m_failedAt = -1;
};
