#include "csvrowscanner.h"

#include <cstring>

#include "csvrowparser.h"
#include "platform.h"

namespace {

const int kChunk = 4 << 20;
const qint64 kWindow = 2 << 20;
const qint64 kReleaseStretch = 32 << 20;
const size_t kKeptSkipped = 5;

// The whole blocks of 64 bytes from p on, each checked as the scan would,
// the first byte of each that fails kept; p is left at the rest.
void CheckBlocks(Utf8Stream &stream, const char *&p, const char *end, std::vector<const char *> &failed)
{
    for (; end - p >= 64; p += 64) {
        if (!stream.Check(p))
            failed.push_back(p);
    }
}

#ifdef FIDMORA_UTF8_AVX2
// The same on a processor with AVX2, the check written into the loop.
__attribute__((target("avx2"))) void CheckBlocksAvx2(Utf8Stream &stream, const char *&p, const char *end,
                                                     std::vector<const char *> &failed)
{
    for (; end - p >= 64; p += 64) {
        if (!stream.CheckAvx2(p))
            failed.push_back(p);
    }
}
#endif

} // namespace

CsvRowScanner::CsvRowScanner(const QString &path, qint64 start, int fieldCount, bool crLineEnds, qint64 stop,
                             CsvRowPreparer *preparer, Mode mode, bool checkUtf8)
    : m_file(path)
    , m_readFrom(start)
    , m_carryOffset(start)
    , m_fieldCount(fieldCount)
    , m_crLineEnds(crLineEnds)
    , m_checkUtf8(checkUtf8)
    , m_stop(stop)
    , m_preparer(preparer)
{
    QString reason;
    if (Platform::OpenForReading(m_file, &reason)) {
        m_size = m_file.size();
        if (mode == Mode::Mapped)
            m_mapped.Map(m_file, m_size);
    } else {
        m_ended = true;
        m_readFailed = true;
    }
}

bool CsvRowScanner::Fill(CsvRowBatch &batch)
{
    // The stretch of the mapping this batch held before: its rows are done with.
    if (batch.mappedSize > 0) {
        Release(batch.mappedFrom, batch.mappedSize);
        batch.mappedSize = 0;
    }
    batch.offsets.clear();
    batch.ends.clear();
    batch.firstFields.clear();
    batch.fields.clear();
    // A batch filled for the first time would grow row by row, copied at
    // each doubling onto fresh pages: it gets the room of the largest batch
    // so far at once.
    batch.offsets.reserve(m_mostRows);
    batch.ends.reserve(m_mostRows);
    batch.firstFields.reserve(m_mostRows + 1);
    batch.fields.reserve(m_mostFields);
    m_checkNow = m_checkUtf8 && !m_deferUtf8;
    batch.utf8Checked = m_checkNow;
    batch.utf8Deferred = m_checkUtf8 && m_deferUtf8;
    batch.invalidUtf8.clear();
    if (m_preparer)
        m_preparer->Begin(batch);
    if (m_mapped.IsMapped())
        FillMapped(batch);
    else
        FillCopied(batch);
    if (batch.offsets.empty())
        return false;
    batch.firstFields.push_back(int(batch.fields.size()));
    m_mostRows = std::max(m_mostRows, batch.offsets.size());
    m_mostFields = std::max(m_mostFields, batch.fields.size());
    if (m_preparer)
        m_preparer->End(batch);
    return true;
}

void CsvRowScanner::Release(qint64 from, qint64 size)
{
    // The stretches come back mostly one after another: they are given back
    // together, many megabytes at a time, since each giving back of pages
    // interrupts the other processor to forget their addresses.
    if (from != m_releaseTo) {
        m_mapped.Release(m_releaseFrom, m_releaseTo - m_releaseFrom);
        m_releaseFrom = from;
    }
    m_releaseTo = from + size;
    if (m_releaseTo - m_releaseFrom >= kReleaseStretch) {
        m_mapped.Release(m_releaseFrom, m_releaseTo - m_releaseFrom);
        m_releaseFrom = m_releaseTo;
    }
}

