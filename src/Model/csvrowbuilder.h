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
    void Field(const QString &text);
    void Field(const CsvRawRow &row, int column);
    void End() { m_out->append("\r\n", 2); }

private:
    void Escaped(const char *data, int size);

    QByteArray *m_out;
    QByteArray m_scratch;
    bool m_hasField = false;
};
