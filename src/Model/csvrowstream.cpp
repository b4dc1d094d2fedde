#include "csvrowstream.h"

#include <cstring>
#include <limits>

#include <QFile>

#include "csvmanipulator.h"

namespace {

const int kChunk = 4 << 20;
const int kBatches = 3;

} // namespace

CsvRowStream::CsvRowStream(const QString &path, qint64 start, int fieldCount)
    : m_path(path), m_start(start), m_fieldCount(fieldCount), m_batches(kBatches)
{
    for (Batch &batch : m_batches)
        m_free.push_back(&batch);
    m_thread = std::thread([this]() { Produce(); });
}

CsvRowStream::~CsvRowStream()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

CsvRowStream::Batch *CsvRowStream::TakeFree()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this]() { return m_stopping || !m_free.empty(); });
    if (m_stopping)
        return nullptr;
    Batch *batch = m_free.back();
    m_free.pop_back();
    return batch;
}

void CsvRowStream::Publish(Batch *batch)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (batch)
            m_ready.push_back(batch);
        else
            m_ended = true;
    }
    m_changed.notify_all();
}

const CsvRowStream::Batch *CsvRowStream::Next()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_current) {
        m_free.push_back(m_current);
        m_current = nullptr;
        m_changed.notify_all();
    }
    m_changed.wait(lock, [this]() { return !m_ready.empty() || m_ended; });
    if (m_ready.empty())
        return nullptr;
    m_current = m_ready.front();
    m_ready.erase(m_ready.begin());
    return m_current;
}

void CsvRowStream::Produce()
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        Publish(nullptr);
        return;
    }
    const qint64 size = file.size();
    qint64 readFrom = m_start;   // next byte to read from the file
    qint64 carryOffset = m_start; // file offset of the bytes carried over
    QByteArray carry;             // the start of a row that the last chunk cut
    CsvRawRow row;
    bool ended = false;

    while (!ended) {
        Batch *batch = TakeFree();
        if (!batch)
            return;
        batch->offsets.clear();
        batch->firstFields.clear();
        batch->fields.clear();

        // A row longer than a chunk makes the next read as long as the row,
        // so that it is scanned a bounded number of times.
        const qint64 want = qMin<qint64>(qMax<qint64>(kChunk, carry.size()), qMax<qint64>(0, size - readFrom));
        if (qint64(carry.size()) + want > qint64(std::numeric_limits<int>::max()) - 64) {
            Publish(nullptr);
            return;
        }
        batch->data.resize(int(carry.size() + want));
        if (!carry.isEmpty())
            std::memcpy(batch->data.data(), carry.constData(), size_t(carry.size()));
        qint64 got = 0;
        if (want > 0 && file.seek(readFrom)) {
            const qint64 n = file.read(batch->data.data() + carry.size(), want);
            got = n > 0 ? n : 0;
        }
        readFrom += got;
        batch->data.resize(int(carry.size() + got));
        const bool atEnd = got < want || readFrom >= size;

        const char *base = batch->data.constData();
        const char *p = base;
        const char *end = base + batch->data.size();
        if (carryOffset == 0 && batch->data.size() >= 3 && std::memcmp(base, "\xEF\xBB\xBF", 3) == 0)
            p += 3;
        for (;;) {
            const char *stop = nullptr;
            const CsvManipulator::ParseResult result = CsvManipulator::ParseRow(p, end, atEnd, row, &stop);
            if (result != CsvManipulator::ParseResult::Row)
                break;
            if (row.Count() != m_fieldCount || row.Count() == 0) {
                ended = true; // a malformed row ends the data
                p = end;
                break;
            }
            batch->offsets.push_back(carryOffset + (p - base));
            batch->firstFields.push_back(int(batch->fields.size()));
            batch->fields.insert(batch->fields.end(), row.fields.begin(), row.fields.end());
            p = stop;
        }
        batch->firstFields.push_back(int(batch->fields.size()));
        carryOffset += p - base;
        carry = QByteArray(p, int(end - p));
        if (atEnd)
            ended = true;

        if (batch->offsets.empty()) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_free.push_back(batch);
        } else {
            Publish(batch);
        }
    }
    Publish(nullptr);
}
