#pragma once

#include "csvrowscanner.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <QString>

// Reads the rows of a CSV feed from a byte offset to its end on a thread of
// its own, while the loader turns the rows of the previous batch into goods.
// The stream shares nothing with the feed's reader. It ends where its
// scanner ends: at the end of the file or before a malformed row.
class CsvRowStream
{
public:
    using Batch = CsvRowBatch;

    // With decodeShare (0 to 5), that many of every five batches come
    // decoded: the stream's thread then shares the decoding with the caller's
    // (strings freed on another thread than the one that made them cost more
    // than decoding them where they are used, so readers leave it at 0).
    CsvRowStream(const QString &path, qint64 start, int fieldCount, int decodeShare = 0);
    ~CsvRowStream();
    CsvRowStream(const CsvRowStream &) = delete;
    CsvRowStream &operator=(const CsvRowStream &) = delete;

    // The next batch, or null once the rows have ended. The batch stays
    // valid until the next call.
    const Batch *Next();

private:
    void Produce();

    CsvRowScanner m_scanner;
    const int m_decodeShare;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Batch *> m_free;
    std::vector<Batch *> m_ready; // in order, oldest first
    Batch *m_current = nullptr;
    bool m_ended = false;
    bool m_stopping = false;
    std::vector<Batch> m_batches;
    std::thread m_thread;
};
