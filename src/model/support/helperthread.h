#pragma once

#include <functional>
#include <thread>
#include <utility>

// The second thread of one operation of the model (finding rows, digesting
// them, formatting or writing them while the operation's own thread works
// on the ones before). It runs one function and is joined when this object
// goes, whichever way the operation leaves: no helper outlives the data it
// works on. See THREADS.md.
class HelperThread final
{
public:
    HelperThread() = default;
    explicit HelperThread(std::function<void()> work) : m_thread(std::move(work)) {}
    ~HelperThread() { Join(); }
    HelperThread(const HelperThread &) = delete;
    HelperThread &operator=(const HelperThread &) = delete;

    // Starts the work, unless some work was started already.
    void Start(std::function<void()> work)
    {
        if (!m_thread.joinable())
            m_thread = std::thread(std::move(work));
    }
    // Waits for the work to end; nothing when none was started.
    void Join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    std::thread m_thread;
};
