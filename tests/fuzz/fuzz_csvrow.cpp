// The CSV readers on any bytes, in both line-end modes, under the rule of
// malformed records (a record that is not a row of the header's shape, is
// still inside a quote at the end, or is over the size limits costs the
// line it begins on). The rule written out plainly over the row parser is
// the reference: the 64-byte block scan of the loads finds exactly its rows
// and skipped lines, whole, in two chunks and in two windows; so does the
// row parser fed a chunk and then the rest. Every row written back in the
// dialect reads back as the same cells, and the vector UTF-8 check agrees
// with the byte-at-a-time one. Then the reader on the same bytes as a file:
// its rows in order are the reference's rows after the header, each read
// the same again by its offset, and its skipped lines read as no row.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "csvmanipulator.h"
#include "csvrawrow.h"
#include "csvrowbuilder.h"
#include "csvrowparser.h"
#include "fuzzfiles.h"

using FuzzFiles::Require;

namespace {

struct Found
{
    const char *begin;
    const char *end;
    CsvFields fields;
};

struct Scan
{
    std::vector<Found> rows;
    std::vector<const char *> skipped;
};

bool SameFields(const CsvFields &a, const CsvFields &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].data != b[i].data || a[i].size != b[i].size || a[i].quoted != b[i].quoted)
            return false;
    }
    return true;
}

bool Same(const Scan &a, const Scan &b)
{
    if (a.rows.size() != b.rows.size() || a.skipped != b.skipped)
        return false;
    for (size_t i = 0; i < a.rows.size(); ++i) {
        if (a.rows[i].begin != b.rows[i].begin || a.rows[i].end != b.rows[i].end
                || !SameFields(a.rows[i].fields, b.rows[i].fields))
            return false;
    }
    return true;
}

// The rule over the row parser, record by record. With cut inside the
// bytes, the parser first sees only the bytes up to it, as a reader of a
// file in chunks does, and is given the rest when it asks for more.
Scan ByRecords(const char *begin, const char *end, const char *cut, bool crLineEnds, int fieldCount,
               CsvRecordLimits limits)
{
    Scan scan;
    CsvRawRow row;
    const char *next = nullptr;
    const char *p = begin;
    const char *stop = cut;
    for (;;) {
        const CsvRowParser::Result result = CsvRowParser::Parse(p, stop, stop == end, crLineEnds, row, &next, limits);
        if (result == CsvRowParser::Result::NeedMore) {
            Require(stop != end, "the parser asks for more only before the end");
            stop = end;
            continue;
        }
        if (result == CsvRowParser::Result::Nothing)
            break;
        if (result == CsvRowParser::Result::Row) {
            Require(next > p && next <= stop, "a row moves forward within the bytes");
            for (const CsvField &field : row.fields)
                Require(field.size >= 0 && field.data >= p && field.data + field.size <= next,
                        "fields lie in their row");
            Require(next - p <= limits.row, "a row keeps within its limit");
            const bool blank = CsvRowParser::IsBlank(row);
            if (!blank && (fieldCount == 0 || row.Count() == fieldCount))
                scan.rows.push_back(Found{p, next, row.fields});
            if (blank || fieldCount == 0 || row.Count() == fieldCount) {
                p = next;
                continue;
            }
        }
        Require(row.Count() == 0 || result == CsvRowParser::Result::Row, "a malformed record leaves no fields");
        scan.skipped.push_back(p);
        const char *lineEnd = CsvRowParser::LineEnd(p, end, crLineEnds);
        if (!lineEnd)
            break;
        p = lineEnd + 1;
    }
    return scan;
}

