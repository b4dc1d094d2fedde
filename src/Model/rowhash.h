#pragma once

#include <cstring>

#include <QByteArray>
#include <QHashFunctions>
#include <QString>
#include <QtGlobal>

// A 128-bit digest of text. Base loads and duplicate removal compare
// identity keys and rows of a million goods by these digests instead of
// holding every key as a string: two different texts share a digest with a
// probability of about 2^-128, far below any failure of the machine itself.
struct RowHash
{
    quint64 a = 0;
    quint64 b = 0;

    bool operator==(const RowHash &other) const { return a == other.a && b == other.b; }
    bool operator!=(const RowHash &other) const { return !(*this == other); }
};

inline uint qHash(const RowHash &hash, uint seed = 0)
{
    return uint(hash.a ^ (hash.a >> 32)) ^ seed;
}

// Digests a sequence of byte strings. Add() takes one string as a whole
// (its length is part of the digest, so "ab","c" and "a","bc" differ);
// Append() and EndString() build one string from several pieces.
class RowHasher
{
public:
    void Add(const char *data, int size)
    {
        Append(data, size);
        EndString();
    }
    void Add(const QByteArray &bytes) { Add(bytes.constData(), bytes.size()); }
    void Add(const QString &text) { Add(text.toUtf8()); }
    inline void Append(const char *data, int size);
    void EndString();
    RowHash Result() const;

private:
    inline void Mix(quint64 word);

    quint64 m_a = 0x243F6A8885A308D3ULL;
    quint64 m_b = 0x13198A2E03707344ULL;
    quint64 m_pending = 0; // bytes not yet mixed, at most seven
    int m_pendingSize = 0;
    quint64 m_stringSize = 0;
    quint64 m_total = 0;
};

inline void RowHasher::Mix(quint64 word)
{
    // Two lanes with different constants give two independent 64-bit digests.
    const unsigned __int128 a = static_cast<unsigned __int128>(m_a ^ word) * 0xA0761D6478BD642FULL;
    const unsigned __int128 b = static_cast<unsigned __int128>(m_b + word) * 0xE7037ED1A0B428DBULL;
    m_a = (quint64(a) ^ quint64(a >> 64)) + 0x8EBC6AF09C88C6E3ULL;
    m_b = (quint64(b) ^ quint64(b >> 64)) ^ 0x589965CC75374CC3ULL;
}

inline void RowHasher::Append(const char *data, int size)
{
    m_stringSize += quint64(size);
    const char *p = data;
    const char *end = data + size;
    while (m_pendingSize != 0 && p < end) {
        m_pending |= quint64(uchar(*p++)) << (8 * m_pendingSize);
        if (++m_pendingSize == 8) {
            Mix(m_pending);
            m_pending = 0;
            m_pendingSize = 0;
        }
    }
    while (end - p >= 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        Mix(word);
        p += 8;
    }
    while (p < end)
        m_pending |= quint64(uchar(*p++)) << (8 * m_pendingSize++);
}
