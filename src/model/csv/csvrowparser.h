#pragma once

#include "csvrawrow.h"
#include "utf8stream.h"

#include <cstring>
#include <limits>

#include <QtGlobal>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define FIDMORA_SCAN_AVX2 1
#endif

// Over these sizes a field or a record is no part of a feed: it would take
// hundreds of megabytes to hold, so it is skipped like any other malformed
// record. Tests give smaller ones.
struct CsvRecordLimits
{
    static constexpr qint64 kMaxField = qint64(64) << 20;
    static constexpr qint64 kMaxRecord = qint64(256) << 20;
    qint64 field = kMaxField;
    qint64 row = kMaxRecord;
    // With fewer than all, the parse stops once this many fields are found:
    // a walk that needs one early cell of rows already loaded reads no
    // further (the record's end, and its shape, are then not known).
    int fields = std::numeric_limits<int>::max();
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
    // ("\n", and "\r" too in a file of "\r" alone) among 64 bytes, all of
    // which must be there to read (a scan pads the last few). MasksOf works
    // them out without AVX2; the scan's AVX2 copy has its own.
    struct BlockMasks
    {
        quint64 quotes = 0;
        quint64 separators = 0;
        quint64 lineEnds = 0;
    };
    static BlockMasks MasksOf(const char *block, bool crLineEnds);

    // Told to a scan of rows: which of its rows may hold bytes that are not
    // well-formed UTF-8, checked on the way in 64 bytes at a time. A row
    // that begins before suspectUpTo may; one that begins at or after it
    // does not. A row is told before it is handed on.
    struct Utf8Watch
    {
        Utf8Stream stream;
        const char *suspectUpTo = nullptr;
    };

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
                            Limits limits = Limits(), Utf8Watch *utf8 = nullptr)
    {
#ifdef FIDMORA_SCAN_AVX2
        if (HasAvx2())
            return ScanRowsAvx2(begin, end, lastBegin, atEnd, crLineEnds, fieldCount, row, onRow, onSkipped, limits,
                                utf8);
#endif
        return ScanRowsWith<false>(begin, end, lastBegin, atEnd, crLineEnds, fieldCount, row, onRow, onSkipped,
                                   limits, utf8);
    }

    // The same scan as a processor without AVX2 runs it, on any processor:
    // tests hold both copies to the same rule.
    template<typename OnRow, typename OnSkipped>
    static ScanEnd ScanRowsPortable(const char *begin, const char *end, const char *lastBegin, bool atEnd,
                                    bool crLineEnds, int fieldCount, CsvRawRow &row, OnRow &&onRow,
                                    OnSkipped &&onSkipped, Limits limits = Limits(), Utf8Watch *utf8 = nullptr)
    {
        return ScanRowsWith<false>(begin, end, lastBegin, atEnd, crLineEnds, fieldCount, row, onRow, onSkipped,
                                   limits, utf8);
    }

private:
    // The scan itself. A processor with AVX2 runs a copy built for it, with
    // the masks of each block worked out in the loop: a call a block, with
    // the masks handed back through memory, cost the scan about a tenth of
    // its time.
    template<bool kAvx2, typename OnRow, typename OnSkipped>
    [[gnu::always_inline]] static inline ScanEnd ScanRowsWith(const char *begin, const char *end,
                                                              const char *lastBegin, bool atEnd, bool crLineEnds,
                                                              int fieldCount, CsvRawRow &row, OnRow &onRow,
                                                              OnSkipped &onSkipped, Limits limits, Utf8Watch *utf8);
