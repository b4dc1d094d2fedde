#include "progressdialog.h"
#include "progressthread.h"

#include <QDialogButtonBox>
#include <QEventLoop>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

enum class CancelBy { Button, Escape, CloseBox };

QPushButton *CancelButton(ProgressDialog &dialog)
{
    return dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))->button(QDialogButtonBox::Cancel);
}

void Cancel(ProgressDialog &dialog, CancelBy how)
{
    switch (how) {
    case CancelBy::Button:
        CancelButton(dialog)->click();
        break;
    case CancelBy::Escape:
        QTest::keyClick(&dialog, Qt::Key_Escape);
        break;
    case CancelBy::CloseBox:
        dialog.close();
        break;
    }
}

// Runs a loop that only a quit ends, as a network wait does; a fault must
// not hang the test, so a generous guard ends it too and says so.
bool WaitUntilQuit(QEventLoop &loop)
{
    bool quitByGuard = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, [&] {
        quitByGuard = true;
        loop.quit();
    });
    guard.start(30000);
    loop.exec();
    return !quitByGuard;
}

} // namespace

Q_DECLARE_METATYPE(CancelBy)

class TestProgressDialog : public QObject
{
    Q_OBJECT

private slots:
    void reportFromGuiThreadShowsAtOnce_data();
    void reportFromGuiThreadShowsAtOnce();
    void logModeAddsOneLinePerMessage();
    void floodOfReportsIsShownTogether_data();
    void floodOfReportsIsShownTogether();
    void cancelDuringRun_data();
    void cancelDuringRun();
    void logModeFinishedWaitsForClose_data();
    void logModeFinishedWaitsForClose();
    void cancelWakesWorkerBlockedInBoundLoop();
    void cancelBeforeWaitStillQuitsTheLoop();
    void workerEndingBeforeExecStillClosesDialog_data();
    void workerEndingBeforeExecStillClosesDialog();
    void runWithProgressHandsResultBack();
    void threadWithoutDialogGetsNullProgress();
};

void TestProgressDialog::reportFromGuiThreadShowsAtOnce_data()
{
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("max");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("percentVisible");
    QTest::addColumn<QString>("barText");

    QTest::newRow("busy") << 0 << 0 << QStringLiteral("Подготовка") << false << QString();
    QTest::newRow("half") << 5 << 10 << QStringLiteral("Загрузка") << true << QStringLiteral("50%");
    QTest::newRow("done") << 7 << 7 << QStringLiteral("Выполнено") << true << QStringLiteral("100%");
}

void TestProgressDialog::reportFromGuiThreadShowsAtOnce()
{
    QFETCH(int, current);
    QFETCH(int, max);
    QFETCH(QString, message);
    QFETCH(bool, percentVisible);
    QFETCH(QString, barText);

    ProgressDialog dialog(nullptr, false);
    auto *label = dialog.findChild<QLabel *>(QStringLiteral("label"));
    auto *bar = dialog.findChild<QProgressBar *>(QStringLiteral("progressBar"));
    auto *log = dialog.findChild<QPlainTextEdit *>(QStringLiteral("textEdit"));
    QVERIFY(label && bar && log);
    QVERIFY(log->isHidden());

    // No event loop runs here: the report must reach the widgets directly.
    QVERIFY(dialog.Report(current, max, message));
    QCOMPARE(label->text(), message);
    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), max);
    QCOMPARE(bar->value(), current);
    QCOMPARE(bar->isTextVisible(), percentVisible);
    if (percentVisible)
        QCOMPARE(bar->text(), barText);
}

