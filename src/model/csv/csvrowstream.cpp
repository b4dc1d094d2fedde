#include "csvrowstream.h"

#include <algorithm>

namespace {

// Batches in flight: the scan runs up to seven ahead of the loader. Which of
// the two threads is the slower changes along a feed (the scan is slower on
// its first megabytes); with three, each waited on the other in turn.
const int kBatches = 8;
// The first rows of bad UTF-8 that the taker's checks keep, as the scanner does.
const size_t kKeptInvalid = 5;

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
    }
    if (m_current->utf8Deferred)
        CheckDeferred(*m_current);
    return m_current;
}

void CsvRowStream::CheckDeferred(Batch &batch)
{
    std::vector<qint64> invalid;
    if (!MappedFile::Guarded([&]() { CsvRowScanner::CheckDeferredUtf8(batch, &invalid); })) {
        // The file shrank under the mapping: the load fails as a read would.
        m_deferredReadFailed = true;
        batch.invalidUtf8.clear();
        return;
    }
    m_deferredInvalid += qint64(invalid.size());
    for (const qint64 offset : invalid) {
        if (m_firstDeferredInvalid.size() < kKeptInvalid)
            m_firstDeferredInvalid.push_back(offset);
    }
}

std::vector<qint64> CsvRowStream::FirstInvalidUtf8() const
{
    std::vector<qint64> first = m_scanner.FirstInvalidUtf8();
    first.insert(first.end(), m_firstDeferredInvalid.begin(), m_firstDeferredInvalid.end());
    std::sort(first.begin(), first.end());
    if (first.size() > kKeptInvalid)
        first.resize(kKeptInvalid);
    return first;
}

void CsvRowStream::Produce()
{
    for (;;) {
        Batch *batch;
        bool takerWaits;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait(lock, [this]() { return m_stopping || !m_free.empty(); });
            if (m_stopping)
                return;
            batch = m_free.back();
            m_free.pop_back();
            takerWaits = m_ready.size() < 2;
        }
        // A batch's UTF-8 check goes to its taker while the taker waits on
        // this thread (the scan is then the slower half of the work), and
        // stays here while the taker has batches in hand.
        m_scanner.DeferUtf8(takerWaits);
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
