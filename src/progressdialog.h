#pragma once

#include "iprogress.h"

#include <atomic>

#include <QDialog>
#include <QString>

class QEventLoop;

namespace Ui {
class ProgressDialog;
}

// The modal dialog behind every long operation. The operation runs on a
// worker thread and reports through Report(); the messages reach the widgets
// on the interface thread through the queued FireSignal(). Cancel (the
// button, Escape or the close box) only sets a flag that the next Report()
// answers with false and quits the event loops bound with BindEventLoop();
// the dialog closes when the worker ends. In log mode the messages pile up
// in a text log that stays open for reading after the work is done.
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

signals:
    void FireSignal(int current, int max, const QString &msg);
    void QuitEventLoop();

public slots:
    // Connected to the worker's finished() in log mode.
    void waitingCancel();
    void FireSlot(int current, int max, const QString &msg);

private:
    Q_DISABLE_COPY(ProgressDialog)

    bool CancelRequested() const;

    const bool logMode;
    // Set on the interface thread, read by the worker's reports.
    std::atomic<bool> cancelRequested{false};
    bool workFinished = false; // interface thread only
    Ui::ProgressDialog *ui;
};
