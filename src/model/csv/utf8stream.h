#pragma once

#include <cstdint>

#include <QtGlobal>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define FIDMORA_UTF8_AVX2 1
#endif

// Checks that bytes are well-formed UTF-8, 64 at a time, over a stream of
// blocks: a sequence that one block leaves unfinished is finished (or found
// wrong) in the next. A block that holds a fault, or that finishes wrongly a
// sequence begun before it, fails; so does the first block after a Reset()
// that begins with a continuation byte. Which bytes of the block are at
// fault it does not say.
class Utf8Stream final
{
public:
    // The next block starts afresh, as after ASCII.
    void Reset()
    {
        m_afterAscii = true;
        m_pending = false;
    }
    // Checks the 64 bytes at block; false when they are not well-formed UTF-8
    // after the blocks checked before them since the last Reset().
    bool Check(const char *block);
    // Checks the last bytes of the stream, fewer than 64: the same, and
    // false as well when they leave a sequence unfinished.
    bool CheckLast(const char *bytes, int size);
    // The last block checked ended inside a sequence.
    bool Pending() const { return m_pending; }

    // Whether Check() tells exactly on this processor. Where it cannot, a
    // block with any byte above ASCII fails, which is on the safe side for
    // a caller that then checks those bytes another way.
    static bool Exact();

#ifdef FIDMORA_UTF8_AVX2
    // Check() on a processor with AVX2, for a loop built for AVX2 to write
    // in: a call a block cost a long scan a tenth of its time.
    __attribute__((target("avx2"))) bool CheckAvx2(const char *block)
    {
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(block));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(block + 32));
        if (_mm256_movemask_epi8(_mm256_or_si256(low, high)) == 0) {
            // ASCII: right unless a sequence before it waits for more bytes.
            const bool wrong = m_pending;
            m_afterAscii = true;
            m_pending = false;
            return !wrong;
        }
        const __m256i previous = m_afterAscii ? _mm256_setzero_si256()
                                              : _mm256_load_si256(reinterpret_cast<const __m256i *>(m_previous));
        const __m256i error = _mm256_or_si256(CheckHalf(low, previous), CheckHalf(high, low));
        _mm256_store_si256(reinterpret_cast<__m256i *>(m_previous), high);
        m_afterAscii = false;
        m_pending = Unfinished(high);
        return _mm256_testz_si256(error, error);
    }
#endif

private:
#ifdef FIDMORA_UTF8_AVX2
    // 32 bytes at a time: each byte is classified by table lookups on its own
    // high nibble and on both nibbles of the byte before it; a sequence is wrong
    // exactly when the three lookups share an error bit, or when a lead byte's
    // continuation count does not match.
    __attribute__((target("avx2"))) static __m256i PreviousBytes(__m256i input, __m256i previous, int count)
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

    __attribute__((target("avx2"))) static __m256i CheckHalf(__m256i input, __m256i previous)
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
    __attribute__((target("avx2"))) static bool Unfinished(__m256i input)
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
#endif
    bool CheckScalar(const char *block);

    alignas(32) uchar m_previous[32] = {}; // the last 32 bytes checked, unless m_afterAscii
    bool m_afterAscii = true;
    bool m_pending = false;
};
