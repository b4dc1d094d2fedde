#include "feedencoding.h"

#include <cstring>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "csvrawrow.h"
#include "iprogress.h"
#include "mappedfile.h"

namespace {

const int kBlock = 4 << 20;

// The characters of the bytes 0x80 to 0xFF in windows-1251; 0 for 0x98,
// which names none.
const ushort kWindows1251[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

// The UTF-8 bytes of each upper byte, stored four at a time (the output
// keeps room for that) and advanced by their count.
struct Utf8Table
{
    quint32 bytes[128];
    uchar sizes[128];
    Utf8Table()
    {
        for (int i = 0; i < 128; ++i) {
            const uint code = kWindows1251[i];
            uchar utf8[4] = {};
            if (code == 0) {
                utf8[0] = uchar(0x80 + i);
                sizes[i] = 1;
            } else if (code < 0x800) {
                utf8[0] = uchar(0xC0 | (code >> 6));
                utf8[1] = uchar(0x80 | (code & 0x3F));
                sizes[i] = 2;
            } else {
                utf8[0] = uchar(0xE0 | (code >> 12));
                utf8[1] = uchar(0x80 | ((code >> 6) & 0x3F));
                utf8[2] = uchar(0x80 | (code & 0x3F));
                sizes[i] = 3;
            }
            std::memcpy(&bytes[i], utf8, 4);
        }
    }
};
const Utf8Table s_utf8;

bool IsLetter(uchar c)
{
    return c >= 0xC0 || c == 0xA8 || c == 0xB8;
}

} // namespace

FeedEncoding::Kind FeedEncoding::Detect(const char *data, qint64 size, bool whole)
{
    const auto *p = reinterpret_cast<const uchar *>(data);
    qint64 checked = size;
    if (!whole) {
        // A character the sample's end cuts is no fault of the file: the
        // sample ends before the last lead byte that lacks its continuations.
        for (qint64 back = 1; back <= 3 && back <= size; ++back) {
            const uchar c = p[size - back];
            if (c < 0x80)
                break;
            if (c >= 0xC0) {
                const int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
                if (length > back)
                    checked = size - back;
                break;
            }
        }
    }
    if (CsvRawRow::IsValidUtf8(data, int(checked)))
        return Utf8;
    // NUL bytes are no text of either: binary data, or UTF-16.
    if (std::memchr(data, 0, size_t(size)))
        return Other;
    // Russian text in windows-1251: its upper bytes are mostly letters, in
    // runs (words), mostly lowercase, and never the one undefined byte.
    // Latin-1 text has its accented letters alone among ASCII ones, and
    // KOI8-R its lowercase letters where windows-1251 has the capitals.
    qint64 high = 0;
    qint64 letters = 0;
    qint64 lowercase = 0;
    qint64 inWords = 0;
    bool previousLetter = false;
    for (qint64 i = 0; i < size; ++i) {
        const uchar c = p[i];
        if (c < 0x80) {
            previousLetter = false;
            continue;
        }
        if (c == 0x98)
            return Other;
        ++high;
        const bool letter = IsLetter(c);
        if (letter) {
            ++letters;
            if (c >= 0xE0 || c == 0xB8)
                ++lowercase;
            if (previousLetter)
                ++inWords;
        }
        previousLetter = letter;
    }
    const bool russian = letters * 4 >= high * 3 && lowercase * 2 > letters && inWords * 2 >= letters;
    return russian ? Windows1251 : Other;
}

FeedEncoding::Kind FeedEncoding::OfFile(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return Utf8;
    // The sample is looked at where the file is mapped: a copy would cost
    // more than the look, in fresh pages to fill.
    const qint64 size = file.size();
    const qint64 sampled = qMin<qint64>(size, kSample);
    MappedFile mapped;
    if (sampled > 0 && mapped.Map(file, sampled)) {
        Kind kind = Utf8;
        if (MappedFile::Guarded([&]() { kind = Detect(mapped.Data(), sampled, sampled == size); }))
            return kind;
        // The file shrank meanwhile: what is left of it is read.
    }
    const QByteArray sample = file.read(kSample);
    return Detect(sample.constData(), sample.size(), file.atEnd());
}

void FeedEncoding::AppendFromWindows1251(const char *data, qint64 size, QByteArray &out)
{
    const int start = out.size();
    out.resize(int(start + size * 3 + 4));
    char *to = out.data() + start;
    const auto *p = reinterpret_cast<const uchar *>(data);
    const uchar *end = p + size;
    while (p < end) {
        // Runs of ASCII go over eight bytes at a time...
        while (end - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, 8);
            if (word & Q_UINT64_C(0x8080808080808080))
                break;
            std::memcpy(to, &word, 8);
            p += 8;
            to += 8;
        }
        // ...the rest a byte at a time, the upper half through the table.
        for (const uchar *stop = qMin(end, p + 8); p < stop; ++p) {
            const uchar c = *p;
            if (c < 0x80) {
                *to++ = char(c);
            } else {
                std::memcpy(to, &s_utf8.bytes[c - 0x80], 4);
                to += s_utf8.sizes[c - 0x80];
            }
        }
    }
    out.resize(int(to - out.constData()));
}

bool FeedEncoding::ConvertFromWindows1251(const QString &from, const QString &to, IProgress *progress,
                                          QString *error)
{
    const QString shown = QDir::toNativeSeparators(from);
    QFile out(to);
    const auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        // Closed first: Windows removes no file that is still open.
        out.close();
        QFile::remove(to);
        return false;
    };
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return fail(tr("Не удалось прочитать файл %1").arg(shown));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
        return fail(tr("Не удалось создать файл %1").arg(QDir::toNativeSeparators(to)));
    const qint64 total = in.size();
    const QString status = tr("Перекодирование %1 из windows-1251 в UTF-8").arg(QFileInfo(from).fileName());
    QByteArray block(kBlock, Qt::Uninitialized);
    QByteArray converted;
    converted.reserve(kBlock * 3 + 4);
    qint64 done = 0;
    for (;;) {
        if (progress && !progress->Report(int(done >> 20), int(total >> 20), status))
            return fail(tr("Перекодирование %1 отменено").arg(shown));
        const qint64 got = in.read(block.data(), block.size());
        if (got < 0)
            return fail(tr("Не удалось прочитать файл %1").arg(shown));
        if (got == 0)
            break;
        converted.resize(0);
        AppendFromWindows1251(block.constData(), got, converted);
        if (out.write(converted) != converted.size())
            return fail(tr("Не удалось записать файл %1").arg(QDir::toNativeSeparators(to)));
        done += got;
    }
    out.close();
    if (out.error() != QFileDevice::NoError)
        return fail(tr("Не удалось записать файл %1").arg(QDir::toNativeSeparators(to)));
    return true;
}
