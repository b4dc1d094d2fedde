#include "csvrowparser.h"

#include <cstring>

#include <QtGlobal>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace {

// Bytes that end or change a field: ";", the quote, "\r" and "\n". No byte
// of a multi-byte UTF-8 sequence equals one of them, so the scan works on
// bytes and never decodes.
struct SpecialTable
{
    bool special[256];
    SpecialTable()
    {
        std::memset(special, 0, sizeof special);
        special[uchar(';')] = special[uchar('"')] = special[uchar('\r')] = special[uchar('\n')] = true;
    }
};
const SpecialTable s_table;

#ifdef __SSE2__
inline quint64 Mask16(const char *p)
{
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(';')),
                                                   _mm_cmpeq_epi8(v, _mm_set1_epi8('"'))),
                                      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')),
                                                   _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))));
    return quint64(uint(_mm_movemask_epi8(hits)));
}
#endif

inline quint64 Mask64(const char *p)
{
#ifdef __SSE2__
    return Mask16(p) | (Mask16(p + 16) << 16) | (Mask16(p + 32) << 32) | (Mask16(p + 48) << 48);
#else
    quint64 mask = 0;
    for (int i = 0; i < 64; ++i)
        mask |= quint64(s_table.special[uchar(p[i])]) << i;
    return mask;
#endif
}

// Bits for the special bytes among the 64 from p; none at or past end.
inline quint64 SpecialMask(const char *p, const char *end)
{
    if (end - p >= 64)
        return Mask64(p);
    char tail[64] = {};
    const int size = int(end - p);
    std::memcpy(tail, p, size_t(size));
    return Mask64(tail) & ((quint64(1) << size) - 1);
}

} // namespace

CsvRowParser::Result CsvRowParser::Parse(const char *begin, const char *end, bool atEnd, bool crLineEnds,
                                         CsvRawRow &row, const char **rowEnd, Limits limits)
{
    row.Clear();
    *rowEnd = end;
    if (begin >= end)
        return atEnd ? Result::Nothing : Result::NeedMore;

    const char *fieldStart = begin;
    bool quoted = false;
    bool tooLong = false;
    auto endField = [&](const char *fieldEnd) {
        CsvField field;
        field.data = fieldStart;
        field.size = int(fieldEnd - fieldStart);
        field.quoted = quoted;
        tooLong = tooLong || fieldEnd - fieldStart > limits.field;
        row.fields.push_back(field);
    };
    auto rowEnds = [&](const char *next) {
        if (tooLong || next - begin > limits.row) {
            row.Clear();
            return Result::Malformed;
        }
        *rowEnd = next;
        return Result::Row;
    };
    auto endOfInput = [&]() {
        CsvField field;
        field.data = fieldStart;
        field.size = int(end - fieldStart);
        field.quoted = quoted;
        tooLong = tooLong || end - fieldStart > limits.field;
        if (CsvRawRow::HasCharacters(field))
            row.fields.push_back(field);
        return rowEnds(end);
    };
    // Every byte before upTo belongs to the open field: a field or record
    // that long is over the limit whatever follows (the field may still
    // lose a "\r" before its line end).
    auto overLimit = [&](const char *upTo) {
        return upTo - fieldStart - 1 > limits.field || upTo - begin > limits.row;
    };
    auto needMore = [&]() {
        if (overLimit(end)) {
            row.Clear();
            return Result::Malformed;
        }
        return Result::NeedMore;
    };

    // The row is scanned 64 bytes at a time: a bit mask marks the bytes that
    // end or change a field, and only those are looked at.
    const char *p = begin;
    for (;;) {
        if (p >= end)
            return atEnd ? endOfInput() : needMore();
        quint64 mask = SpecialMask(p, end);
        const char *next = p + 64;
        while (mask) {
            const char *c = p + __builtin_ctzll(mask);
            mask &= mask - 1;
            if (*c == ';') {
                endField(c);
                if (int(row.fields.size()) >= limits.fields)
                    return rowEnds(c + 1);
                fieldStart = c + 1;
                quoted = false;
            } else if (*c == '\n') {
                endField(c);
                return rowEnds(c + 1);
            } else if (*c == '\r') {
                if (crLineEnds) {
                    endField(c);
                    return rowEnds(c + 1);
                }
                if (c + 1 == end) {
                    if (!atEnd)
                        return needMore();
                } else if (c[1] == '\n') {
                    endField(c);
                    return rowEnds(c + 2);
                }
                // a lone "\r" is an ordinary character
            } else { // the quote: a quoted section up to the next single quote
                quoted = true;
                const char *q = c + 1;
                for (;;) {
                    q = static_cast<const char *>(std::memchr(q, '"', size_t(end - q)));
                    if (!q) {
                        // A section still open at the end of the file makes
                        // no row: its record is malformed.
                        if (atEnd) {
                            row.Clear();
                            return Result::Malformed;
                        }
                        return needMore();
                    }
                    if (q + 1 == end) {
                        if (!atEnd)
                            return needMore();
                        next = end;
                        break;
                    }
                    if (q[1] != '"') {
                        next = q + 1; // the character after the section follows the usual rules
                        break;
                    }
                    q += 2;
                }
                break;
            }
        }
        if (next < end && overLimit(next)) {
            row.Clear();
            return Result::Malformed;
        }
        p = next;
    }
}

