#pragma once

#include <cstddef>

#include <QtGlobal>

#include "support/helperthread.h"

struct Good;

// The goods of one catalogue, allocated in blocks: a million goods cost a
// few dozen allocations instead of a million, lie side by side in the order
// they were loaded, and go in one step when the catalogue is cleared. A good
// given back (a duplicate, a good found identical to the base, the goods of
// an offer unloaded) goes to a free list that the next good made takes, so
// that repeated loads and unloads do not grow the catalogue.
//
// Release() finds a good's arena from the good's address alone: the blocks
// are aligned to their size and each begins with a header naming its arena,
// so that a category can give a good back without knowing whose it is and a
// good keeps its 64 bytes. Used only on the thread that owns the catalogue
// at the time (the operation's): it takes no locks.
//
// Once the goods fill a second block, each new block comes with the next one
// made ready on a helper thread: the system zeroes a fresh page on its first
// touch, and a large load should not wait for that on its own thread.
class GoodArena final
{
public:
    GoodArena() = default;
    // Frees every block: no tree may hold a good of the arena any more.
    ~GoodArena();
    GoodArena(const GoodArena &) = delete;
    GoodArena &operator=(const GoodArena &) = delete;

    // A new good, a copy of value.
    Good *New(const Good &value);
    // Gives a good back to the arena that made it.
    static void Release(Good *good);
    // Frees every block at once; only when no tree holds a good of the arena.
    void Reset();
    // Goods made and not given back.
    qint64 LiveCount() const { return m_live; }
    // Blocks held, each of kBlockBytes.
    int BlockCount() const { return m_blockCount; }

    static const size_t kBlockBytes = size_t(2) << 20;

private:
    struct Block;

    Good *NewSlot();
    void *TakeBlock();
    void ReadyNextBlock();

    Block *m_blocks = nullptr; // chained through their headers
    Good *m_bump = nullptr;    // the next never-used slot of the newest block
    Good *m_end = nullptr;     // one past the newest block's last slot
    Good *m_free = nullptr;    // goods given back, each holding the next
    qint64 m_live = 0;
    int m_blockCount = 0;
    void *m_ready = nullptr;   // the next block, its pages touched by m_toucher
    HelperThread m_toucher;
};
