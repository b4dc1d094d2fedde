#include "csvrowbuilder.h"

#include <cstring>

#include "csvrawrow.h"

void CsvRowBuilder::Escaped(const char *data, int size)
{
    if (m_hasField)
        m_out->append(';');
    m_hasField = true;
    bool needsQuotes = false;
    bool hasQuote = false;
    for (int i = 0; i < size; ++i) {
        const char c = data[i];
        if (c == '"') {
            hasQuote = true;
            break;
        }
        if (c == ';' || c == '\r' || c == '\n')
            needsQuotes = true;
    }
    if (!hasQuote) {
        if (needsQuotes)
            m_out->append('"');
        m_out->append(data, size);
        if (needsQuotes)
            m_out->append('"');
        return;
    }
    m_out->append('"');
    const char *p = data;
    const char *end = data + size;
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