// The block scan the loads run: a chunk of the bytes and then the rest, or
// a window that starts no record at or past cut and then the rest.
Scan ByBlocks(const char *begin, const char *end, const char *cut, bool chunk, bool crLineEnds, int fieldCount,
              CsvRecordLimits limits, bool portable)
{
    Scan scan;
    CsvRawRow row;
    CsvRowParser::Utf8Watch utf8;
    const auto onRow = [&](const CsvRawRow &found, const char *rowBegin, const char *rowEnd) {
        scan.rows.push_back(Found{rowBegin, rowEnd, found.fields});
        Require(rowBegin < utf8.suspectUpTo || CsvRawRow::IsValidUtf8Scalar(rowBegin, int(rowEnd - rowBegin)),
                "the scan's UTF-8 check suspects every row of bad UTF-8");
    };
    const auto onSkipped = [&](const char *line) { scan.skipped.push_back(line); };
    // The copy of the scan this processor runs, or the one of a processor
    // without AVX2.
    const auto scanRows = [&](const char *from, const char *to, const char *lastBegin, bool atEnd) {
        return portable ? CsvRowParser::ScanRowsPortable(from, to, lastBegin, atEnd, crLineEnds, fieldCount, row,
                                                         onRow, onSkipped, limits, &utf8)
                        : CsvRowParser::ScanRows(from, to, lastBegin, atEnd, crLineEnds, fieldCount, row, onRow,
                                                 onSkipped, limits, &utf8);
    };
    const CsvRowParser::ScanEnd first = chunk ? scanRows(begin, cut, cut, false) : scanRows(begin, end, cut, true);
    Require(first.next >= begin && first.next <= (chunk ? cut : end), "a scan stops within its bytes");
    const char *next = first.next;
    if (first.inSkippedLine) {
        Require(chunk && first.next == cut, "only a chunk ends inside a skipped line");
        next = CsvRowParser::LineEnd(next, end, crLineEnds);
        if (!next)
            return scan;
        ++next;
    }
    const CsvRowParser::ScanEnd last = scanRows(next, end, end, true);
    Require(last.next == end && !last.inSkippedLine, "a scan to the end of the bytes ends there");
    return scan;
}

void CheckCells(const Found &found, bool crLineEnds)
{
    CsvRawRow row;
    row.fields = found.fields;
    QByteArray written;
    CsvRowBuilder raw(&written);
    raw.Begin(row);
    for (int i = 0; i < row.Count(); ++i) {
        const CsvField &field = row.fields[size_t(i)];
        Require(CsvRawRow::IsValidUtf8(field.data, field.size) == CsvRawRow::IsValidUtf8Scalar(field.data, field.size),
                "both UTF-8 checks agree");
        Require(CsvRawRow::SameText(row, i, row, i), "a cell has the same text as itself");
        row.Price(i);
        raw.Field(row, i);
    }
    raw.End();
    CsvRowBuilder decoded(&written);
    decoded.Begin();
    for (int i = 0; i < row.Count(); ++i)
        decoded.Field(row.Text(i));
    decoded.End();

    // Both rows written read back as the cells they were written from.
    const char *p = written.constData();
    const char *end = p + written.size();
    for (int copy = 0; copy < 2; ++copy) {
        CsvRawRow back;
        const char *next = nullptr;
        Require(CsvRowParser::Parse(p, end, true, crLineEnds, back, &next) == CsvRowParser::Result::Row,
                "a written row reads back");
        if (row.Count() > 1 || row.Text(0).size() > 0) {
            Require(back.Count() == row.Count(), "a written row keeps its field count");
            for (int i = 0; i < row.Count(); ++i)
                Require(back.Text(i) == row.Text(i), "a written cell reads back as the same text");
        }
        p = next;
    }
}

