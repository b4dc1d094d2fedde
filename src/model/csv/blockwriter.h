#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include <QByteArray>

#include "helperthread.h"

class QFile;

// Writes blocks of bytes to an open file on a thread of its own, so that
// the thread producing them goes on while the system copies the block
// before; at most two blocks wait. Hand() and Finish() belong to the thread
// that created the writer; the file is not touched by anyone else meanwhile.
class BlockWriter final
{
public:
    // blockSize: the size blocks are expected to reach, for the buffers given back.
    BlockWriter(QFile *file, int blockSize);
    ~BlockWriter();

    // Hands a block over and gives an empty one back; false once a write
    // has failed.
    bool Hand(QByteArray &block);
    // Waits until every block is written; false when a write failed.
    bool Finish();

private:
    BlockWriter(const BlockWriter &) = delete;
    BlockWriter &operator=(const BlockWriter &) = delete;

    void Loop();

    QFile *m_file;
    const int m_blockSize;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<QByteArray> m_full;
    std::vector<QByteArray> m_empty;
    bool m_done = false;
    bool m_failed = false;
    HelperThread m_thread; // last: it starts once the rest is ready
};