#ifdef FIDMORA_SCAN_AVX2
    static bool HasAvx2();
    template<typename OnRow, typename OnSkipped>
    __attribute__((target("avx2"))) static ScanEnd ScanRowsAvx2(const char *begin, const char *end,
                                                                const char *lastBegin, bool atEnd, bool crLineEnds,
                                                                int fieldCount, CsvRawRow &row, OnRow &onRow,
                                                                OnSkipped &onSkipped, Limits limits, Utf8Watch *utf8)
    {
        return ScanRowsWith<true>(begin, end, lastBegin, atEnd, crLineEnds, fieldCount, row, onRow, onSkipped,
                                  limits, utf8);
    }
    __attribute__((target("avx2"))) static quint64 Bits32(__m256i bytes, char c)
    {
        return quint64(uint(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, _mm256_set1_epi8(c)))));
    }
    __attribute__((target("avx2"))) static BlockMasks MasksAvx2(const char *block, bool crLineEnds)
    {
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(block));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(block + 32));
        BlockMasks masks;
        masks.quotes = Bits32(low, '"') | (Bits32(high, '"') << 32);
        masks.separators = Bits32(low, ';') | (Bits32(high, ';') << 32);
        masks.lineEnds = Bits32(low, '\n') | (Bits32(high, '\n') << 32);
        if (crLineEnds)
            masks.lineEnds |= Bits32(low, '\r') | (Bits32(high, '\r') << 32);
        return masks;
    }
#endif

    // True when the record from rowBegin, whose last field begins at
    // fieldBegin and which runs on at least up to upTo, is over the limits
    // whatever follows (a field may still lose a "\r" before its line end).
    static bool OverLimit(const char *rowBegin, const char *fieldBegin, const char *upTo, Limits limits)
    {
        return upTo - fieldBegin - 1 > limits.field || upTo - rowBegin > limits.row;
    }
    enum class Record { Row, Blank, MalformedLine, MalformedLines };
    // What the record of these fields, from rowBegin to rowEnd, is: a row,
    // a blank line, or malformed on one line or on several (lastLineEnd is
    // where its last line ends). fieldTooLong tells of a field that the
    // row holds no longer (an empty last one).
    static Record Classify(const CsvRawRow &row, const char *rowBegin, const char *lastLineEnd, const char *rowEnd,
                           int fieldCount, bool crLineEnds, Limits limits, bool fieldTooLong = false);

public:
    // True when a file that begins with these bytes ends its lines with "\r"
    // alone, as far as they tell: a "\r" and no "\n". The caller confirms
    // with HasLineFeed over the whole file.
    static bool LooksCrOnly(const char *data, qint64 size);
    static bool HasLineFeed(const char *data, qint64 size);
};

