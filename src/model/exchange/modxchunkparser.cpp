#include "modxchunkparser.h"

#include <cstring>

#include "csvrawrow.h"
#include "csvrowbuilder.h"

namespace {

const int kMaxDepth = 64;

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void AppendUtf8(QByteArray &out, uint code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

} // namespace

ModxChunkParser::ModxChunkParser(int columns, int wanted, QVector<QStringList> *rows)
    : m_columns(columns)
    , m_wanted(wanted)
    , m_rows(rows)
{
    Reserve();
}

ModxChunkParser::ModxChunkParser(int columns, int wanted, QByteArray *csvRows)
    : m_columns(columns)
    , m_wanted(wanted)
    , m_csv(csvRows)
{
    Reserve();
}

void ModxChunkParser::Reserve()
{
    // A reserved buffer keeps its memory when it is emptied for the next
    // cell (resize(0)); a cleared one would give it back every time.
    m_cell.reserve(4096);
}

void ModxChunkParser::SkipSpace()
{
    while (m_at < m_end && (*m_at == ' ' || *m_at == '\n' || *m_at == '\r' || *m_at == '\t'))
        ++m_at;
}

bool ModxChunkParser::Expect(char c)
{
    SkipSpace();
    if (m_at == m_end || *m_at != c)
        return false;
    ++m_at;
    return true;
}

bool ModxChunkParser::ReadBytes(QByteArray *out)
{
    if (!Expect('"'))
        return false;
    if (out)
        out->resize(0);
    while (m_at < m_end) {
        // The run up to the next quote or escape is copied in one piece;
        // both are found with memchr, which looks at many bytes at a time.
        const char *start = m_at;
        const auto *quote = static_cast<const char *>(std::memchr(m_at, '"', size_t(m_end - m_at)));
        if (!quote)
            return false;
        const auto *escape = static_cast<const char *>(std::memchr(m_at, '\\', size_t(quote - m_at)));
        m_at = escape ? escape : quote;
        if (out)
            out->append(start, int(m_at - start));
        if (*m_at++ == '"')
            return true;
        if (m_at == m_end)
            return false;
        const char escaped = *m_at++;
        char plain = 0;
        switch (escaped) {
        case '"': plain = '"'; break;
        case '\\': plain = '\\'; break;
        case '/': plain = '/'; break;
        case 'b': plain = '\b'; break;
        case 'f': plain = '\f'; break;
        case 'n': plain = '\n'; break;
        case 'r': plain = '\r'; break;
        case 't': plain = '\t'; break;
        case 'u': {
            uint code = 0;
            for (int i = 0; i < 4; ++i) {
                const int digit = m_at < m_end ? HexValue(*m_at++) : -1;
                if (digit < 0)
                    return false;
                code = code << 4 | uint(digit);
            }
            if (code >= 0xD800 && code < 0xDC00 && m_end - m_at >= 6 && m_at[0] == '\\' && m_at[1] == 'u') {
                uint low = 0;
                bool valid = true;
                for (int i = 2; i < 6; ++i) {
                    const int digit = HexValue(m_at[i]);
                    valid = valid && digit >= 0;
                    low = low << 4 | uint(qMax(digit, 0));
                }
                if (valid && low >= 0xDC00 && low < 0xE000) {
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                    m_at += 6;
                }
            }
            if (code >= 0xD800 && code < 0xE000)
                code = 0xFFFD; // a lone surrogate
            if (out)
                AppendUtf8(*out, code);
            continue;
        }
        default:
            return false;
        }
        if (out)
            out->append(plain);
    }
    return false;
}

bool ModxChunkParser::ReadCell(const char **data, int *size)
{
    if (!Expect('"'))
        return false;
    // Most cells hold nothing to unescape: they are used where they stand.
    const char *start = m_at;
    const auto *quote = static_cast<const char *>(std::memchr(m_at, '"', size_t(m_end - m_at)));
    if (!quote)
        return false;
    if (!std::memchr(start, '\\', size_t(quote - start))) {
        *data = start;
        *size = int(quote - start);
        m_at = quote + 1;
        return true;
    }
    m_at = start - 1;
    if (!ReadBytes(&m_cell))
        return false;
    *data = m_cell.constData();
    *size = m_cell.size();
    return true;
}

bool ModxChunkParser::ReadString(QString *out)
{
    if (!ReadBytes(&m_cell))
        return false;
    if (out)
        *out = QString::fromUtf8(m_cell);
    return true;
}

bool ModxChunkParser::SkipValue(int depth)
{
    SkipSpace();
    if (m_at == m_end || depth > kMaxDepth)
        return false;
    const char c = *m_at;
    if (c == '"')
        return ReadBytes(nullptr);
    if (c == '[' || c == '{') {
        const char close = c == '[' ? ']' : '}';
        ++m_at;
        if (Expect(close))
            return true;
        do {
            if (c == '{' && (!ReadBytes(nullptr) || !Expect(':')))
                return false;
            if (!SkipValue(depth + 1))
                return false;
        } while (Expect(','));
        return Expect(close);
    }
    // A number or a literal: up to the next delimiter.
    const char *start = m_at;
    while (m_at < m_end && !std::strchr(",]} \t\r\n", *m_at))
        ++m_at;
    return m_at > start;
}

bool ModxChunkParser::ReadRow(bool *usable)
{
    int cells = 0;
    m_row.clear();
    CsvRowBuilder builder(m_csv);
    if (m_csv)
        builder.Begin();
    *usable = true;
    ++m_at; // '['
    if (!Expect(']')) {
        do {
            SkipSpace();
            const char *data = ""; // a null reads as an empty cell
            int size = 0;
            const bool isNull = m_end - m_at >= 4 && std::memcmp(m_at, "null", 4) == 0;
            if (isNull) {
                m_at += 4;
            } else if (m_at < m_end && *m_at == '"') {
                if (!ReadCell(&data, &size))
                    return false;
            } else {
                *usable = false;
                if (!SkipValue(1))
                    return false;
                continue;
            }
            ++cells;
            if (!*usable)
                continue;
            if (m_rows) {
                m_row.append(isNull ? QString() : QString::fromUtf8(data, size));
            } else if (m_validUtf8) {
                builder.Field(data, size);
            } else {
                builder.Field(QString::fromUtf8(data, size));
            }
        } while (Expect(','));
        if (!Expect(']'))
            return false;
    }
    if (m_csv)
        builder.End();
    if (cells != m_columns)
        *usable = false;
    return true;
}

bool ModxChunkParser::ReadRows()
{
    ++m_at; // '['
    if (Expect(']'))
        return true;
    do {
        SkipSpace();
        if (m_at < m_end && *m_at == '[') {
            // A CSV row is built in place and taken back when it does not count.
            const int rowStart = m_csv ? m_csv->size() : 0;
            bool usable = false;
            const bool read = ReadRow(&usable);
            const bool kept = read && usable && m_kept < m_wanted;
            if (m_csv && !kept)
                m_csv->resize(rowStart);
            if (!read)
                return false;
            if (!usable) {
                ++m_unusable;
            } else if (kept) {
                ++m_kept;
                if (m_rows)
                    m_rows->append(m_row);
            }
        } else {
            ++m_unusable;
            if (!SkipValue(1))
                return false;
        }
    } while (Expect(','));
    return Expect(']');
}

bool ModxChunkParser::Parse(const QByteArray &body)
{
    m_at = body.constData();
    m_end = m_at + body.size();
    m_success = false;
    m_message.clear();
    m_unusable = 0;
    m_kept = 0;
    // Cells are copied into the CSV as bytes only when the body is UTF-8
    // throughout; otherwise each is decoded, its bad bytes replaced.
    m_validUtf8 = !m_csv || CsvRawRow::IsValidUtf8(body.constData(), body.size());
    if (!Expect('{'))
        return false;
    if (Expect('}'))
        return m_at == m_end || (SkipSpace(), m_at == m_end);
    do {
        QString key;
        if (!ReadString(&key) || !Expect(':'))
            return false;
        SkipSpace();
        if (key == QLatin1String("success") && m_end - m_at >= 4 && std::memcmp(m_at, "true", 4) == 0) {
            m_success = true;
            m_at += 4;
        } else if (key == QLatin1String("message") && m_at < m_end && *m_at == '"') {
            if (!ReadString(&m_message))
                return false;
        } else if (key == QLatin1String("object") && m_at < m_end && *m_at == '[') {
            if (!ReadRows())
                return false;
        } else if (!SkipValue(0)) {
            return false;
        }
    } while (Expect(','));
    if (!Expect('}'))
        return false;
    SkipSpace();
    return m_at == m_end;
}
