#pragma once

#include "csvrawrow.h"

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <QByteArray>
#include <QString>

// Reads the rows of a CSV feed from a byte offset to its end on a thread of
// its own, found but not decoded, in batches of a few megabytes, while the
// loader turns the rows of the previous batch into goods. The stream has its
// own file handle and shares nothing with the feed's reader. It ends at the
// end of the file or before the first row whose field count differs.
class CsvRowStream
{
public:
    struct Batch
    {
        QByteArray data;
        std::vector<qint64> offsets;  // file offset of each row
        std::vector<int> firstFields; // each row's first field in fields, and one past the last row
        std::vector<CsvField> fields; // pointing into data

        int Rows() const { return int(offsets.size()); }
        // Makes row a view of the batch's row i.
        void RowAt(int i, CsvRawRow &row) const
        {
            row.fields.assign(fields.begin() + firstFields[size_t(i)], fields.begin() + firstFields[size_t(i) + 1]);
        }
    };

    CsvRowStream(const QString &path, qint64 start, int fieldCount);
    ~CsvRowStream();
    CsvRowStream(const CsvRowStream &) = delete;
    CsvRowStream &operator=(const CsvRowStream &) = delete;

    // The next batch, or null once the rows have ended. The batch stays
    // valid until the next call.
    const Batch *Next();

private:
    void Produce();
    Batch *TakeFree();
    void Publish(Batch *batch);

    const QString m_path;
    const qint64 m_start;
    const int m_fieldCount;

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
