#pragma once

#include "csvrawrow.h"
#include "csvrowparser.h"
#include "mappedfile.h"

#include <algorithm>
#include <memory>
#include <vector>

#include <QByteArray>
#include <QFile>
#include <QString>

// What a preparer works out for the rows of a batch; its own kind of it.
struct CsvPreparedRows
{
    virtual ~CsvPreparedRows() = default;
};

// Rows of a CSV feed found a few megabytes at a time, nothing decoded.
struct CsvRowBatch
{
    QByteArray data;
    std::vector<qint64> offsets;  // file offset of each row
    std::vector<qint64> ends;     // file offset just past each row
    std::vector<int> firstFields; // each row's first field in fields, and one past the last row
    std::vector<CsvField> fields; // pointing into data
    // With the scanner's UTF-8 check: the rows, in order, whose bytes are not
    // well-formed UTF-8. A check the scanner left to the batch's taker
    // (CheckDeferredUtf8) is deferred until then.
    bool utf8Checked = false;
    bool utf8Deferred = false;
    std::vector<int> invalidUtf8;
    // Where the rows' bytes lie: row i begins at bytes + (offsets[i] - bytesOffset).
    const char *bytes = nullptr;
    qint64 bytesOffset = 0;
    // What the scanner's preparer worked out for the rows, if it has one.
    std::unique_ptr<CsvPreparedRows> prepared;
    // The stretch of a mapped file that the rows lie in (see CsvRowScanner).
    qint64 mappedFrom = 0;
    qint64 mappedSize = 0;

    int Rows() const { return int(offsets.size()); }
    // Whether row i's bytes are known to be well-formed UTF-8.
    bool IsUtf8(int i) const
    {
        return utf8Checked && !std::binary_search(invalidUtf8.begin(), invalidUtf8.end(), i);
    }
    // Makes row a view of the batch's row i.
    void RowAt(int i, CsvRawRow &row) const
    {
        row.fields.assign(fields.begin() + firstFields[size_t(i)], fields.begin() + firstFields[size_t(i) + 1]);
    }
};

// Work on each row that the scanner's thread does while the row's bytes are
// still in its cache (a load's cells, a base row's digests): the thread
// that takes the batch later would find them gone from its own. Runs on
// the scanner's thread only.
class CsvRowPreparer
{
public:
    virtual ~CsvRowPreparer() = default;
    // Before the first row of a batch.
    virtual void Begin(CsvRowBatch &batch) = 0;
    // Each row, in order, as it is found: the batch's last row (IsUtf8 tells of it).
    virtual void Prepare(const CsvRawRow &row, CsvRowBatch &batch) = 0;
    // After the last row of a batch: work on the batch's rows as a whole,
    // without their bytes (which it may not read).
    virtual void End(CsvRowBatch &) {}
};

// Reads a feed's rows in file order from a byte offset at which a row begins,
// with a file handle of its own, up to the end of the file or a given
// offset. Blank lines are passed over; so are malformed records (see
// CsvRowParser), whose first lines are counted and the offsets of the first
// few kept, so that the load can say what it left out. Asked to, it also
// counts the rows whose bytes are not well-formed UTF-8.
class CsvRowScanner
{
public:
    // Copied: the batch holds a copy of the file's bytes, which any thread
    // may read. Mapped: the rows are parsed where the file is mapped, and
    // only the preparer reads their bytes (the mapping's guard is around
    // it); cheaper, for loads that take what they need of a row there.
    enum class Mode { Copied, Mapped };

    CsvRowScanner(const QString &path, qint64 start, int fieldCount, bool crLineEnds, qint64 stop = -1,
                  CsvRowPreparer *preparer = nullptr, Mode mode = Mode::Copied, bool checkUtf8 = false);
    CsvRowScanner(const CsvRowScanner &) = delete;
    CsvRowScanner &operator=(const CsvRowScanner &) = delete;

    // Fills the batch with the next rows; false once there are none left.
    bool Fill(CsvRowBatch &batch);
    // With checkUtf8, in the mapped mode: the batches filled from now on
    // leave their UTF-8 check to whoever takes them (CheckDeferredUtf8), or
    // no longer do. The rows a batch's preparer is given are then not known
    // to be UTF-8.
    void DeferUtf8(bool defer) { m_deferUtf8 = defer && m_mapped.IsMapped(); }
    // The check a batch's scanner left: the rows of bad UTF-8 put in the
    // batch's list and their offsets appended to invalid. Its bytes may lie
    // where the file is mapped: call it under the mapping's guard.
    static void CheckDeferredUtf8(CsvRowBatch &batch, std::vector<qint64> *invalid);

    // Lines of malformed records passed over so far, and where the first of them begin.
    qint64 SkippedRows() const { return m_skipped; }
    const std::vector<qint64> &FirstSkipped() const { return m_firstSkipped; }
    // With checkUtf8: rows read whose bytes are not well-formed UTF-8 (their
    // cells read with replacement characters), and where the first begin.
    qint64 InvalidUtf8Rows() const { return m_invalidUtf8; }
    const std::vector<qint64> &FirstInvalidUtf8() const { return m_firstInvalidUtf8; }
    // False when the file could not be read to its end.
    bool ReadWhole() const { return !m_readFailed; }
    // The file's size when it was opened.
    qint64 FileSize() const { return m_size; }

private:
    void FillMapped(CsvRowBatch &batch);
    void FillCopied(CsvRowBatch &batch);
    // A row found; the preparer is told whether its bytes are UTF-8 (see CheckUtf8).
    void TakeRow(CsvRowBatch &batch, const char *begin, const char *end, qint64 offset);
    void Skip(qint64 offset);
    // Gives back the pages of a stretch of the mapping that no batch holds.
    void Release(qint64 from, qint64 size);
    // False, and the row counted, when the bytes of the row that begins at
    // that offset are not UTF-8. Only the rows the scan's own check finds
    // suspect are checked again.
    bool CheckUtf8(const char *begin, const char *end, qint64 offset);

    QFile m_file;
    MappedFile m_mapped;
    qint64 m_size = 0;
    qint64 m_readFrom;    // next byte to read from the file
    qint64 m_releaseFrom = 0; // a stretch of the mapping given back but for its pages
    qint64 m_releaseTo = 0;
    qint64 m_carryOffset; // file offset of the bytes carried over
    QByteArray m_carry;   // the start of a row that the last chunk cut
    const int m_fieldCount;
    const bool m_crLineEnds;
    const bool m_checkUtf8;
    bool m_deferUtf8 = false;
    bool m_checkNow = false; // the batch being filled is checked here
    const qint64 m_stop;
    CsvRowPreparer *const m_preparer;
    bool m_ended = false;
    bool m_readFailed = false;
    bool m_inSkippedLine = false; // the bytes up to the next line end belong to a skipped line
    qint64 m_skipped = 0;
    std::vector<qint64> m_firstSkipped;
    // The most rows and fields a batch has held: the room a batch filled
    // for the first time is given at once.
    size_t m_mostRows = 0;
    size_t m_mostFields = 0;
    qint64 m_invalidUtf8 = 0;
    std::vector<qint64> m_firstInvalidUtf8;
    CsvRowParser::Utf8Watch m_utf8; // which rows the scan found may not be UTF-8
    CsvRawRow m_row;
};
