#include "rowhash.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

struct RowHasher::State
{
    XXH3_state_t xxh;
};

RowHasher::RowHasher() = default;
RowHasher::~RowHasher() = default;

void RowHasher::FeedLong(const char *data, int size)
{
    if (!m_state) {
        m_state = std::make_unique<State>();
        XXH3_128bits_reset(&m_state->xxh);
        XXH3_128bits_update(&m_state->xxh, m_buffer, size_t(m_used));
        m_used = 0;
    }
    XXH3_128bits_update(&m_state->xxh, data, size_t(size));
}

RowHash RowHasher::Result()
{
    if (m_stringSize != 0)
        EndString();
    const XXH128_hash_t hash = m_state ? XXH3_128bits_digest(&m_state->xxh) : XXH3_128bits(m_buffer, size_t(m_used));
    RowHash result;
    result.a = hash.low64;
    result.b = hash.high64;
    return result;
}

RowHash RowHasher::Of(const char *data, int size)
{
    const XXH128_hash_t hash = XXH3_128bits(data, size_t(size));
    RowHash result;
    result.a = hash.low64;
    result.b = hash.high64;
    return result;
}
