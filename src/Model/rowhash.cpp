#include "rowhash.h"

#include <cstring>

namespace {

inline quint64 Multiply(quint64 x, quint64 y)
{
    const unsigned __int128 product = static_cast<unsigned __int128>(x) * y;
    return quint64(product) ^ quint64(product >> 64);
}

const quint64 kPrimeC = 0x8EBC6AF09C88C6E3ULL;

inline quint64 Finish(quint64 x)
{
    x ^= x >> 33;
    x *= 0xFF51AFD7ED558CCDULL;
    x ^= x >> 33;
    x *= 0xC4CEB9FE1A85EC53ULL;
    x ^= x >> 33;
    return x;
}

} // namespace

void RowHasher::EndString()
{
    if (m_pendingSize != 0) {
        Mix(m_pending);
        m_pending = 0;
        m_pendingSize = 0;
    }
    Mix(m_stringSize ^ 0x9E3779B97F4A7C15ULL);
    m_total += m_stringSize + 1;
    m_stringSize = 0;
}

RowHash RowHasher::Result() const
{
    RowHasher copy = *this;
    if (copy.m_pendingSize != 0 || copy.m_stringSize != 0)
        copy.EndString();
    RowHash hash;
    hash.a = Finish(copy.m_a ^ copy.m_total);
    hash.b = Finish(copy.m_b + Multiply(copy.m_total, kPrimeC));
    return hash;
}
