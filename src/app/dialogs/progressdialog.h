#pragma once

#include "iprogress.h"

#include <atomic>
#include <mutex>

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTimer>

class QEventLoop;

namespace Ui {
class ProgressDialog;
}

// The modal dialog behind every long operation. The operation runs on a
// worker thread and reports through Report(); the interface thread takes the
// reports at most every kInterval milliseconds and shows them through
// FireSignal(): the label and the bar show the latest, the log of log mode
// gets every line, several at a time. A report made on the interface thread
// is shown at once. Cancel (the button, Escape or the close box) only sets a
// flag that the next Report() answers with false and quits the event loops
// bound with BindEventLoop(); the dialog closes when the worker ends. In log
// mode the messages pile up in a text log that stays open for reading after
// the work is done.
class ProgressDialog final : public QDialog, public IProgress
{
    Q_OBJECT

public:
    ProgressDialog(QWidget *parent, bool logMode);
    ~ProgressDialog() override;

    void reject() override;
    // Any thread.
    bool Report(int current, int max, const QString &msg) override;
    // The thread that is about to exec() the loop.
    void BindEventLoop(QEventLoop *loop) override;

    bool LogMode() const { return logMode; }
    // Whether the user asked to cancel.
    bool CancelRequested() const;

    // Milliseconds between two updates of the widgets from a worker.
    static constexpr int kInterval = 100;

signals:
    void FireSignal(int current, int max, const QString &msg);
    void QuitEventLoop();

public slots:
    // Connected to the worker's finished() in log mode.
    void waitingCancel();
    void FireSlot(int current, int max, const QString &msg);

private:
    Q_DISABLE_COPY(ProgressDialog)

    // Interface thread: waits out the interval since the last update, then
    // shows what the worker reported meanwhile.
    void ScheduleUpdate();
    void ShowPending();

    const bool logMode;
    // Set on the interface thread, read by the worker's reports.
    std::atomic<bool> cancelRequested{false};
    bool workFinished = false; // interface thread only
    mutable std::mutex m_mutex;
    // The reports not shown yet, guarded by m_mutex: the latest one, and
    // every line for the log.
    bool m_pending = false;
    int m_pendingCurrent = 0;
    int m_pendingMax = 0;
    QString m_pendingMessage;
    QStringList m_pendingLines;
    bool m_updateQueued = false;
    QElapsedTimer m_sinceUpdate; // interface thread only
    QTimer m_updateTimer;
    Ui::ProgressDialog *ui;
};