namespace {

#ifdef __SSE2__
inline quint64 Bits16(__m128i bytes, char c)
{
    return quint64(uint(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(c)))));
}
#endif

#ifdef FIDMORA_SCAN_AVX2
const bool s_avx2 = __builtin_cpu_supports("avx2");
#endif

CsvRowParser::BlockMasks MasksPortable(const char *p, bool cr)
{
    CsvRowParser::BlockMasks masks;
#ifdef __SSE2__
    for (int i = 0; i < 4; ++i) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16 * i));
        masks.quotes |= Bits16(bytes, '"') << (16 * i);
        masks.separators |= Bits16(bytes, ';') << (16 * i);
        masks.lineEnds |= (Bits16(bytes, '\n') | (cr ? Bits16(bytes, '\r') : 0)) << (16 * i);
    }
#else
    for (int i = 0; i < 64; ++i) {
        masks.quotes |= quint64(p[i] == '"') << i;
        masks.separators |= quint64(p[i] == ';') << i;
        masks.lineEnds |= quint64(p[i] == '\n' || (cr && p[i] == '\r')) << i;
    }
#endif
    return masks;
}

} // namespace

CsvRowParser::BlockMasks CsvRowParser::MasksOf(const char *block, bool crLineEnds)
{
    return MasksPortable(block, crLineEnds);
}

#ifdef FIDMORA_SCAN_AVX2
bool CsvRowParser::HasAvx2()
{
    return s_avx2;
}
#endif

CsvRowParser::Record CsvRowParser::Classify(const CsvRawRow &row, const char *rowBegin, const char *lastLineEnd,
                                            const char *rowEnd, int fieldCount, bool crLineEnds, Limits limits,
                                            bool fieldTooLong)
{
    bool tooLong = fieldTooLong || rowEnd - rowBegin > limits.row;
    for (const CsvField &field : row.fields)
        tooLong = tooLong || field.size > limits.field;
    if (!tooLong && IsBlank(row))
        return Record::Blank;
    if (!tooLong && (fieldCount == 0 || row.Count() == fieldCount))
        return Record::Row;
    return LineEnd(rowBegin, lastLineEnd, crLineEnds) ? Record::MalformedLines : Record::MalformedLine;
}

bool CsvRowParser::LooksCrOnly(const char *data, qint64 size)
{
    return std::memchr(data, '\r', size_t(size)) && !HasLineFeed(data, size);
}

bool CsvRowParser::HasLineFeed(const char *data, qint64 size)
{
    return std::memchr(data, '\n', size_t(size)) != nullptr;
}