void CsvRowScanner::TakeRow(CsvRowBatch &batch, const char *begin, const char *end, qint64 offset)
{
    if (m_checkNow && begin < m_utf8.suspectUpTo && !CheckUtf8(begin, end, offset))
        batch.invalidUtf8.push_back(batch.Rows());
    batch.offsets.push_back(offset);
    batch.ends.push_back(offset + (end - begin));
    batch.firstFields.push_back(int(batch.fields.size()));
    batch.fields.insert(batch.fields.end(), m_row.fields.begin(), m_row.fields.end());
    if (m_preparer)
        m_preparer->Prepare(m_row, batch);
}

void CsvRowScanner::Skip(qint64 offset)
{
    if (m_firstSkipped.size() < kKeptSkipped)
        m_firstSkipped.push_back(offset);
    ++m_skipped;
}

bool CsvRowScanner::CheckUtf8(const char *begin, const char *end, qint64 offset)
{
    // A row the scan found suspect, right after it is found, while its bytes
    // are still in the cache.
    if (CsvRawRow::IsValidUtf8(begin, int(end - begin)))
        return true;
    if (m_firstInvalidUtf8.size() < kKeptSkipped)
        m_firstInvalidUtf8.push_back(offset);
    ++m_invalidUtf8;
    return false;
}

void CsvRowScanner::CheckDeferredUtf8(CsvRowBatch &batch, std::vector<qint64> *invalid)
{
    // The same check as the scan's: the batch's stretch 64 bytes at a time,
    // then the rows that touch a block that failed, one by one.
    batch.utf8Deferred = false;
    batch.utf8Checked = true;
    batch.invalidUtf8.clear();
    const int rows = batch.Rows();
    if (rows == 0)
        return;
    const auto at = [&batch](qint64 offset) { return batch.bytes + (offset - batch.bytesOffset); };
    const char *begin = at(batch.offsets.front());
    const char *end = at(batch.ends.back());
    std::vector<const char *> failed; // blocks, by their first byte
    Utf8Stream stream;
    const char *p = begin;
#ifdef FIDMORA_UTF8_AVX2
    if (Utf8Stream::Exact())
        CheckBlocksAvx2(stream, p, end, failed);
    else
#endif
        CheckBlocks(stream, p, end, failed);
    // A sequence the rest leaves unfinished is counted against the last
    // byte, which its row holds.
    if (!stream.CheckLast(p, int(end - p)))
        failed.push_back(p < end ? p : end - 1);
    size_t next = 0;
    for (int i = 0; i < rows && next < failed.size(); ++i) {
        const char *rowBegin = at(batch.offsets[size_t(i)]);
        const char *rowEnd = at(batch.ends[size_t(i)]);
        while (next < failed.size() && failed[next] + 64 <= rowBegin)
            ++next;
        if (next < failed.size() && failed[next] < rowEnd
                && !CsvRawRow::IsValidUtf8(rowBegin, int(rowEnd - rowBegin))) {
            batch.invalidUtf8.push_back(i);
            invalid->push_back(batch.offsets[size_t(i)]);
        }
    }
}