template<bool kAvx2, typename OnRow, typename OnSkipped>
CsvRowParser::ScanEnd CsvRowParser::ScanRowsWith(const char *begin, const char *end, const char *lastBegin,
                                                 bool atEnd, bool crLineEnds, int fieldCount, CsvRawRow &row,
                                                 OnRow &onRow, OnSkipped &onSkipped, Limits limits, Utf8Watch *utf8)
{
    // The usual row takes one comparison of its field count and one of its
    // size; everything else is on the side of the rare records.
    const qint64 plainRow = qMin(limits.field, limits.row);
    row.Clear();
    const char *rowBegin = begin;
    const char *fieldBegin = begin;
    bool quoteInField = false; // a quote in the part of the field before this block
    quint64 inside = 0;        // all ones while the block starts inside a quoted stretch
    const char *block = begin;
    if (utf8) {
        utf8->stream.Reset();
        utf8->suspectUpTo = nullptr;
    }
    char padded[64];
    for (;;) {
        // Here a record begins, outside any quote: at the start, or on the
        // line after the first line of a malformed record.
        if (rowBegin >= lastBegin)
            return ScanEnd{rowBegin, false};
        const char *resume = nullptr; // where the scan starts afresh
        for (; block < end; block += 64) {
            const int size = end - block >= 64 ? 64 : int(end - block);
            // The bytes a kilobyte on are asked for ahead: the processor's own
            // fetching ahead stops at the end of each page, and the scan then
            // waited on the next one's first bytes. (A fetch asked for past
            // the end of the bytes is dropped, never a fault.)
            __builtin_prefetch(block + 1024);
            const char *bytes = block;
            if (size < 64) {
                // The bytes past the end may not be there to read: a copy,
                // padded with bytes that mean nothing (and that end any
                // UTF-8 sequence left unfinished).
                std::memset(padded, 'x', sizeof padded);
                std::memcpy(padded, block, size_t(size));
                bytes = padded;
            }
            BlockMasks masks;
#ifdef FIDMORA_SCAN_AVX2
            if constexpr (kAvx2)
                masks = MasksAvx2(bytes, crLineEnds);
            else
#endif
                masks = MasksOf(bytes, crLineEnds);
            if (utf8) {
                bool wellFormed;
#ifdef FIDMORA_SCAN_AVX2
                if constexpr (kAvx2)
                    wellFormed = utf8->stream.CheckAvx2(bytes);
                else
#endif
                    wellFormed = utf8->stream.Check(bytes);
                if (!wellFormed)
                    utf8->suspectUpTo = block + size;
            }
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
            if (!structural && OverLimit(rowBegin, fieldBegin, block + size, limits)) {
                // A block that ends no field may be the middle of a field
                // over the limit: its record is malformed whatever follows,
                // and no more of it is read.
                row.Clear();
                onSkipped(rowBegin);
                resume = LineEnd(rowBegin, end, crLineEnds);
                if (!resume)
                    return ScanEnd{end, !atEnd};
                ++resume;
                break;
            }
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
                    // Over the limit only in a record that is left out.
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
                const char *rowEnd = at + 1;
                if (row.Count() == fieldCount && (fieldCount > 1 || !IsBlank(row)) && rowEnd - rowBegin <= plainRow) {
                    onRow(row, rowBegin, rowEnd);
                } else {
                    switch (Classify(row, rowBegin, at, rowEnd, fieldCount, crLineEnds, limits)) {
                    case Record::Row:
                        onRow(row, rowBegin, rowEnd);
                        break;
                    case Record::Blank:
                        break;
                    case Record::MalformedLine:
                        onSkipped(rowBegin);
                        break;
                    case Record::MalformedLines:
                        onSkipped(rowBegin);
                        resume = LineEnd(rowBegin, at, crLineEnds) + 1;
                        break;
                    }
                    if (resume)
                        break;
                }
                row.Clear();
                rowBegin = fieldBegin = rowEnd;
                quoteInField = false;
                if (rowBegin >= lastBegin)
                    return ScanEnd{rowBegin, false};
            }
            if (resume)
                break;
            const int from = fieldBegin > block ? int(fieldBegin - block) : 0;
            if (from < 64 && (masks.quotes & (~quint64(0) << from)))
                quoteInField = true;
        }
        if (!resume) {
            if (rowBegin >= end)
                return ScanEnd{end, false};
            if (!atEnd) {
                // The rest of the record is for the next call, unless a field
                // or the record is already over the limit.
                row.Clear();
                if (!OverLimit(rowBegin, fieldBegin, end, limits))
                    return ScanEnd{rowBegin, false};
                onSkipped(rowBegin);
                resume = LineEnd(rowBegin, end, crLineEnds);
                if (!resume)
                    return ScanEnd{end, true};
                ++resume;
            } else {
                // The input ends inside a record. One whose quoted section is
                // still open is malformed; otherwise its last field counts
                // when it holds a character.
                Record record = Record::MalformedLines;
                if (!inside) {
                    CsvField field;
                    field.data = fieldBegin;
                    field.size = int(end - fieldBegin);
                    field.quoted = quoteInField;
                    if (CsvRawRow::HasCharacters(field))
                        row.fields.push_back(field);
                    record = Classify(row, rowBegin, end, end, fieldCount, crLineEnds, limits,
                                      end - fieldBegin > limits.field);
                }
                if (record == Record::Row) {
                    // A sequence the last block left unfinished ends this row.
                    if (utf8 && utf8->stream.Pending())
                        utf8->suspectUpTo = end;
                    onRow(row, rowBegin, end);
                }
                else if (record != Record::Blank)
                    onSkipped(rowBegin);
                row.Clear();
                if (record != Record::MalformedLines)
                    return ScanEnd{end, false};
                resume = LineEnd(rowBegin, end, crLineEnds);
                if (!resume)
                    return ScanEnd{end, false};
                ++resume;
            }
        }
        // The lines after the first of a malformed record are read again.
        row.Clear();
        block = rowBegin = fieldBegin = resume;
        quoteInField = false;
        inside = 0;
        if (utf8)
            utf8->stream.Reset();
    }
}
