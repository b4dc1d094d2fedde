#include "csvrowbuilder.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "csvrawrow.h"

namespace {

// The first ";", quote, "\r" or "\n" from p on, or end.
const char *FindSpecial(const char *p, const char *end)
{
#ifdef __SSE2__
    const __m128i semicolon = _mm_set1_epi8(';');
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, semicolon), _mm_cmpeq_epi8(v, quote)),
                                          _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        const int mask = _mm_movemask_epi8(hits);
        if (mask)
            return p + __builtin_ctz(unsigned(mask));
        p += 16;
    }
#endif
    while (p < end && *p != ';' && *p != '"' && *p != '\r' && *p != '\n')
        ++p;
    return p;
}

} // namespace

void CsvRowBuilder::Escaped(const char *data, int size)
{
    if (m_hasField)
        m_out->append(';');
    m_hasField = true;
    const char *end = data + size;
    const char *special = FindSpecial(data, end);
    if (special == end) {
        m_out->append(data, size);
        return;
    }
    const bool hasQuote = *special == '"' || std::memchr(special, '"', size_t(end - special));
    if (!hasQuote) {
        m_out->append('"');
        m_out->append(data, size);
        m_out->append('"');
        return;
    }
    m_out->append('"');
    const char *p = data;
    while (p < end) {
        const char *q = static_cast<const char *>(std::memchr(p, '"', size_t(end - p)));
        if (!q) {
            m_out->append(p, int(end - p));
            break;
        }
        m_out->append(p, int(q - p + 1));
        m_out->append('"');
        p = q + 1;
    }
    m_out->append('"');
}

void CsvRowBuilder::Begin(const CsvRawRow &raw)
{
    m_hasField = false;
    m_rowValid = false;
    if (raw.Count() > 0) {
        const CsvField &first = raw.fields.front();
        const CsvField &last = raw.fields.back();
        m_rowValid = CsvRawRow::IsValidUtf8(first.data, int(last.data + last.size - first.data));
    }
}

void CsvRowBuilder::Field(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    Escaped(bytes.constData(), bytes.size());
}

void CsvRowBuilder::Field(const CsvRawRow &row, int column)
{
    const CsvField *field = row.Field(column);
    if (!field || field->size == 0) {
        Escaped(nullptr, 0);
        return;
    }
    const char *data = field->data;
    int size = field->size;
    if (field->quoted) {
        CsvRawRow::Unescape(data, size, m_scratch);
        data = m_scratch.constData();
        size = m_scratch.size();
    }
    // Invalid UTF-8 is written the way it reads: with replacement characters.
    if (!m_rowValid && !CsvRawRow::IsValidUtf8(data, size)) {
        Field(row.Text(column));
        return;
    }
    if (field->quoted) {
        Escaped(data, size);
        return;
    }
    // A field found without quotes holds no separator, quote or line end;
    // only a lone carriage return makes it need quotes.
    if (m_hasField)
        m_out->append(';');
    m_hasField = true;
    if (std::memchr(data, '\r', size_t(size))) {
        m_out->append('"');
        m_out->append(data, size);
        m_out->append('"');
    } else {
        m_out->append(data, size);
    }
}
