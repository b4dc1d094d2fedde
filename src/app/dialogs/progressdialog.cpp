#include "progressdialog.h"
#include "ui_progressdialog.h"

#include <QEventLoop>
#include <QPushButton>
#include <QThread>

ProgressDialog::ProgressDialog(QWidget *parent, bool logMode)
    : QDialog(parent)
    , logMode(logMode)
    , ui(new Ui::ProgressDialog)
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->setupUi(this);

    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &ProgressDialog::reject);
    // Emitted on the interface thread only: the worker's reports are
    // gathered and shown from here.
    connect(this, &ProgressDialog::FireSignal, this, &ProgressDialog::FireSlot);
    m_updateTimer.setSingleShot(true);
    connect(&m_updateTimer, &QTimer::timeout, this, &ProgressDialog::ShowPending);

    ui->progressBar->setMinimum(0);
    if (logMode) {
        ui->textEdit->setWordWrapMode(QTextOption::WordWrap);
        ui->label->hide();
    } else {
        ui->textEdit->hide();
        resize(width(), 140);
    }
}

ProgressDialog::~ProgressDialog()
{
    delete ui;
}

bool ProgressDialog::CancelRequested() const
{
    return cancelRequested.load();
}

bool ProgressDialog::Report(int current, int max, const QString &msg)
{
    if (QThread::currentThread() == thread()) {
        // What a worker reported before comes first.
        ShowPending();
        emit FireSignal(current, max, msg);
        return !CancelRequested();
    }
    // A load reports every 50 rows: a queued signal for each would flood the
    // interface thread. The reports wait here, and one queued call at a time
    // asks the interface thread to show them.
    bool queue = false;
    bool cancelled;
    {
        const std::lock_guard<std::mutex> locker(m_mutex);
        m_pending = true;
        m_pendingCurrent = current;
        m_pendingMax = max;
        m_pendingMessage = msg;
        if (logMode && !msg.isEmpty())
            m_pendingLines.append(msg);
        if (!m_updateQueued) {
            m_updateQueued = true;
            queue = true;
        }
        cancelled = cancelRequested;
    }
    if (queue)
        QMetaObject::invokeMethod(this, &ProgressDialog::ScheduleUpdate, Qt::QueuedConnection);
    return !cancelled;
}

void ProgressDialog::ScheduleUpdate()
{
    const qint64 waited = m_sinceUpdate.isValid() ? m_sinceUpdate.elapsed() : qint64(kInterval);
    if (waited >= kInterval)
        ShowPending();
    else if (!m_updateTimer.isActive())
        m_updateTimer.start(int(kInterval - waited));
}

void ProgressDialog::ShowPending()
{
    int current;
    int max;
    QString message;
    {
        const std::lock_guard<std::mutex> locker(m_mutex);
        m_updateQueued = false;
        if (!m_pending)
            return;
        m_pending = false;
        current = m_pendingCurrent;
        max = m_pendingMax;
        // In log mode every line goes into the log, in order; the label
        // shows only the latest.
        message = logMode ? m_pendingLines.join(QLatin1Char('\n')) : m_pendingMessage;
        m_pendingLines.clear();
    }
    m_updateTimer.stop();
    m_sinceUpdate.start();
    emit FireSignal(current, max, message);
}

void ProgressDialog::BindEventLoop(QEventLoop *loop)
{
    if (!loop)
        return;
    connect(this, &ProgressDialog::QuitEventLoop, loop, &QEventLoop::quit);
    // A cancel pressed before the wait began has already sent its quit;
    // this loop still has to learn of it, or it would wait for the reply.
    // Queued, so that it arrives once the loop runs.
    if (CancelRequested())
        QMetaObject::invokeMethod(loop, &QEventLoop::quit, Qt::QueuedConnection);
}

void ProgressDialog::FireSlot(int current, int max, const QString &msg)
{
    if (!logMode)
        ui->label->setText(msg);
    else if (!msg.isEmpty())
        ui->textEdit->appendPlainText(msg);

    // A negative maximum would drag the minimum below 0 with it.
    ui->progressBar->setMaximum(qMax(0, max));
    ui->progressBar->setValue(current);
    ui->progressBar->setTextVisible(max != 0);
}

void ProgressDialog::reject()
{
    if (workFinished) {
        accept();
        return;
    }
    if (cancelRequested.exchange(true))
        return; // the close box of a dialog that is already cancelling
    setEnabled(false);
    emit QuitEventLoop();
}

void ProgressDialog::waitingCancel()
{
    // The last lines of the log are shown before the log is left for reading.
    ShowPending();
    if (QPushButton *button = ui->buttonBox->button(QDialogButtonBox::Cancel))
        button->setText(tr("Закрыть"));
    // A busy bar (no maximum) would go on moving over finished work.
    if (ui->progressBar->maximum() == 0) {
        ui->progressBar->setMaximum(1);
        ui->progressBar->setValue(1);
        ui->progressBar->setTextVisible(false);
    }
    workFinished = true;
    if (CancelRequested())
        QDialog::reject();
}
