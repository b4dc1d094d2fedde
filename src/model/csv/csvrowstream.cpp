#include "csvrowstream.h"

namespace {

// Batches in flight: the scan runs up to seven ahead of the loader. Which of
// the two threads is the slower changes along a feed (the scan is slower on
// its first megabytes); with three, each waited on the other in turn.
const int kBatches = 8;

} // namespace

CsvRowStream::CsvRowStream(const QString &path, qint64 start, int fieldCount, bool crLineEnds,
                           CsvRowPreparer *preparer, CsvRowScanner::Mode mode, bool checkUtf8)
    : m_scanner(path, start, fieldCount, crLineEnds, -1, preparer, mode, checkUtf8), m_batches(kBatches)
{
    for (Batch &batch : m_batches)
        m_free.push_back(&batch);
    m_thread.Start([this]() { Produce(); });
}

CsvRowStream::~CsvRowStream()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.Join();
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
    for (;;) {
        Batch *batch;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this]() { return m_stopping || !m_free.empty(); });
            if (m_stopping)
                return;
            batch = m_free.back();
            m_free.pop_back();
        }
        const bool filled = m_scanner.Fill(*batch);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (filled) {
                m_ready.push_back(batch);
            } else {
                m_free.push_back(batch);
                m_ended = true;
            }
        }
        m_changed.notify_all();
        if (!filled)
            return;
    }
}