void CsvRowScanner::FillMapped(CsvRowBatch &batch)
{
    // The rows are parsed where the file is mapped, without a copy: a
    // stretch of the file a batch, its pages given back when the batch
    // comes back (the system maps them a few at a time as they are read).
    // The fields point into the mapping, whose bytes only the preparer
    // reads, under the guard, while they are in the cache.
    const char *data = m_mapped.Data();
    const char *fileEnd = data + m_size;
    while (!m_ended && batch.offsets.empty()) {
        const qint64 from = m_readFrom;
        qint64 to = qMin(m_size, from + kWindow);
        if (m_stop >= 0)
            to = qMin(to, m_stop);
        if (from >= to) {
            m_ended = true;
            break;
        }
        qint64 at = from;
        const bool read = MappedFile::Guarded([&]() {
            const char *p = data + at;
            if (at == 0 && m_size >= 3 && std::memcmp(data, "\xEF\xBB\xBF", 3) == 0)
                p += 3;
            const char *next = CsvRowParser::ScanRows(
                    p, fileEnd, data + to, true, m_crLineEnds, m_fieldCount, m_row,
                    [&](const CsvRawRow &, const char *rowBegin, const char *rowEnd) {
                        TakeRow(batch, rowBegin, rowEnd, rowBegin - data);
                    },
                    [&](const char *lineBegin) { Skip(lineBegin - data); }, CsvRowParser::Limits(),
                    m_checkNow ? &m_utf8 : nullptr)
                    .next;
            at = next - data;
        });
        if (!read) {
            // The file shrank under the mapping: what was read of it is no
            // longer there to be read again.
            m_readFailed = true;
            m_ended = true;
            batch.offsets.clear();
            batch.fields.clear();
            break;
        }
        if (batch.offsets.empty()) {
            // A window of nothing but skipped lines (the lines of a record
            // of hundreds of megabytes): no row points into it.
            Release(from, at - from);
        } else {
            batch.mappedFrom = from;
            batch.mappedSize = at - from;
            batch.bytes = data;
            batch.bytesOffset = 0;
        }
        m_readFrom = at;
        if (m_readFrom >= m_size || (m_stop >= 0 && m_readFrom >= m_stop))
            m_ended = true;
    }
}

void CsvRowScanner::FillCopied(CsvRowBatch &batch)
{
    while (!m_ended && batch.offsets.empty()) {
        // A record longer than a chunk makes the next read longer, by up to
        // the largest field, so that it is scanned a bounded number of times
        // and held in a bounded buffer (the scan tells a record over the
        // limits before it grows further).
        const qint64 more = qMax<qint64>(kChunk, qMin<qint64>(m_carry.size(), CsvRowParser::kMaxField));
        const qint64 want = qMin<qint64>(more, qMax<qint64>(0, m_size - m_readFrom));
        batch.data.resize(int(m_carry.size() + want));
        if (!m_carry.isEmpty())
            std::memcpy(batch.data.data(), m_carry.constData(), size_t(m_carry.size()));
        qint64 got = 0;
        if (want > 0 && m_file.seek(m_readFrom)) {
            const qint64 n = m_file.read(batch.data.data() + m_carry.size(), want);
            got = n > 0 ? n : 0;
        }
        m_readFrom += got;
        batch.data.resize(int(m_carry.size() + got));
        const bool atEnd = got < want || m_readFrom >= m_size;

        const char *base = batch.data.constData();
        const char *p = base;
        const char *end = base + batch.data.size();
        if (m_inSkippedLine) {
            // The rest of a skipped line that ran past the last chunk.
            const char *found = CsvRowParser::LineEnd(p, end, m_crLineEnds);
            if (!found) {
                m_carryOffset += end - base;
                m_carry.clear();
                if (atEnd)
                    m_ended = true;
                continue;
            }
            p = found + 1;
            m_inSkippedLine = false;
        }
        if (m_carryOffset == 0 && p == base && batch.data.size() >= 3 && std::memcmp(base, "\xEF\xBB\xBF", 3) == 0)
            p += 3;
        // Rows that begin at the stop belong to the next reader.
        const char *lastBegin = end;
        if (m_stop >= 0 && m_stop - m_carryOffset < end - base) {
            lastBegin = base + qMax<qint64>(0, m_stop - m_carryOffset);
            m_ended = true;
        }
        batch.bytes = base;
        batch.bytesOffset = m_carryOffset;
        const CsvRowParser::ScanEnd scanned = CsvRowParser::ScanRows(
                p, end, lastBegin, atEnd, m_crLineEnds, m_fieldCount, m_row,
                [&](const CsvRawRow &, const char *rowBegin, const char *rowEnd) {
                    TakeRow(batch, rowBegin, rowEnd, m_carryOffset + (rowBegin - base));
                },
                [&](const char *lineBegin) { Skip(m_carryOffset + (lineBegin - base)); }, CsvRowParser::Limits(),
                m_checkNow ? &m_utf8 : nullptr);
        m_carryOffset += scanned.next - base;
        m_carry = QByteArray(scanned.next, int(end - scanned.next));
        m_inSkippedLine = scanned.inSkippedLine;
        if (atEnd)
            m_ended = true;
    }
}
