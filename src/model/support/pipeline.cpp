#include "pipeline.h"

#include <condition_variable>
#include <mutex>
#include <vector>

#include "helperthread.h"

bool Pipeline::Run(int count, int ahead, const std::function<void(int piece, int worker)> &work,
                   const std::function<bool(int piece)> &deliver)
{
    if (count <= 0)
        return true;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<char> done(size_t(count), 0);
    int next = 0;       // the next piece nobody has taken
    int delivered = -1; // the last piece handed over
    bool stopping = false;

    // Under the lock: the next piece that may be begun, or -1 for none now.
    const auto claim = [&]() {
        if (stopping || next >= count || next > delivered + ahead)
            return -1;
        return next++;
    };
    const auto finish = [&](int piece) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            done[size_t(piece)] = 1;
        }
        changed.notify_all();
    };

    HelperThread helper;
    if (count > 1) {
        helper.Start([&]() {
            for (;;) {
                int piece;
                {
                    std::unique_lock<std::mutex> lock(mutex);
                    changed.wait(lock, [&]() { return stopping || next >= count || next <= delivered + ahead; });
                    piece = claim();
                    if (piece < 0)
                        return;
                }
                work(piece, 1);
                finish(piece);
            }
        });
    }

    bool finished = true;
    for (int piece = 0; piece < count && finished; ++piece) {
        // Whenever this piece is not ready, this thread works on the next
        // one nobody has taken, or waits for the helper's.
        for (;;) {
            int mine;
            {
                std::unique_lock<std::mutex> lock(mutex);
                if (done[size_t(piece)])
                    break;
                mine = claim();
                if (mine < 0) {
                    changed.wait(lock, [&]() { return done[size_t(piece)] != 0; });
                    break;
                }
            }
            work(mine, 0);
            finish(mine);
        }
        if (deliver && !deliver(piece))
            finished = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            delivered = piece;
            if (!finished)
                stopping = true;
        }
        changed.notify_all();
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    helper.Join();
    return finished;
}