void CheckReader(const uint8_t *data, size_t size)
{
    std::unique_ptr<CsvManipulator> reader(OpenCsvReader(FuzzFiles::Write("feed.csv", data, size)));
    if (!reader)
        return;
    // The reference after the header, in the reader's line-end mode.
    const char *begin = reinterpret_cast<const char *>(data);
    const char *end = begin + size;
    const bool bom = size >= 3 && std::memcmp(begin, "\xEF\xBB\xBF", 3) == 0;
    CsvRawRow header;
    const char *dataStart = nullptr;
    Require(CsvRowParser::Parse(begin + (bom ? 3 : 0), end, true, reader->CrLineEnds(), header, &dataStart)
                    == CsvRowParser::Result::Row,
            "a header the reader took is a row");
    Require(header.Count() == reader->Header().size(), "the header has its fields");
    const int columns = reader->Header().size();
    const Scan expected = ByRecords(dataStart, end, end, reader->CrLineEnds(), columns, CsvRecordLimits());
    // The in-order read first: a random read moves the position it goes on from.
    std::vector<qint64> offsets;
    std::vector<QStringList> rows;
    for (;;) {
        const qint64 at = reader->Position();
        const QStringList row = reader->NextRow();
        if (row.isEmpty())
            break;
        offsets.push_back(at);
        rows.push_back(row);
    }
    Require(rows.size() == expected.rows.size(), "the reader finds the rows the rule does");
    Require(reader->SkippedRows() == qint64(expected.skipped.size()), "the reader counts the lines the rule skips");
    for (size_t index = 0; index < rows.size(); ++index) {
        const Found &found = expected.rows[index];
        const QStringList &row = rows[index];
        const qint64 at = offsets[index];
        Require(at == found.begin - begin, "a row's offset is where the rule finds it");
        Require(row.size() == columns, "rows read have the header's field count");
        CsvRawRow raw;
        raw.fields = found.fields;
        for (int i = 0; i < columns; ++i)
            Require(row.at(i) == raw.Text(i), "a row read in order has the rule's cells");
        Require(reader->RowAt(at) == row, "a row read again by its offset is the same row");
        const CsvRawRow *scanned = reader->ScanAt(at);
        Require(scanned && scanned->Count() == columns, "a row scanned again by its offset is found");
        const CsvRawRow *read = reader->ReadAt(at);
        Require(read && read->Count() == columns && read->Text(columns - 1) == row.last(),
                "a row read again from the file is the same row");
    }
    for (const qint64 line : reader->FirstSkipped()) {
        Require(reader->RowAt(line).isEmpty() && !reader->ScanAt(line) && !reader->ReadAt(line),
                "a skipped line reads as no row");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzFiles::Application();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *begin = reinterpret_cast<const char *>(data);
    const char *end = begin + size;
    // The shape and the limits the input's first bytes choose: small limits
    // bring the size rule within the reach of small inputs.
    const int fieldCount = size > 1 ? data[1] % 5 : 0;
    CsvRecordLimits limits;
    if (size > 2 && data[2] % 3 == 0) {
        limits.field = data[2] % 61;
        limits.row = size > 3 ? 1 + data[3] % 200 : 100;
    }
    const char *cut = size > 0 ? begin + data[0] % (size + 1) : end;
    for (const bool crLineEnds : {false, true}) {
        const Scan reference = ByRecords(begin, end, end, crLineEnds, fieldCount, limits);
        Require(Same(reference, ByRecords(begin, end, cut, crLineEnds, fieldCount, limits)),
                "a record cut by a chunk's end is found whole");
        // Half the inputs take the copy of the scan without AVX2.
        const bool portable = size % 2 == 1;
        Require(Same(reference, ByBlocks(begin, end, cut, true, crLineEnds, fieldCount, limits, portable)),
                "the block scan in chunks agrees with the rule");
        Require(Same(reference, ByBlocks(begin, end, cut, false, crLineEnds, fieldCount, limits, portable)),
                "the block scan in windows agrees with the rule");
        // Written rows always end with "\r\n": in the mode for files of
        // "\r" alone a cell holding "\n" is no cell of such a file.
        if (!crLineEnds) {
            for (const Found &found : reference.rows)
                CheckCells(found, crLineEnds);
        }
    }
    CheckReader(data, size);
    return 0;
}
