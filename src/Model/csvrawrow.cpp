#include "csvrawrow.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

const CsvField *FieldAt(const std::vector<CsvField> &fields, int column)
{
    if (column < 0 || column >= int(fields.size()))
        return nullptr;
    return &fields[size_t(column)];
}

qint32 FromDouble(double value)
{
    if (!std::isfinite(value))
        return -1;
    const double truncated = std::trunc(value);
    if (truncated > double(std::numeric_limits<qint32>::max())
            || truncated < double(std::numeric_limits<qint32>::min()))
        return -1;
    return qint32(truncated);
}

// The toolkit's decoder drops a byte-order mark at the start of the text; in
// a cell it is an ordinary character and is kept.
QString Decode(const char *data, int size)
{
    if (size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0)
        return QChar(0xFEFF) + QString::fromUtf8(data + 3, size - 3);
    return QString::fromUtf8(data, size);
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

bool CsvRawRow::IsValidUtf8(const char *data, int size)
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
        const uchar c = *p;
        if (c < 0x80) {
            ++p;
        } else if (c >= 0xC2 && c <= 0xDF) {
            if (end - p < 2 || (p[1] & 0xC0) != 0x80)
                return false;
            p += 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            if (end - p < 3 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80)
                return false;
            if ((c == 0xE0 && p[1] < 0xA0) || (c == 0xED && p[1] > 0x9F))
                return false; // overlong form or a surrogate
            p += 3;
        } else if (c >= 0xF0 && c <= 0xF4) {
            if (end - p < 4 || (p[1] & 0xC0) != 0x80 || (p[2] & 0xC0) != 0x80 || (p[3] & 0xC0) != 0x80)
                return false;
            if ((c == 0xF0 && p[1] < 0x90) || (c == 0xF4 && p[1] > 0x8F))
                return false; // overlong form or beyond the last code point
            p += 4;
        } else {
            return false;
        }
    }
    return true;
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
    return ParsePrice(QString::fromUtf8(data, size));
}

qint32 CsvRawRow::ParsePrice(const QString &text)
{
    if (text.isEmpty())
        return -1;
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok)
        return -1;
    return FromDouble(value);
}
