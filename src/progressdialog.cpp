#include "progressdialog.h"
#include "ui_progressdialog.h"

#include <QEventLoop>
#include <QPushButton>

ProgressDialog::ProgressDialog(QWidget *parent, bool logMode)
    : QDialog(parent)
    , logMode(logMode)
    , ui(new Ui::ProgressDialog)
{
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    ui->setupUi(this);

    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &ProgressDialog::reject);
    // Automatic: queued for a worker's report, delivered at once for one made
    // on the interface thread.
    connect(this, &ProgressDialog::FireSignal, this, &ProgressDialog::FireSlot);

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
    emit FireSignal(current, max, msg);
    return !CancelRequested();
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
    if (QPushButton *button = ui->buttonBox->button(QDialogButtonBox::Cancel))
        button->setText(tr("Закрыть"));
    workFinished = true;
    if (CancelRequested())
        QDialog::reject();
}
