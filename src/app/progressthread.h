#pragma once

#include "progressdialog.h"

#include <atomic>
#include <type_traits>

#include <QThread>

// Runs one callable on a worker thread, handing it the progress dialog as
// its IProgress (or null without a dialog). It owns neither; both must
// outlive the thread's run, which the destructor waits for.
template<typename Callable>
class ProgressThread final : public QThread
{
public:
    ProgressThread(Callable &callable, ProgressDialog *dialog)
        : m_callable(callable)
        , m_dialog(dialog)
    {
    }

    ~ProgressThread() override { Join(); }

    // Waits for the run to end. QThread::wait synchronises inside Qt, where
    // the thread checkers cannot look; the flag the run sets last hands its
    // writes over in a way they see too.
    void Join()
    {
        wait();
        m_done.load(std::memory_order_acquire);
    }

protected:
    void run() override
    {
        m_callable(m_dialog ? static_cast<IProgress *>(m_dialog) : nullptr);
        m_done.store(true, std::memory_order_release);
    }

private:
    Q_DISABLE_COPY(ProgressThread)

    Callable &m_callable;
    ProgressDialog *m_dialog;
    std::atomic<bool> m_done{false};
};

// The run pattern of every long operation: a progress dialog on the stack,
// the body on a worker thread, the dialog's event loop until the worker
// ends, then the wait for it. The body takes an IProgress* and usually
// captures the caller's locals by reference, a result flag among them.
// Returns Rejected when the user cancelled, else the dialog's result.
template<typename Callable>
int RunWithProgress(QWidget *parent, bool logMode, Callable &&body)
{
    ProgressDialog dialog(parent, logMode);
    ProgressThread<std::remove_reference_t<Callable>> thread(body, &dialog);
    // finished() comes from the worker; queued, it reaches the dialog inside
    // exec() even when the worker has ended before exec() began.
    if (logMode)
        QObject::connect(&thread, &QThread::finished, &dialog, &ProgressDialog::waitingCancel, Qt::QueuedConnection);
    else
        QObject::connect(&thread, &QThread::finished, &dialog, &QDialog::accept, Qt::QueuedConnection);
    thread.start(QThread::InheritPriority);
    const int result = dialog.exec();
    thread.Join();
    return dialog.CancelRequested() ? int(QDialog::Rejected) : result;
}
