#include "goodarena.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

#include "good.h"
#include "platform.h"


#if defined(__SANITIZE_ADDRESS__)
#define FIDMORA_ARENA_POISONS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FIDMORA_ARENA_POISONS 1
#endif
#endif
#ifdef FIDMORA_ARENA_POISONS
#include <sanitizer/asan_interface.h>
#define POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define POISON(address, size) ((void)(address), (void)(size))
#define UNPOISON(address, size) ((void)(address), (void)(size))
#endif

// Goods are copied, moved and given back as bytes: a good owns nothing.
static_assert(std::is_trivially_copyable<Good>::value, "a good must stay a plain record");
static_assert(std::is_trivially_destructible<Good>::value, "a good must stay a plain record");

// The first slot of every block holds its header.
struct GoodArena::Block
{
    GoodArena *arena;
    Block *next;
};

namespace {

const size_t kSlots = GoodArena::kBlockBytes / sizeof(Good);

void *AllocateBlock()
{
    return Platform::AllocateAlignedBlock(GoodArena::kBlockBytes);
}

void FreeBlock(void *block)
{
    Platform::FreeAlignedBlock(block);
}

// Writes one byte of every page of a fresh block, so that the system maps
// and zeroes its pages now rather than at its first goods.
void TouchPages(void *block)
{
    volatile char *bytes = static_cast<char *>(block);
    for (size_t at = 0; at < GoodArena::kBlockBytes; at += 4096)
        bytes[at] = 0;
}

} // namespace

GoodArena::~GoodArena()
{
    Reset();
}

Good *GoodArena::NewSlot()
{
    if (m_free) {
        Good *good = m_free;
        UNPOISON(good, sizeof(Good));
        std::memcpy(&m_free, good, sizeof m_free);
        return good;
    }
    if (m_bump == m_end) {
        void *memory = TakeBlock();
        if (!memory)
            throw std::bad_alloc();
        Block *block = static_cast<Block *>(memory);
        block->arena = this;
        block->next = m_blocks;
        m_blocks = block;
        ++m_blockCount;
        // The header takes the first slot.
        static_assert(sizeof(Block) <= sizeof(Good), "a block's header must fit in one good's slot");
        Good *first = static_cast<Good *>(memory);
        m_bump = first + 1;
        m_end = first + kSlots;
        if (m_blockCount >= 2)
            ReadyNextBlock();
    }
    return m_bump++;
}

void *GoodArena::TakeBlock()
{
    m_toucher.Join();
    if (void *ready = m_ready) {
        m_ready = nullptr;
        return ready;
    }
    return AllocateBlock();
}

void GoodArena::ReadyNextBlock()
{
    m_ready = AllocateBlock();
    if (m_ready)
        m_toucher.Start([block = m_ready]() { TouchPages(block); });
}

Good *GoodArena::New(const Good &value)
{
    Good *good = new (NewSlot()) Good(value);
    ++m_live;
    return good;
}

void GoodArena::Release(Good *good)
{
    if (!good)
        return;
    const Block *block = reinterpret_cast<const Block *>(quintptr(good) & ~quintptr(kBlockBytes - 1));
    GoodArena *arena = block->arena;
    std::memcpy(static_cast<void *>(good), &arena->m_free, sizeof arena->m_free);
    arena->m_free = good;
    --arena->m_live;
    POISON(good, sizeof(Good));
}

void GoodArena::Reset()
{
    m_toucher.Join();
    FreeBlock(m_ready);
    m_ready = nullptr;
    Block *block = m_blocks;
    while (block) {
        Block *next = block->next;
        UNPOISON(block, kBlockBytes);
        FreeBlock(block);
        block = next;
    }
    m_blocks = nullptr;
    m_bump = m_end = m_free = nullptr;
    m_live = 0;
    m_blockCount = 0;
}