void TestProgressDialog::logModeAddsOneLinePerMessage()
{
    ProgressDialog dialog(nullptr, true);
    auto *log = dialog.findChild<QPlainTextEdit *>(QStringLiteral("textEdit"));
    auto *label = dialog.findChild<QLabel *>(QStringLiteral("label"));

    auto body = [](IProgress *progress) {
        progress->Report(0, 3, QStringLiteral("первая"));
        progress->Report(1, 3, QString());
        progress->Report(2, 3, QStringLiteral("вторая"));
        progress->Report(3, 3, QStringLiteral("третья"));
        // The site's work reports without a maximum: a busy bar.
        progress->Report(0, 0, QString());
    };
    ProgressThread<decltype(body)> thread(body, &dialog);
    connect(&thread, &QThread::finished, &dialog, &ProgressDialog::waitingCancel);
    // Queued after waitingCancel(): closes the finished dialog as the user would.
    connect(&thread, &QThread::finished, &dialog, [&dialog] { CancelButton(dialog)->click(); },
            Qt::QueuedConnection);
    thread.start(QThread::InheritPriority);
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    thread.Join();

    QCOMPARE(log->toPlainText(), QStringLiteral("первая\nвторая\nтретья"));
    QVERIFY(label->isHidden());
    // The bar stands still at its end once the work is done.
    auto *bar = dialog.findChild<QProgressBar *>(QStringLiteral("progressBar"));
    QVERIFY(bar->maximum() > 0 && bar->value() == bar->maximum());
}

void TestProgressDialog::floodOfReportsIsShownTogether_data()
{
    QTest::addColumn<bool>("logMode");
    QTest::newRow("label") << false;
    QTest::newRow("log") << true;
}

void TestProgressDialog::floodOfReportsIsShownTogether()
{
    QFETCH(bool, logMode);

    // A load reports every 50 rows: the interface takes the reports a few
    // times a second, yet the log loses no line and the bar ends at the end.
    const int reports = 20000;
    ProgressDialog dialog(nullptr, logMode);
    QSignalSpy shown(&dialog, &ProgressDialog::FireSignal);
    auto body = [](IProgress *progress) {
        for (int i = 1; i <= reports; ++i)
            progress->Report(i, reports, QStringLiteral("строка %1").arg(i));
    };
    ProgressThread<decltype(body)> thread(body, &dialog);
    if (logMode) {
        connect(&thread, &QThread::finished, &dialog, &ProgressDialog::waitingCancel);
        connect(&thread, &QThread::finished, &dialog, [&dialog] { CancelButton(dialog)->click(); },
                Qt::QueuedConnection);
    } else {
        // The last report is shown before the dialog closes by itself.
        connect(&thread, &QThread::finished, &dialog,
                [&dialog] { QTimer::singleShot(3 * ProgressDialog::kInterval, &dialog, &QDialog::accept); });
    }
    thread.start(QThread::InheritPriority);
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    thread.Join();

    QVERIFY2(shown.count() < reports / 10, qPrintable(QString::number(shown.count())));
    auto *bar = dialog.findChild<QProgressBar *>(QStringLiteral("progressBar"));
    QCOMPARE(bar->value(), reports);
    if (logMode) {
        const QStringList lines =
                dialog.findChild<QPlainTextEdit *>(QStringLiteral("textEdit"))->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), reports);
        QCOMPARE(lines.first(), QStringLiteral("строка 1"));
        QCOMPARE(lines.last(), QStringLiteral("строка %1").arg(reports));
    } else {
        QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("label"))->text(), QStringLiteral("строка %1").arg(reports));
    }
}

void TestProgressDialog::cancelDuringRun_data()
{
    QTest::addColumn<bool>("logMode");
    QTest::addColumn<CancelBy>("how");
    QTest::addColumn<int>("result");

    // A cancelled run in normal mode ends when the worker does, as Accepted;
    // in log mode the dialog closes by itself as Rejected.
    QTest::newRow("button") << false << CancelBy::Button << int(QDialog::Accepted);
    QTest::newRow("escape") << false << CancelBy::Escape << int(QDialog::Accepted);
    QTest::newRow("close box") << false << CancelBy::CloseBox << int(QDialog::Accepted);
    QTest::newRow("log, button") << true << CancelBy::Button << int(QDialog::Rejected);
    QTest::newRow("log, escape") << true << CancelBy::Escape << int(QDialog::Rejected);
    QTest::newRow("log, close box") << true << CancelBy::CloseBox << int(QDialog::Rejected);
}

