#pragma once

#include <QString>

class QEventLoop;

// Where a long operation reports what it is doing and learns of a cancel.
// Report() may be called from the worker thread; it answers false from the
// moment the user asked to cancel. Nothing is ever deleted through this
// interface: whoever hands an IProgress* to an operation keeps owning it.
class IProgress
{
public:
    virtual bool Report(int current, int max, const QString &msg) = 0;

    // Lets a cancel quit the loop that waits for a network reply. Called on
    // the thread that is about to exec() the loop.
    virtual void BindEventLoop(QEventLoop *loop) { Q_UNUSED(loop) }

protected:
    ~IProgress() = default;
};
