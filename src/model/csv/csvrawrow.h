#pragma once

#include "csvfields.h"

#include <QByteArray>
#include <QString>

// A CSV row as found in the reader's buffer, nothing decoded yet. The hot
// loops of the catalogue (loading, identity keys, base comparison, saving)
// decode only the cells they need from it. The fields point into the
// reader's buffer and are valid until the next read of the same kind.
class CsvRawRow
{
public:
    int Count() const { return int(fields.size()); }
    void Clear() { fields.clear(); }
    // The field of a column, or null for -1 and columns past the end.
    const CsvField *Field(int column) const
    {
        return column >= 0 && column < int(fields.size()) ? &fields[size_t(column)] : nullptr;
    }

    // True when the cell holds no character (it reads as a null string);
    // a column of -1 or past the end counts as empty.
    bool IsEmpty(int column) const;
    // The cell decoded from UTF-8; a null string when it holds no character.
    QString Text(int column) const;
    // The cell's bytes with the quoting removed. For an unquoted cell the
    // result shares the reader's buffer, so it must not outlive the row.
    QByteArray Bytes(int column) const;
    // The cell's bytes with the quoting removed, without a copy when the cell
    // has no quotes (the view then points into the reader's buffer);
    // otherwise unescaped into scratch.
    void View(int column, const char **data, int *size, QByteArray &scratch) const;
    // Whole-number price of the cell, -1 when there is none.
    qint32 Price(int column) const;

    // Exact equality of two decoded cells.
    static bool SameText(const CsvRawRow &a, int columnA, const CsvRawRow &b, int columnB);

    // Bytes of a cell, its quoting removed, decoded from UTF-8; a null string
    // when there are none.
    static QString Decoded(const char *data, int size);
    // Removes the quoting of a field's bytes.
    static void Unescape(const char *data, int size, QByteArray &out);
    // True when the field holds at least one character.
    static bool HasCharacters(const CsvField &field);
    // True when the bytes are well-formed UTF-8, so that decoding and
    // encoding them again gives the same bytes.
    static bool IsValidUtf8(const char *data, int size);
    // The same, a byte at a time (the reference for the vector version).
    static bool IsValidUtf8Scalar(const char *data, int size);
    // Parses a price as a C-locale decimal number truncated toward zero;
    // -1 when the text is not a number or does not fit.
    static qint32 ParsePrice(const char *data, int size);
    static qint32 ParsePrice(const QString &text);

    CsvFields fields;
};
