// The CSV row parser on any bytes, in both line-end modes: rows move
// forward and stay within the bytes, a row cut by the end of a chunk is
// found whole once more bytes come, the vector UTF-8 check agrees with the
// byte-at-a-time one, and every row written back in the dialect reads back
// as the same cells. Then the reader on the same bytes as a file: the rows
// it reads in order have the header's field count and read the same again
// by their offsets.
#include <cstdint>
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
    std::vector<CsvField> fields;
};

std::vector<Found> ParseAll(const char *begin, const char *end, bool crLineEnds)
{
    std::vector<Found> rows;
    CsvRawRow row;
    const char *next = nullptr;
    for (const char *p = begin; CsvRowParser::Parse(p, end, true, crLineEnds, row, &next) == CsvRowParser::Result::Row;
         p = next) {
        Require(next > p && next <= end, "a row moves forward within the bytes");
        for (const CsvField &field : row.fields)
            Require(field.size >= 0 && field.data >= p && field.data + field.size <= next, "fields lie in their row");
        rows.push_back(Found{p, next, row.fields});
    }
    return rows;
}

// The way the scanner reads: a chunk that ends at cut, and the whole once
// the parser asks for more.
std::vector<Found> ParseInTwo(const char *begin, const char *cut, const char *end, bool crLineEnds)
{
    std::vector<Found> rows;
    CsvRawRow row;
    const char *next = nullptr;
    const char *p = begin;
    const char *stop = cut;
    bool atEnd = cut == end;
    for (;;) {
        const CsvRowParser::Result result = CsvRowParser::Parse(p, stop, atEnd, crLineEnds, row, &next);
        if (result == CsvRowParser::Result::Row) {
            rows.push_back(Found{p, next, row.fields});
            p = next;
        } else if (result == CsvRowParser::Result::NeedMore && !atEnd) {
            stop = end;
            atEnd = true;
        } else {
            break;
        }
    }
    return rows;
}

bool Same(const std::vector<Found> &a, const std::vector<Found> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].begin != b[i].begin || a[i].end != b[i].end || a[i].fields.size() != b[i].fields.size())
            return false;
        for (size_t j = 0; j < a[i].fields.size(); ++j) {
            if (a[i].fields[j].data != b[i].fields[j].data || a[i].fields[j].size != b[i].fields[j].size)
                return false;
        }
    }
    return true;
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
    for (;;) {
        const qint64 at = reader->Position();
        const QStringList row = reader->NextRow();
        if (row.isEmpty())
            break;
        Require(row.size() == reader->Header().size(), "rows read have the header's field count");
        // Blank lines and malformed rows before the row are passed over, so
        // the offset may begin one of those, which reads as no row (or, in a
        // feed of one column, as one empty cell).
        const QStringList again = reader->RowAt(at);
        const bool passedOver = again.isEmpty() || (again.size() == 1 && again.first().isEmpty());
        if (!passedOver && again != row)
            qWarning("at %lld: [%s], read again [%s]", at, qPrintable(row.join(QLatin1Char('|'))),
                     qPrintable(again.join(QLatin1Char('|'))));
        Require(passedOver || again == row, "a row read again by its offset is the same row");
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
    for (const bool crLineEnds : {false, true}) {
        const std::vector<Found> rows = ParseAll(begin, end, crLineEnds);
        if (size > 0) {
            const char *cut = begin + data[0] % size;
            Require(Same(rows, ParseInTwo(begin, cut, end, crLineEnds)), "a row cut by a chunk's end is found whole");
        }
        for (const Found &found : rows) {
            // Written rows always end with "\r\n": in the mode for files of
            // "\r" alone a cell holding "\n" is no cell of such a file.
            if (!crLineEnds)
                CheckCells(found, crLineEnds);
        }
    }
    CheckReader(data, size);
    return 0;
}
