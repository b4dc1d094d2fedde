#pragma once

#include "csvrawrow.h"

#include <cstring>

#include <QtGlobal>

// Over these sizes a field or a record is no part of a feed: it would take
// hundreds of megabytes to hold, so it is skipped like any other malformed
// record. Tests give smaller ones.
struct CsvRecordLimits
{
    static constexpr qint64 kMaxField = qint64(64) << 20;
    static constexpr qint64 kMaxRecord = qint64(256) << 20;
    qint64 field = kMaxField;
    qint64 row = kMaxRecord;
};

// Finds the fields of one row of the catalogue's CSV dialect in a stretch of
// bytes, without decoding anything: the bottom of the reading layers (the
// scanner, the stream and the reader stack on it). Rows end with "\n" or
// "\r\n"; a lone "\r" is an ordinary character, except in a file whose
// lines all end with "\r" alone, which is read with "\r" as the line end.
//
// A record is malformed when a quoted section is still open at the end of
// the file, when one of its fields is longer than Limits::field or the
// whole record longer than Limits::row, or when its field count is not the
// header's. A malformed record costs only the line it begins on: reading
// goes on at the line after, so that one stray quote loses one line rather
// than every row up to the next quote. A quoted cell with line breaks in a
// record of the right shape is a row like any other.
class CsvRowParser
{
public:
    enum class Result { Row, NeedMore, Nothing, Malformed };

    using Limits = CsvRecordLimits;
    static constexpr qint64 kMaxField = CsvRecordLimits::kMaxField;

    // Finds the fields of the record that begins at begin. NeedMore when
    // the bytes up to end do not hold the whole record and more may follow;
    // with atEnd set, end is the end of the file. For a Row, rowEnd receives
    // where the next record begins. Malformed for a record still inside a
    // quoted section at the end of the file or over the limits; a record
    // over the limits is told as soon as its bytes show it, without waiting
    // for its end. The field count is not checked here.
    static Result Parse(const char *begin, const char *end, bool atEnd, bool crLineEnds, CsvRawRow &row,
                        const char **rowEnd, Limits limits = Limits());

    // A blank line: no field, or one without a byte. Passed over silently.
    static bool IsBlank(const CsvRawRow &row)
    {
        return row.fields.empty() || (row.fields.size() == 1 && row.fields[0].size == 0);
    }
    // Where the line that holds begin ends (its "\n", or in a file of "\r"
    // alone its "\r", which a "\n" would end as well); null when no line
    // end comes before end.
    static const char *LineEnd(const char *begin, const char *end, bool crLineEnds)
    {
        if (begin >= end)
            return nullptr;
        const auto *lineFeed = static_cast<const char *>(std::memchr(begin, '\n', size_t(end - begin)));
        if (!crLineEnds)
            return lineFeed;
        const auto *cr = static_cast<const char *>(std::memchr(begin, '\r', size_t((lineFeed ? lineFeed : end) - begin)));
        return cr ? cr : lineFeed;
    }

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

    // Where a scan of rows stopped: where the next record begins, or, with
    // inSkippedLine, that the bytes up to the next line end (past the bytes
    // given) belong to a skipped line and are to be passed over first.
    struct ScanEnd
    {
        const char *next;
        bool inSkippedLine;
    };

    // Finds the records from begin on, in order, as Parse() one after
    // another would, with the rules of malformed records above, but a block
    // of 64 bytes at a time: the quoted stretches of a block are told by the
    // parity of the quotes before each byte, so that only the separators and
    // line ends outside them are looked at. Calls onRow(row, rowBegin,
    // rowEnd) for every row of fieldCount fields (of any count when it is
    // 0) and onSkipped(lineBegin) for the first line of every malformed
    // record, and passes over blank lines; it stops before the first record
    // that would begin at or after lastBegin. A record that end cuts is left
    // for the next call unless atEnd is set.
    template<typename OnRow, typename OnSkipped>
    static ScanEnd ScanRows(const char *begin, const char *end, const char *lastBegin, bool atEnd, bool crLineEnds,
                            int fieldCount, CsvRawRow &row, OnRow &&onRow, OnSkipped &&onSkipped,
                            Limits limits = Limits());

    // True when a file that begins with these bytes ends its lines with "\r"
    // alone, as far as they tell: a "\r" and no "\n". The caller confirms
    // with HasLineFeed over the whole file.
    static bool LooksCrOnly(const char *data, qint64 size);
    static bool HasLineFeed(const char *data, qint64 size);
};

