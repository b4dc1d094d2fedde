#include "blockwriter.h"

#include <utility>

#include <QFile>

BlockWriter::BlockWriter(QFile *file, int blockSize)
    : m_file(file), m_blockSize(blockSize)
{
    m_thread.Start([this]() { Loop(); });
}

BlockWriter::~BlockWriter()
{
    Finish();
}

bool BlockWriter::Hand(QByteArray &block)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait(lock, [this]() { return m_full.size() < 2 || m_failed; });
    if (m_failed)
        return false;
    m_full.push_back(std::move(block));
    if (m_empty.empty()) {
        block = QByteArray();
        block.reserve(m_blockSize + m_blockSize / 2);
    } else {
        block = std::move(m_empty.back());
        m_empty.pop_back();
    }
    m_changed.notify_all();
    return true;
}

bool BlockWriter::Finish()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_done = true;
    }
    m_changed.notify_all();
    m_thread.Join();
    return !m_failed;
}

void BlockWriter::Loop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this]() { return !m_full.empty() || m_done; });
        if (m_full.empty())
            return;
        QByteArray block = std::move(m_full.front());
        m_full.pop_front();
        lock.unlock();
        const bool written = m_file->write(block) == block.size();
        block.resize(0); // keeps the buffer for the next block
        lock.lock();
        m_failed = m_failed || !written;
        m_empty.push_back(std::move(block));
        m_changed.notify_all();
    }
}
