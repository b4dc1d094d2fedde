#include "utf8stream.h"

#include <cstring>

namespace {

#ifdef FIDMORA_UTF8_AVX2

const bool s_avx2 = __builtin_cpu_supports("avx2");

#endif

} // namespace

bool Utf8Stream::Check(const char *block)
{
#ifdef FIDMORA_UTF8_AVX2
    if (s_avx2)
        return CheckAvx2(block);
#endif
    return CheckScalar(block);
}

bool Utf8Stream::CheckLast(const char *bytes, int size)
{
    // Padded with ASCII, which fails a sequence left unfinished.
    char block[64];
    std::memset(block, ' ', sizeof block);
    std::memcpy(block, bytes, size_t(size));
    return Check(block);
}

bool Utf8Stream::CheckScalar(const char *block)
{
    // Without the vector lookups a block with any byte above ASCII fails.
    quint64 words[8];
    std::memcpy(words, block, sizeof words);
    quint64 any = 0;
    for (const quint64 word : words)
        any |= word;
    const bool ascii = (any & Q_UINT64_C(0x8080808080808080)) == 0;
    const bool wrong = !ascii || m_pending;
    m_afterAscii = true;
    m_pending = !ascii;
    return !wrong;
}

bool Utf8Stream::Exact()
{
#ifdef FIDMORA_UTF8_AVX2
    return s_avx2;
#else
    return false;
#endif
}
