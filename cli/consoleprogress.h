#pragma once

#include <atomic>
#include <cstdio>
#include <mutex>

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include "iprogress.h"

// Shows the progress of the command-line steps on standard error: on a
// terminal one line redrawn in place, otherwise plain lines, a few a second
// at most, for logs. Report() and the step calls run on the worker thread;
// Cancel() runs on the main thread, and from then on Report() answers false
// and the event loops handed over by the model are told to quit, the same
// way the window's Cancel button stops a worker. Whatever it writes has the
// passwords of addresses masked.
class ConsoleProgress final : public QObject, public IProgress
{
    Q_OBJECT

public:
    enum Mode { Quiet, Terminal, Lines };

    explicit ConsoleProgress(Mode mode, FILE *stream = stderr, QObject *parent = nullptr);

    // Quiet when asked, otherwise Terminal when the stream is one.
    static Mode ModeFor(bool quiet, FILE *stream);

    bool Report(int current, int max, const QString &msg) override;
    void BindEventLoop(QEventLoop *loop) override;

    // A step starts: its title gets a line of its own.
    void BeginStep(const QString &title);
    // The step ended: its last message is shown and the redrawn line kept.
    void EndStep();
    // A line shown whatever the mode (errors, the cancel notice).
    void Message(const QString &text);

    bool IsCancelled() const { return m_cancelled.load(); }
    // The signal that cancelled the run (SIGINT, SIGTERM, SIGHUP), or 0.
    int CancellingSignal() const { return m_signal.load(); }

    // The redrawn line: the message, and a bar when the maximum is known,
    // fitted into the given width.
    static QString TerminalLine(int current, int max, const QString &msg, int width);
    // A plain log line: the message, and "(current/max)" when the maximum is known.
    static QString LogLine(int current, int max, const QString &msg);
    // "SIGTERM" for SIGTERM, and so on.
    static QString SignalName(int signalNumber);

public slots:
    void Cancel();
    // A signal asks the program to stop: the step is cancelled as by
    // Cancel(), and the first signal is kept for the exit status.
    void Interrupt(int signalNumber);

signals:
    void QuitEventLoop();

private:
    Q_DISABLE_COPY(ConsoleProgress)

    // Callers hold m_mutex.
    void ShowPending();
    void EndLine();
    void Write(const QString &text);
    int TerminalWidth() const;

    const Mode m_mode;
    FILE *const m_stream;
    std::atomic<bool> m_cancelled{false};
    std::atomic<int> m_signal{0};

    std::mutex m_mutex;
    QElapsedTimer m_sinceShown;
    bool m_shownInStep = false;
    bool m_pending = false;
    bool m_lineOpen = false; // a redrawn line waits for its end
    int m_current = 0;
    int m_max = 0;
    QString m_message;
    QString m_lastLine;
};
