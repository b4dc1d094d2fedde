#pragma once

#include <QByteArray>
#include <QString>

class CsvRawRow;

// Appends rows in the catalogue's CSV dialect to a byte buffer: fields
// separated by ";", quoted when they hold ";", a quote or a line break,
// quotes doubled, "\r\n" at the end. Cells of another reader's row are
// copied as bytes when they are well-formed UTF-8.
class CsvRowBuilder
{
public:
    explicit CsvRowBuilder(QByteArray *out) : m_out(out) {}

    void Begin() { m_hasField = false; }
    // Begins a row whose cells come from raw: when its bytes are well-formed
    // UTF-8 as a whole, so is every cell, and no cell is checked again.
    void Begin(const CsvRawRow &raw);
    void Field(const QString &text);
    void Field(const QByteArray &utf8) { Escaped(utf8.constData(), utf8.size()); }
    void Field(const char *utf8, int size) { Escaped(utf8, size); }
    void Field(const CsvRawRow &row, int column);
    void End() { m_out->append("\r\n", 2); }

private:
    void Escaped(const char *data, int size);

    QByteArray *m_out;
    QByteArray m_scratch;
    bool m_hasField = false;
    bool m_rowValid = false;
};
