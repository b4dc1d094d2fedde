#pragma once

#include "csvrawrow.h"

// Finds the fields of one row of the catalogue's CSV dialect in a stretch of
// bytes, without decoding anything: the bottom of the reading layers (the
// scanner, the stream and the reader stack on it). Rows end with "\n" or
// "\r\n"; a lone "\r" is an ordinary character, except in a file whose
// lines all end with "\r" alone, which is read with "\r" as the line end.
class CsvRowParser
{
public:
    enum class Result { Row, NeedMore, Nothing };

    // Finds the fields of the row that begins at begin. NeedMore when the
    // bytes up to end do not hold the whole row and more may follow; with
    // atEnd set, end is the end of the file. rowEnd receives where the next
    // row begins. The field count is not checked here.
    static Result Parse(const char *begin, const char *end, bool atEnd, bool crLineEnds, CsvRawRow &row,
                        const char **rowEnd);

    // The bits of the quotes, of the separators (";") and of the line ends
    // ("\n", and "\r" too in a file of "\r" alone) among 64 bytes. A block
    // shorter than 64 bytes is given with its size; its other bits are 0.
    struct BlockMasks
    {
        quint64 quotes = 0;
        quint64 separators = 0;
        quint64 lineEnds = 0;
    };
    static BlockMasks MasksOf(const char *block, int size, bool crLineEnds);

    // Finds the rows from begin on, in order, as Parse() one after another
    // would, but a block of 64 bytes at a time: the quoted stretches of a
    // block are told by the parity of the quotes before each byte, so that
    // only the separators and line ends outside them are looked at. Calls
    // onRow(row, rowBegin, rowEnd) for every row, up to the first row that
    // would begin at or after lastBegin. Returns where the next row begins;
    // a row that end cuts is left for the next call unless atEnd is set.
    template<typename OnRow>
    static const char *ScanRows(const char *begin, const char *end, const char *lastBegin, bool atEnd,
                                bool crLineEnds, CsvRawRow &row, OnRow &&onRow);

    // True when a file that begins with these bytes ends its lines with "\r"
    // alone, as far as they tell: a "\r" and no "\n". The caller confirms
    // with HasLineFeed over the whole file.
    static bool LooksCrOnly(const char *data, qint64 size);
    static bool HasLineFeed(const char *data, qint64 size);
};

template<typename OnRow>
const char *CsvRowParser::ScanRows(const char *begin, const char *end, const char *lastBegin, bool atEnd,
                                   bool crLineEnds, CsvRawRow &row, OnRow &&onRow)
{
    row.Clear();
    const char *rowBegin = begin;
    const char *fieldBegin = begin;
    bool quoteInField = false; // a quote in the part of the field before this block
    quint64 inside = 0;        // all ones while the block starts inside a quoted stretch
    if (begin >= lastBegin)
        return begin;
    for (const char *block = begin; block < end; block += 64) {
        const int size = end - block >= 64 ? 64 : int(end - block);
        const BlockMasks masks = MasksOf(block, size, crLineEnds);
        // Each byte's parity of the quotes up to and including it: 1 inside
        // a quoted stretch (its opening quote included), 0 outside.
        quint64 parity = masks.quotes;
        parity ^= parity << 1;
        parity ^= parity << 2;
        parity ^= parity << 4;
        parity ^= parity << 8;
        parity ^= parity << 16;
        parity ^= parity << 32;
        parity ^= inside;
        inside = quint64(qint64(parity) >> 63);
        quint64 structural = (masks.separators | masks.lineEnds) & ~parity;
        while (structural) {
            const int bit = __builtin_ctzll(structural);
            structural &= structural - 1;
            const char *at = block + bit;
            const int from = fieldBegin > block ? int(fieldBegin - block) : 0;
            const quint64 before = (bit == 0 ? 0 : (~quint64(0) >> (64 - bit))) & (~quint64(0) << from);
            // The field is written where it stays, member by member: a field
            // built aside and copied whole would wait on its own stores.
            CsvField &field = row.fields.emplace_back();
            field.data = fieldBegin;
            field.quoted = quoteInField || (masks.quotes & before) != 0;
            if (masks.separators >> bit & 1) {
                field.size = int(at - fieldBegin);
                fieldBegin = at + 1;
                quoteInField = false;
                continue;
            }
            // A line end: "\r\n" ends a row as "\n" does.
            const char *fieldEnd = at;
            if (!crLineEnds && at > fieldBegin && at[-1] == '\r')
                --fieldEnd;
            field.size = int(fieldEnd - fieldBegin);
            onRow(row, rowBegin, at + 1);
            row.Clear();
            rowBegin = fieldBegin = at + 1;
            quoteInField = false;
            if (rowBegin >= lastBegin)
                return rowBegin;
        }
        const int from = fieldBegin > block ? int(fieldBegin - block) : 0;
        if (from < 64 && (masks.quotes & (~quint64(0) << from)))
            quoteInField = true;
    }
    if (rowBegin >= end)
        return end;
    if (!atEnd) {
        row.Clear();
        return rowBegin;
    }
    // The input ends inside a row: its last field counts when it holds a character.
    CsvField field;
    field.data = fieldBegin;
    field.size = int(end - fieldBegin);
    field.quoted = quoteInField;
    if (CsvRawRow::HasCharacters(field))
        row.fields.push_back(field);
    onRow(row, rowBegin, end);
    row.Clear();
    return end;
}
