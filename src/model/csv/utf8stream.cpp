#include "utf8stream.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif
#include <cstring>

namespace {

#if defined(__x86_64__) && defined(__GNUC__)

// 32 bytes at a time: each byte is classified by table lookups on its own
// high nibble and on both nibbles of the byte before it; a sequence is wrong
// exactly when the three lookups share an error bit, or when a lead byte's
// continuation count does not match.
__attribute__((target("avx2"))) inline __m256i PreviousBytes(__m256i input, __m256i previous, int count)
{
    const __m256i joined = _mm256_permute2x128_si256(previous, input, 0x21);
    switch (count) {
    case 1:
        return _mm256_alignr_epi8(input, joined, 15);
    case 2:
        return _mm256_alignr_epi8(input, joined, 14);
    default:
        return _mm256_alignr_epi8(input, joined, 13);
    }
}

__attribute__((target("avx2"))) inline __m256i CheckHalf(__m256i input, __m256i previous)
{
    const uint8_t tooShort = 1 << 0;   // a lead byte followed by a lead or ASCII byte
    const uint8_t tooLong = 1 << 1;    // ASCII followed by a continuation byte
    const uint8_t overlong3 = 1 << 2;  // 11100000 100_____
    const uint8_t tooLarge = 1 << 3;   // 11110100 1001____ and above
    const uint8_t surrogate = 1 << 4;  // 11101101 101_____
    const uint8_t overlong2 = 1 << 5;  // 1100000_ 10______
    const uint8_t tooLarge1000 = 1 << 6; // 11110101..11111111 1000____
    const uint8_t overlong4 = 1 << 6;  // 11110000 1000____
    const uint8_t twoConts = 1 << 7;   // a continuation byte after a continuation byte (checked below)
    const uint8_t carry = tooShort | tooLong | twoConts;

    const __m256i high1 = _mm256_setr_epi8(
            tooLong, tooLong, tooLong, tooLong, tooLong, tooLong, tooLong, tooLong, twoConts, twoConts, twoConts,
            twoConts, char(tooShort | overlong2), tooShort, char(tooShort | overlong3 | surrogate),
            char(tooShort | tooLarge | tooLarge1000 | overlong4), tooLong, tooLong, tooLong, tooLong, tooLong,
            tooLong, tooLong, tooLong, twoConts, twoConts, twoConts, twoConts, char(tooShort | overlong2), tooShort,
            char(tooShort | overlong3 | surrogate), char(tooShort | tooLarge | tooLarge1000 | overlong4));
    const __m256i low1 = _mm256_setr_epi8(
            char(carry | overlong3 | overlong2 | overlong4), char(carry | overlong2), carry, carry,
            char(carry | tooLarge), char(carry | tooLarge | tooLarge1000), char(carry | tooLarge | tooLarge1000),
            char(carry | tooLarge | tooLarge1000), char(carry | tooLarge | tooLarge1000),
            char(carry | tooLarge | tooLarge1000), char(carry | tooLarge | tooLarge1000),
            char(carry | tooLarge | tooLarge1000), char(carry | tooLarge | tooLarge1000),
            char(carry | tooLarge | tooLarge1000 | surrogate), char(carry | tooLarge | tooLarge1000),
            char(carry | tooLarge | tooLarge1000), char(carry | overlong3 | overlong2 | overlong4),
            char(carry | overlong2), carry, carry, char(carry | tooLarge), char(carry | tooLarge | tooLarge1000),
            char(carry | tooLarge | tooLarge1000), char(carry | tooLarge | tooLarge1000),
            char(carry | tooLarge | tooLarge1000), char(carry | tooLarge | tooLarge1000),
            char(carry | tooLarge | tooLarge1000), char(carry | tooLarge | tooLarge1000),
            char(carry | tooLarge | tooLarge1000), char(carry | tooLarge | tooLarge1000 | surrogate),
            char(carry | tooLarge | tooLarge1000), char(carry | tooLarge | tooLarge1000));
    const __m256i high2 = _mm256_setr_epi8(
            tooShort, tooShort, tooShort, tooShort, tooShort, tooShort, tooShort, tooShort,
            char(tooLong | overlong2 | twoConts | overlong3 | tooLarge1000 | overlong4),
            char(tooLong | overlong2 | twoConts | overlong3 | tooLarge),
            char(tooLong | overlong2 | twoConts | surrogate | tooLarge),
            char(tooLong | overlong2 | twoConts | surrogate | tooLarge), tooShort, tooShort, tooShort, tooShort,
            tooShort, tooShort, tooShort, tooShort, tooShort, tooShort, tooShort, tooShort,
            char(tooLong | overlong2 | twoConts | overlong3 | tooLarge1000 | overlong4),
            char(tooLong | overlong2 | twoConts | overlong3 | tooLarge),
            char(tooLong | overlong2 | twoConts | surrogate | tooLarge),
            char(tooLong | overlong2 | twoConts | surrogate | tooLarge), tooShort, tooShort, tooShort, tooShort);

    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i prev1 = PreviousBytes(input, previous, 1);
    const __m256i byte1High = _mm256_shuffle_epi8(high1, _mm256_and_si256(_mm256_srli_epi16(prev1, 4), nibble));
    const __m256i byte1Low = _mm256_shuffle_epi8(low1, _mm256_and_si256(prev1, nibble));
    const __m256i byte2High = _mm256_shuffle_epi8(high2, _mm256_and_si256(_mm256_srli_epi16(input, 4), nibble));
    const __m256i special = _mm256_and_si256(_mm256_and_si256(byte1High, byte1Low), byte2High);

    // The second and third byte after a three- or four-byte lead must be
    // continuations; there the table marks two continuations as wrong.
    const __m256i prev2 = PreviousBytes(input, previous, 2);
    const __m256i prev3 = PreviousBytes(input, previous, 3);
    const __m256i third = _mm256_subs_epu8(prev2, _mm256_set1_epi8(char(0xE0 - 1)));
    const __m256i fourth = _mm256_subs_epu8(prev3, _mm256_set1_epi8(char(0xF0 - 1)));
    const __m256i must23 = _mm256_cmpgt_epi8(_mm256_or_si256(third, fourth), _mm256_setzero_si256());
    const __m256i must23High = _mm256_and_si256(must23, _mm256_set1_epi8(char(0x80)));
    return _mm256_xor_si256(must23High, special);
}

// Whether the last bytes of 32 leave a sequence unfinished: a lead byte in
// one of the last three places that wants more bytes than follow it.
__attribute__((target("avx2"))) inline bool Unfinished(__m256i input)
{
    const __m256i wantsMore = _mm256_setr_epi8(
            char(0xFF), char(0xFF), char(0xFF), char(0xFF), char(0xFF), char(0xFF), char(0xFF), char(0xFF),
            char(0xFF), char(0xFF), char(0xFF), char(0xFF), char(0xFF), char(0xFF), char(0xFF), char(0xFF),
            char(0xFF), char(0xFF), char(0xFF), char(0xFF), char(0xFF), char(0xFF), char(0xFF), char(0xFF),
            char(0xFF), char(0xFF), char(0xFF), char(0xFF), char(0xFF), char(0xF0 - 1), char(0xE0 - 1),
            char(0xC0 - 1));
    const __m256i over = _mm256_subs_epu8(input, wantsMore);
    return !_mm256_testz_si256(over, over);
}

__attribute__((target("avx2"))) bool CheckAvx2(const char *block, uchar *previousBytes, bool *afterAscii,
                                               bool *pending)
{
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(block));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(block + 32));
    if (_mm256_movemask_epi8(_mm256_or_si256(low, high)) == 0) {
        // ASCII: right unless a sequence before it waits for more bytes.
        const bool wrong = *pending;
        *afterAscii = true;
        *pending = false;
        return !wrong;
    }
    const __m256i previous = *afterAscii ? _mm256_setzero_si256()
                                         : _mm256_load_si256(reinterpret_cast<const __m256i *>(previousBytes));
    const __m256i error = _mm256_or_si256(CheckHalf(low, previous), CheckHalf(high, low));
    _mm256_store_si256(reinterpret_cast<__m256i *>(previousBytes), high);
    *afterAscii = false;
    *pending = Unfinished(high);
    return _mm256_testz_si256(error, error);
}

const bool s_avx2 = __builtin_cpu_supports("avx2");

#endif

} // namespace

bool Utf8Stream::Check(const char *block)
{
#if defined(__x86_64__) && defined(__GNUC__)
    if (s_avx2)
        return CheckAvx2(block, m_previous, &m_afterAscii, &m_pending);
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
#if defined(__x86_64__) && defined(__GNUC__)
    return s_avx2;
#else
    return false;
#endif
}
