#pragma once

#include "csvrowscanner.h"
#include "helperthread.h"

#include <condition_variable>
#include <mutex>
#include <vector>

#include <QString>

// Reads the rows of a CSV feed from a byte offset to its end on a thread of
// its own, while the loader turns the rows of the previous batch into goods.
// The stream shares nothing with the feed's reader. Its rows are its
// scanner's: malformed records are passed over and counted.
class CsvRowStream
{
public:
    using Batch = CsvRowBatch;

    // A preparer, when given, works on every row on the stream's thread as
    // it is found: work that needs nothing but the row itself goes there.
    CsvRowStream(const QString &path, qint64 start, int fieldCount, bool crLineEnds,
                 CsvRowPreparer *preparer = nullptr, CsvRowScanner::Mode mode = CsvRowScanner::Mode::Copied,
                 bool checkUtf8 = false);
    ~CsvRowStream();
    CsvRowStream(const CsvRowStream &) = delete;
    CsvRowStream &operator=(const CsvRowStream &) = delete;

    // The next batch, or null once the rows have ended. The batch stays
    // valid until the next call.
    const Batch *Next();

    // Once Next() has returned null: what the scanner passed over.
    qint64 SkippedRows() const { return m_scanner.SkippedRows(); }
    const std::vector<qint64> &FirstSkipped() const { return m_scanner.FirstSkipped(); }
    qint64 InvalidUtf8Rows() const { return m_scanner.InvalidUtf8Rows() + m_deferredInvalid; }
    std::vector<qint64> FirstInvalidUtf8() const;
    // False when the file could not be read to its end (it shrank meanwhile).
    bool ReadWhole() const { return m_scanner.ReadWhole() && !m_deferredReadFailed; }
    // The file's size when it was opened (constant: any thread may ask).
    qint64 FileSize() const { return m_scanner.FileSize(); }

private:
    void Produce();

    // The UTF-8 checks the stream's thread left to the taker of batches
    // (see Produce): only the taker's thread touches these.
    void CheckDeferred(Batch &batch);
    qint64 m_deferredInvalid = 0;
    std::vector<qint64> m_firstDeferredInvalid;
    bool m_deferredReadFailed = false;

    CsvRowScanner m_scanner;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Batch *> m_free;
    std::vector<Batch *> m_ready; // in order, oldest first
    Batch *m_current = nullptr;
    bool m_ended = false;
    bool m_stopping = false;
    std::vector<Batch> m_batches;
    HelperThread m_thread; // last: it starts once the rest is ready
};