void TestProgressDialog::cancelDuringRun()
{
    QFETCH(bool, logMode);
    QFETCH(CancelBy, how);
    QFETCH(int, result);

    ProgressDialog dialog(nullptr, logMode);
    QSignalSpy quits(&dialog, &ProgressDialog::QuitEventLoop);
    QSemaphore cancelled;
    bool firstReport = false;
    bool reportAfterCancel = true;
    bool secondCancelIgnored = false;

    auto body = [&](IProgress *progress) {
        firstReport = progress->Report(0, 0, QStringLiteral("работа"));
        cancelled.acquire();
        reportAfterCancel = progress->Report(1, 0, QStringLiteral("ещё"));
    };
    ProgressThread<decltype(body)> thread(body, &dialog);
    if (logMode)
        connect(&thread, &QThread::finished, &dialog, &ProgressDialog::waitingCancel);
    else
        connect(&thread, &QThread::finished, &dialog, &QDialog::accept);

    // The first report reaches the interface thread once the dialog runs.
    connect(&dialog, &ProgressDialog::FireSignal, &dialog,
            [&](int current) {
                if (current != 0)
                    return;
                Cancel(dialog, how);
                // The dialog waits for the worker, disabled.
                const bool waiting = dialog.isVisible() && !dialog.isEnabled();
                dialog.close(); // a second try changes nothing
                secondCancelIgnored = waiting && dialog.isVisible() && quits.count() == 1;
                cancelled.release();
            },
            Qt::QueuedConnection);

    thread.start(QThread::InheritPriority);
    QCOMPARE(dialog.exec(), result);
    thread.Join();

    QVERIFY(firstReport);
    QVERIFY(secondCancelIgnored);
    QVERIFY(!reportAfterCancel);
    QCOMPARE(quits.count(), 1);
}

void TestProgressDialog::logModeFinishedWaitsForClose_data()
{
    QTest::addColumn<CancelBy>("how");
    QTest::newRow("button") << CancelBy::Button;
    QTest::newRow("escape") << CancelBy::Escape;
    QTest::newRow("close box") << CancelBy::CloseBox;
}

void TestProgressDialog::logModeFinishedWaitsForClose()
{
    QFETCH(CancelBy, how);

    ProgressDialog dialog(nullptr, true);
    bool reported = false;
    auto body = [&](IProgress *progress) { reported = progress->Report(1, 1, QStringLiteral("готово")); };
    ProgressThread<decltype(body)> thread(body, &dialog);
    connect(&thread, &QThread::finished, &dialog, &ProgressDialog::waitingCancel);

    QString buttonText;
    bool stayedOpen = false;
    QSignalSpy quits(&dialog, &ProgressDialog::QuitEventLoop);
    connect(&thread, &QThread::finished, &dialog,
            [&] {
                buttonText = CancelButton(dialog)->text();
                stayedOpen = dialog.isVisible() && dialog.isEnabled();
                Cancel(dialog, how);
            },
            Qt::QueuedConnection);

    thread.start(QThread::InheritPriority);
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    thread.Join();

    QVERIFY(reported);
    QVERIFY(stayedOpen);
    QCOMPARE(buttonText, QStringLiteral("Закрыть"));
    QCOMPARE(quits.count(), 0);
}

