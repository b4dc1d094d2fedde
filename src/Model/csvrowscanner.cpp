#include "csvrowscanner.h"

#include <cstring>
#include <limits>

#include "csvrowparser.h"

namespace {

const int kChunk = 4 << 20;
const size_t kKeptSkipped = 5;

} // namespace

CsvRowScanner::CsvRowScanner(const QString &path, qint64 start, int fieldCount, bool crLineEnds, qint64 stop,
                             CsvRowPreparer *preparer)
    : m_file(path)
    , m_readFrom(start)
    , m_carryOffset(start)
    , m_fieldCount(fieldCount)
    , m_crLineEnds(crLineEnds)
    , m_stop(stop)
    , m_preparer(preparer)
{
    if (m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        m_size = m_file.size();
    } else {
        m_ended = true;
        m_readFailed = true;
    }
}

bool CsvRowScanner::Fill(CsvRowBatch &batch)
{
    batch.offsets.clear();
    batch.ends.clear();
    batch.firstFields.clear();
    batch.fields.clear();
    if (m_preparer)
        m_preparer->Begin(batch);
    while (!m_ended && batch.offsets.empty()) {
        // A row longer than a chunk makes the next read as long as the row,
        // so that it is scanned a bounded number of times.
        const qint64 want = qMin<qint64>(qMax<qint64>(kChunk, m_carry.size()), qMax<qint64>(0, m_size - m_readFrom));
        if (qint64(m_carry.size()) + want > qint64(std::numeric_limits<int>::max()) - 64) {
            // A row of gigabytes is no row of a feed: it and the rest of the
            // file are left out, and counted as one.
            if (m_firstSkipped.size() < kKeptSkipped)
                m_firstSkipped.push_back(m_carryOffset);
            ++m_skipped;
            m_ended = true;
            break;
        }
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
        if (m_carryOffset == 0 && batch.data.size() >= 3 && std::memcmp(base, "\xEF\xBB\xBF", 3) == 0)
            p += 3;
        for (;;) {
            const qint64 offset = m_carryOffset + (p - base);
            if (m_stop >= 0 && offset >= m_stop) {
                m_ended = true;
                break;
            }
            const char *next = nullptr;
            if (CsvRowParser::Parse(p, end, atEnd, m_crLineEnds, m_row, &next) != CsvRowParser::Result::Row)
                break;
            // A blank line is nothing; any other row of the wrong shape is
            // left out, and said so.
            const bool blank = m_row.Count() == 0 || (m_row.Count() == 1 && m_row.fields[0].size == 0);
            if (blank || m_row.Count() != m_fieldCount) {
                if (!blank) {
                    if (m_firstSkipped.size() < kKeptSkipped)
                        m_firstSkipped.push_back(offset);
                    ++m_skipped;
                }
                p = next;
                continue;
            }
            batch.offsets.push_back(offset);
            batch.ends.push_back(m_carryOffset + (next - base));
            batch.firstFields.push_back(int(batch.fields.size()));
            batch.fields.insert(batch.fields.end(), m_row.fields.begin(), m_row.fields.end());
            if (m_preparer)
                m_preparer->Prepare(m_row, batch);
            p = next;
        }
        m_carryOffset += p - base;
        m_carry = QByteArray(p, int(end - p));
        if (atEnd)
            m_ended = true;
    }
    if (batch.offsets.empty())
        return false;
    batch.firstFields.push_back(int(batch.fields.size()));
    return true;
}
