#include "csvrawrow.h"

#include <cstring>
#include <limits>

#include "utf8stream.h"

namespace {

const CsvField *FieldAt(const CsvFields &fields, int column)
{
    if (column < 0 || column >= int(fields.size()))
        return nullptr;
    return &fields[size_t(column)];
}

// A decimal number written in any of the C locale's forms (sign, digits, a
// point, an exponent, whitespace around), truncated toward zero exactly:
// "10.99999999999999999" is 10, where a detour through a double would round
// it to 11 first. -1 when it is no number or does not fit.
qint32 ExactPrice(const char *p, const char *end)
{
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; };
    while (p < end && space(*p))
        ++p;
    while (end > p && space(end[-1]))
        --end;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+'))
        negative = *p++ == '-';
    const char *integer = p;
    while (p < end && *p >= '0' && *p <= '9')
        ++p;
    const char *integerEnd = p;
    const char *fraction = p;
    if (p < end && *p == '.') {
        fraction = ++p;
        while (p < end && *p >= '0' && *p <= '9')
            ++p;
    }
    const char *fractionEnd = p;
    if (integerEnd == integer && fractionEnd == fraction)
        return -1;
    qint64 exponent = 0;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool negativeExponent = false;
        if (p < end && (*p == '-' || *p == '+'))
            negativeExponent = *p++ == '-';
        const char *digits = p;
        while (p < end && *p >= '0' && *p <= '9') {
            if (exponent < 100000)
                exponent = exponent * 10 + (*p - '0');
            ++p;
        }
        if (p == digits)
            return -1;
        if (negativeExponent)
            exponent = -exponent;
    }
    if (p != end)
        return -1;
    // The whole part: the digits before the point moved by the exponent.
    const qint64 integerDigits = qint64(integerEnd - integer);
    const qint64 fractionDigits = qint64(fractionEnd - fraction);
    const qint64 wholeDigits = integerDigits + exponent;
    qint64 value = 0;
    for (qint64 k = 0; k < wholeDigits; ++k) {
        int digit = 0;
        if (k < integerDigits)
            digit = integer[k] - '0';
        else if (k - integerDigits < fractionDigits)
            digit = fraction[k - integerDigits] - '0';
        value = value * 10 + digit;
        if (value > qint64(std::numeric_limits<qint32>::max()) + 1)
            return -1;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<qint32>::max() || value < std::numeric_limits<qint32>::min())
        return -1;
    return qint32(value);
}

// The length of the well-formed multi-byte UTF-8 sequence that starts at p
// (whose first byte is not ASCII), or 0 when it is malformed: a stray
// continuation byte, an overlong form, a surrogate, a code point beyond the
// last, or a sequence cut short.
inline int SequenceLength(const uchar *p, const uchar *end)
{
    const uchar c = *p;
    if (c >= 0xC2 && c <= 0xDF)
        return end - p >= 2 && (p[1] & 0xC0) == 0x80 ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        if (end - p < 3 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80)
            return 0;
        return (c == 0xE0 && p[1] < 0xA0) || (c == 0xED && p[1] > 0x9F) ? 0 : 3;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        if (end - p < 4 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80 || (p[3] & 0xC0) != 0x80)
            return 0;
        return (c == 0xF0 && p[1] < 0x90) || (c == 0xF4 && p[1] > 0x8F) ? 0 : 4;
    }
    return 0;
}

// The length of the longest start of a well-formed sequence at p (whose
// first byte is not ASCII) when the sequence there is malformed: the bytes
// one replacement character stands for. At least one.
inline int MalformedLength(const uchar *p, const uchar *end)
{
    const uchar c = *p;
    int expected = 0;
    uchar low = 0x80;
    uchar high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        expected = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        expected = 3;
        if (c == 0xE0)
            low = 0xA0;
        else if (c == 0xED)
            high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        expected = 4;
        if (c == 0xF0)
            low = 0x90;
        else if (c == 0xF4)
            high = 0x8F;
    } else {
        return 1;
    }
    int length = 1;
    while (length < expected && p + length < end) {
        const uchar next = p[length];
        if (next < low || next > high)
            break;
        low = 0x80;
        high = 0xBF;
        ++length;
    }
    return length;
}