template<typename OnRow, typename OnSkipped>
CsvRowParser::ScanEnd CsvRowParser::ScanRows(const char *begin, const char *end, const char *lastBegin, bool atEnd,
                                             bool crLineEnds, int fieldCount, CsvRawRow &row, OnRow &&onRow,
                                             OnSkipped &&onSkipped, Limits limits)
{
    row.Clear();
    const char *rowBegin = begin;
    const char *fieldBegin = begin;
    bool quoteInField = false; // a quote in the part of the field before this block
    bool tooLong = false;      // a field of the record is over the limit
    quint64 inside = 0;        // all ones while the block starts inside a quoted stretch
    const char *block = begin;
    // A malformed record: its first line is counted and skipped, and the
    // scan starts afresh on the line after it, outside any quote.
    const auto skipRecord = [&]() -> bool {
        onSkipped(rowBegin);
        row.Clear();
        const char *lineEnd = LineEnd(rowBegin, end, crLineEnds);
        if (!lineEnd)
            return false;
        block = rowBegin = fieldBegin = lineEnd + 1;
        quoteInField = tooLong = false;
        inside = 0;
        return true;
    };
    // A record that ended at rowEnd (a line end, or the end of the file):
    // false when the scan starts afresh elsewhere.
    const auto recordEnds = [&](const char *lineEndAt, const char *rowEnd) -> bool {
        tooLong = tooLong || rowEnd - rowBegin > limits.row;
        if (tooLong || !IsBlank(row)) {
            if (!tooLong && (fieldCount == 0 || row.Count() == fieldCount))
                onRow(row, rowBegin, rowEnd);
            else if (LineEnd(rowBegin, lineEndAt, crLineEnds))
                return false; // a record of several lines: the lines after its first are read again
            else
                onSkipped(rowBegin);
        }
        row.Clear();
        rowBegin = fieldBegin = rowEnd;
        quoteInField = tooLong = false;
        return true;
    };
    for (;;) {
        if (rowBegin >= lastBegin)
            return ScanEnd{rowBegin, false};
        bool restart = false;
        for (; block < end; block += 64) {
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
                    tooLong = tooLong || at - fieldBegin > limits.field;
                    field.size = int(at - fieldBegin); // over the limit only in a record left out
                    fieldBegin = at + 1;
                    quoteInField = false;
                    continue;
                }
                // A line end: "\r\n" ends a row as "\n" does.
                const char *fieldEnd = at;
                if (!crLineEnds && at > fieldBegin && at[-1] == '\r')
                    --fieldEnd;
                tooLong = tooLong || fieldEnd - fieldBegin > limits.field;
                field.size = int(fieldEnd - fieldBegin);
                if (!recordEnds(at, at + 1)) {
                    if (!skipRecord())
                        return ScanEnd{end, false}; // not reached: the record's own line end follows
                    restart = true;
                    break;
                }
                if (rowBegin >= lastBegin)
                    return ScanEnd{rowBegin, false};
            }
            if (restart)
                break;
            // A field or record already over the limit is malformed whatever
            // follows: told now, so that no more of it is read. (A field may
            // still lose a "\r" before its line end.)
            const char *blockEnd = block + size;
            if (blockEnd - fieldBegin - 1 > limits.field || blockEnd - rowBegin > limits.row) {
                if (!skipRecord())
                    return ScanEnd{end, !atEnd};
                restart = true;
                break;
            }
            const int from = fieldBegin > block ? int(fieldBegin - block) : 0;
            if (from < 64 && (masks.quotes & (~quint64(0) << from)))
                quoteInField = true;
        }
        if (restart)
            continue;
        if (rowBegin >= end)
            return ScanEnd{end, false};
        if (!atEnd) {
            row.Clear();
            return ScanEnd{rowBegin, false};
        }
        // The input ends inside a record. One whose quoted section is still
        // open is malformed; otherwise its last field counts when it holds
        // a character.
        if (!inside) {
            CsvField field;
            field.data = fieldBegin;
            field.size = int(end - fieldBegin);
            field.quoted = quoteInField;
            tooLong = tooLong || end - fieldBegin > limits.field;
            if (CsvRawRow::HasCharacters(field))
                row.fields.push_back(field);
            if (recordEnds(end, end))
                return ScanEnd{end, false};
        }
        if (!skipRecord())
            return ScanEnd{end, false};
    }
}
