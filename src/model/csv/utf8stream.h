#pragma once

#include <QtGlobal>

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

private:
    bool CheckScalar(const char *block);

    alignas(32) uchar m_previous[32] = {}; // the last 32 bytes checked, unless m_afterAscii
    bool m_afterAscii = true;
    bool m_pending = false;
};
