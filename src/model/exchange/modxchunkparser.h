#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// Reads a site's reply to "data" straight into rows: {"success": …,
// "message": …, "object": [[cell, …], …]}. A chunk holds thousands of rows;
// building a JSON document of them first would cost the client more than
// the site spends on them. A row counts only when it has exactly the given
// number of cells, each a string (or null, read as empty); other rows are
// counted as unusable. The rows are kept as lists of texts, or appended to
// a buffer as CSV rows of the catalogue's dialect, straight from the bytes.
class ModxChunkParser
{
public:
    // Rows beyond wanted are read but not kept.
    ModxChunkParser(int columns, int wanted, QVector<QStringList> *rows);
    ModxChunkParser(int columns, int wanted, QByteArray *csvRows);

    // False when the body is not a JSON object; the caller then reads it
    // with the general parser for the message.
    bool Parse(const QByteArray &body);

    bool Success() const { return m_success; }
    QString Message() const { return m_message; }
    int Unusable() const { return m_unusable; }
    // Rows kept.
    int Kept() const { return m_kept; }

private:
    void Reserve();
    void SkipSpace();
    bool Expect(char c);
    // Decodes the string at the cursor into UTF-8 bytes.
    bool ReadBytes(QByteArray *out);
    // The string at the cursor as UTF-8 bytes: where it stands in the body
    // when it holds no escape, else decoded into m_cell.
    bool ReadCell(const char **data, int *size);
    bool ReadString(QString *out);
    bool SkipValue(int depth);
    bool ReadRows();
    bool ReadRow(bool *usable);

    const int m_columns;
    const int m_wanted;
    QVector<QStringList> *m_rows = nullptr;
    QByteArray *m_csv = nullptr;
    bool m_validUtf8 = true;
    int m_kept = 0;
    QStringList m_row;
    QByteArray m_cell;
    const char *m_at = nullptr;
    const char *m_end = nullptr;
    bool m_success = false;
    QString m_message;
    int m_unusable = 0;
};