void TestProgressDialog::cancelWakesWorkerBlockedInBoundLoop()
{
    ProgressDialog dialog(nullptr, false);
    bool quit = false;
    bool reportAfterWait = true;

    auto body = [&](IProgress *progress) {
        QEventLoop loop;
        progress->BindEventLoop(&loop);
        progress->Report(0, 0, QStringLiteral("Ожидание ответа"));
        quit = WaitUntilQuit(loop);
        reportAfterWait = progress->Report(0, 0, QStringLiteral("после"));
    };
    ProgressThread<decltype(body)> thread(body, &dialog);
    connect(&thread, &QThread::finished, &dialog, &QDialog::accept);
    connect(&dialog, &ProgressDialog::FireSignal, &dialog,
            [&](int, int, const QString &msg) {
                if (msg == QStringLiteral("Ожидание ответа"))
                    CancelButton(dialog)->click();
            },
            Qt::QueuedConnection);

    thread.start(QThread::InheritPriority);
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    thread.Join();

    QVERIFY(quit);
    QVERIFY(!reportAfterWait);
}

void TestProgressDialog::cancelBeforeWaitStillQuitsTheLoop()
{
    ProgressDialog dialog(nullptr, false);
    QSemaphore cancelled;
    bool quit = false;

    auto body = [&](IProgress *progress) {
        progress->Report(0, 0, QStringLiteral("работа"));
        cancelled.acquire();
        // The cancel came before this wait began; the wait must not start
        // as if nothing had happened.
        QEventLoop loop;
        progress->BindEventLoop(&loop);
        quit = WaitUntilQuit(loop);
    };
    ProgressThread<decltype(body)> thread(body, &dialog);
    connect(&thread, &QThread::finished, &dialog, &QDialog::accept);
    connect(&dialog, &ProgressDialog::FireSignal, &dialog,
            [&] {
                CancelButton(dialog)->click();
                cancelled.release();
            },
            Qt::QueuedConnection);

    thread.start(QThread::InheritPriority);
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    thread.Join();
    QVERIFY(quit);
}

void TestProgressDialog::workerEndingBeforeExecStillClosesDialog_data()
{
    QTest::addColumn<bool>("logMode");
    QTest::newRow("normal") << false;
    QTest::newRow("log") << true;
}

void TestProgressDialog::workerEndingBeforeExecStillClosesDialog()
{
    QFETCH(bool, logMode);

    ProgressDialog dialog(nullptr, logMode);
    bool ran = false;
    auto body = [&](IProgress *progress) { ran = progress->Report(0, 0, QStringLiteral("быстро")); };
    ProgressThread<decltype(body)> thread(body, &dialog);
    if (logMode) {
        connect(&thread, &QThread::finished, &dialog, &ProgressDialog::waitingCancel);
        connect(&thread, &QThread::finished, &dialog, [&dialog] { CancelButton(dialog)->click(); },
                Qt::QueuedConnection);
    } else {
        connect(&thread, &QThread::finished, &dialog, &QDialog::accept);
    }
    thread.start(QThread::InheritPriority);
    // The worker is over before the dialog's loop has started.
    thread.Join();
    QVERIFY(thread.isFinished());

    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QVERIFY(ran);
}

void TestProgressDialog::runWithProgressHandsResultBack()
{
    bool result = true;
    int reports = 0;
    const int code = RunWithProgress(nullptr, false, [&](IProgress *progress) {
        for (int i = 0; i < 100; ++i) {
            if (progress->Report(i, 100, QStringLiteral("шаг")))
                ++reports;
        }
        result = false;
    });
    QCOMPARE(code, int(QDialog::Accepted));
    QCOMPARE(reports, 100);
    QVERIFY(!result);
}

void TestProgressDialog::threadWithoutDialogGetsNullProgress()
{
    IProgress *seen = reinterpret_cast<IProgress *>(1);
    auto body = [&](IProgress *progress) { seen = progress; };
    ProgressThread<decltype(body)> thread(body, nullptr);
    thread.start();
    thread.Join();
    QCOMPARE(seen, nullptr);
}

QTEST_MAIN(TestProgressDialog)
#include "tst_progressdialog.moc"
