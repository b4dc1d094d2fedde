#pragma once

#include <functional>

// Work cut into numbered pieces, done on the operation's own thread and on
// one helper thread at once, and handed over on the operation's thread in
// the pieces' order: the saving thread formats chunks of rows while a
// helper formats the chunks after them, and writes them in order; the
// duplicate removal digests stretches of the feeds on both processors.
//
// Each thread takes the next piece nobody has taken; the operation's thread
// works too whenever the piece it is to hand over next is not ready. What
// the threads share is guarded by a std::mutex and a
// std::condition_variable (visible to ThreadSanitizer); the helper is a
// HelperThread, joined before Run() returns. See THREADS.md.
class Pipeline final
{
public:
    // Does the pieces 0 … count - 1, each once: work(piece, worker) runs on
    // worker 0 (the calling thread) or worker 1 (the helper), so that each
    // thread may keep state of its own. deliver(piece), when given, runs on
    // the calling thread in the pieces' order, each piece once it and every
    // piece before it are done; at most `ahead` pieces past the last one
    // handed over are worked on (so that `ahead` buffers in a ring serve).
    // A deliver() that returns false stops the run: no piece is begun
    // afterwards, and Run() returns false once the helper is back. With a
    // single piece no helper is started.
    static bool Run(int count, int ahead, const std::function<void(int piece, int worker)> &work,
                    const std::function<bool(int piece)> &deliver = {});
};
