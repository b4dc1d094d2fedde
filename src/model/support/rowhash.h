#pragma once

#include <cstring>
#include <memory>

#include <QByteArray>
#include <QHashFunctions>
#include <QString>
#include <QtGlobal>

// A 128-bit digest of text: XXH3's 128-bit hash. Base loads and duplicate
// removal compare identity keys and rows of a million goods by these
// digests instead of holding every key as a string; XXH3 is a hash made and
// published for this (its quality tests are public), and two different
// texts share a digest with a probability of about 2^-128.
struct RowHash
{
    quint64 a = 0;
    quint64 b = 0;

    bool operator==(const RowHash &other) const { return a == other.a && b == other.b; }
    bool operator!=(const RowHash &other) const { return !(*this == other); }
};

// size_t, as Qt 6's containers ask; Qt 5's take the low half.
inline size_t qHash(const RowHash &hash, size_t seed = 0) noexcept
{
    return size_t(hash.a ^ (hash.a >> 32)) ^ seed;
}

// Digests a sequence of byte strings. Add() takes one string as a whole
// (its length is part of the digest, so "ab","c" and "a","bc" differ);
// Append() and EndString() build one string from several pieces. The bytes
// hashed are each string followed by its length: a stream that can be told
// apart string by string, read from its end.
class RowHasher
{
public:
    RowHasher();
    ~RowHasher();
    RowHasher(const RowHasher &) = delete;
    RowHasher &operator=(const RowHasher &) = delete;

    void Add(const char *data, int size)
    {
        Append(data, size);
        EndString();
    }
    void Add(const QByteArray &bytes) { Add(bytes.constData(), bytes.size()); }
    void Add(const QString &text) { Add(text.toUtf8()); }
    void Append(const char *data, int size)
    {
        m_stringSize += quint64(size);
        Feed(data, size);
    }
    void EndString()
    {
        const quint64 size = m_stringSize;
        m_stringSize = 0;
        Feed(reinterpret_cast<const char *>(&size), int(sizeof size));
    }
    // The digest of what was added; a string still open counts as ended.
    RowHash Result();
    // The digest of bytes alone, in one call where they lie.
    static RowHash Of(const char *data, int size);

private:
    struct State;
    static const int kBuffer = 2048;

    void Feed(const char *data, int size)
    {
        if (!m_state && m_used + size <= kBuffer) {
            std::memcpy(m_buffer + m_used, data, size_t(size));
            m_used += size;
            return;
        }
        FeedLong(data, size);
    }
    // A long text goes to XXH3's streaming state; a short one is hashed in
    // one call from the buffer, which is faster.
    void FeedLong(const char *data, int size);

    char m_buffer[kBuffer];
    int m_used = 0;
    quint64 m_stringSize = 0;
    std::unique_ptr<State> m_state;
};