// Decodes UTF-8 straight into the string's storage. Each malformed
// sequence becomes one replacement character, in the way Unicode
// recommends (one for the longest start of a well-formed sequence, or for
// one byte), so that the same bytes read the same whichever toolkit the
// program is built with; byte-order marks are ordinary characters in a cell.
int DecodeInto(const uchar *p, const uchar *end, ushort *out)
{
    ushort *const start = out;
    while (p < end) {
        // A run of ASCII, eight bytes at a time where it can...
        while (end - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, 8);
            if (word & Q_UINT64_C(0x8080808080808080))
                break;
            for (int i = 0; i < 8; ++i)
                out[i] = p[i];
            p += 8;
            out += 8;
        }
        while (p < end && *p < 0x80)
            *out++ = *p++;
        // ...then a run of longer sequences: two bytes for Cyrillic text.
        while (p < end && *p >= 0x80) {
            const uchar c = *p;
            switch (SequenceLength(p, end)) {
            case 2:
                *out++ = ushort(((c & 0x1F) << 6) | (p[1] & 0x3F));
                p += 2;
                break;
            case 3:
                *out++ = ushort(((c & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
                p += 3;
                break;
            case 4: {
                const uint code = ((c & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6)
                        | (p[3] & 0x3Fu);
                *out++ = ushort(0xD800 + ((code - 0x10000) >> 10));
                *out++ = ushort(0xDC00 + ((code - 0x10000) & 0x3FF));
                p += 4;
                break;
            }
            default:
                *out++ = QChar::ReplacementCharacter;
                p += MalformedLength(p, end);
                break;
            }
        }
    }
    return int(out - start);
}

QString Decode(const char *data, int size)
{
    // A UTF-16 text never has more units than its UTF-8 form has bytes, nor
    // more replacement characters than bytes.
    QString text(size, Qt::Uninitialized);
    const auto *bytes = reinterpret_cast<const uchar *>(data);
    text.truncate(DecodeInto(bytes, bytes + size, reinterpret_cast<ushort *>(text.data())));
    return text;
}

} // namespace

void CsvRawRow::Unescape(const char *data, int size, QByteArray &out)
{
    out.clear();
    out.reserve(size);
    const char *p = data;
    const char *end = data + size;
    while (p < end) {
        if (*p != '"') {
            const char *q = static_cast<const char *>(std::memchr(p, '"', size_t(end - p)));
            if (!q)
                q = end;
            out.append(p, int(q - p));
            p = q;
            continue;
        }
        // A quoted section: doubled quotes stand for one quote character.
        ++p;
        while (p < end) {
            const char *q = static_cast<const char *>(std::memchr(p, '"', size_t(end - p)));
            if (!q) {
                out.append(p, int(end - p));
                p = end;
                break;
            }
            out.append(p, int(q - p));
            if (q + 1 < end && q[1] == '"') {
                out.append('"');
                p = q + 2;
                continue;
            }
            p = q + 1;
            break;
        }
    }
}

bool CsvRawRow::HasCharacters(const CsvField &field)
{
    if (field.size == 0)
        return false;
    if (!field.quoted)
        return true;
    for (int i = 0; i < field.size; ++i) {
        if (field.data[i] != '"')
            return true;
    }
    // Only quote characters: every pair inside a section is one character,
    // so there is a character exactly when the run is long enough to hold a
    // doubled quote after its opening quote.
    return field.size >= 3;
}

bool CsvRawRow::IsEmpty(int column) const
{
    const CsvField *f = FieldAt(fields, column);
    return !f || !HasCharacters(*f);
}

bool CsvRawRow::IsValidUtf8Scalar(const char *data, int size)
{
    const uchar *p = reinterpret_cast<const uchar *>(data);
    const uchar *end = p + size;
    while (p < end) {
        // Runs of ASCII go eight bytes at a time.
        while (end - p >= 8) {
            quint64 word;
            std::memcpy(&word, p, 8);
            if (word & Q_UINT64_C(0x8080808080808080))
                break;
            p += 8;
        }
        if (p == end)
            break;
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const int length = SequenceLength(p, end);
        if (length == 0)
            return false;
        p += length;
    }
    return true;
}

bool CsvRawRow::IsValidUtf8(const char *data, int size)
{
    if (size < 64 || !Utf8Stream::Exact())
        return IsValidUtf8Scalar(data, size);
    Utf8Stream stream;
    const char *p = data;
    const char *end = data + size;
    for (; end - p >= 64; p += 64) {
        if (!stream.Check(p))
            return false;
    }
    return stream.CheckLast(p, int(end - p));
}

QString CsvRawRow::Text(int column) const
{
    const CsvField *f = FieldAt(fields, column);
    if (!f || f->size == 0)
        return QString();
    if (!f->quoted)
        return Decode(f->data, f->size);
    QByteArray bytes;
    Unescape(f->data, f->size, bytes);
    if (bytes.isEmpty())
        return QString();
    return Decode(bytes.constData(), bytes.size());
}

QString CsvRawRow::Decoded(const char *data, int size)
{
    return size > 0 ? Decode(data, size) : QString();
}

QByteArray CsvRawRow::Bytes(int column) const
{
    const CsvField *f = FieldAt(fields, column);
    if (!f || f->size == 0)
        return QByteArray();
    if (!f->quoted)
        return QByteArray::fromRawData(f->data, f->size);
    QByteArray bytes;
    Unescape(f->data, f->size, bytes);
    return bytes;
}

void CsvRawRow::View(int column, const char **data, int *size, QByteArray &scratch) const
{
    const CsvField *f = FieldAt(fields, column);
    if (!f || f->size == 0) {
        *data = "";
        *size = 0;
    } else if (!f->quoted) {
        *data = f->data;
        *size = f->size;
    } else {
        Unescape(f->data, f->size, scratch);
        *data = scratch.constData();
        *size = scratch.size();
    }
}

qint32 CsvRawRow::Price(int column) const
{
    const CsvField *f = FieldAt(fields, column);
    if (!f || f->size == 0)
        return -1;
    if (!f->quoted)
        return ParsePrice(f->data, f->size);
    QByteArray bytes;
    Unescape(f->data, f->size, bytes);
    return ParsePrice(bytes.constData(), bytes.size());
}

bool CsvRawRow::SameText(const CsvRawRow &a, int columnA, const CsvRawRow &b, int columnB)
{
    const CsvField *fa = FieldAt(a.fields, columnA);
    const CsvField *fb = FieldAt(b.fields, columnB);
    const int sa = fa ? fa->size : 0;
    const int sb = fb ? fb->size : 0;
    if (sa == 0 || sb == 0)
        return a.IsEmpty(columnA) == b.IsEmpty(columnB) && (a.IsEmpty(columnA) || a.Text(columnA) == b.Text(columnB));
    if (!fa->quoted && !fb->quoted && sa == sb && std::memcmp(fa->data, fb->data, size_t(sa)) == 0)
        return true;
    const QByteArray ba = a.Bytes(columnA);
    const QByteArray bb = b.Bytes(columnB);
    if (ba == bb)
        return true;
    // Different bytes still decode to the same text when both hold invalid
    // sequences that become replacement characters.
    return Decode(ba.constData(), ba.size()) == Decode(bb.constData(), bb.size());
}

qint32 CsvRawRow::ParsePrice(const char *data, int size)
{
    // The common shapes ("1999", "1999.90", "-5") are parsed here; anything
    // else goes through the toolkit's C-locale conversion.
    const char *p = data;
    const char *end = data + size;
    bool negative = false;
    if (p < end && *p == '-') {
        negative = true;
        ++p;
    }
    const char *digits = p;
    qint64 value = 0;
    while (p < end && *p >= '0' && *p <= '9' && p - digits < 10) {
        value = value * 10 + (*p - '0');
        ++p;
    }
    bool simple = p > digits;
    if (simple && p < end) {
        if (*p == '.' && end - p > 1) {
            ++p;
            while (p < end && *p >= '0' && *p <= '9')
                ++p;
            simple = p == end;
        } else {
            simple = false;
        }
    }
    if (simple) {
        if (negative)
            value = -value;
        if (value > std::numeric_limits<qint32>::max() || value < std::numeric_limits<qint32>::min())
            return -1;
        return qint32(value);
    }
    return ExactPrice(data, end);
}

qint32 CsvRawRow::ParsePrice(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    return ParsePrice(bytes.constData(), bytes.size());
}
