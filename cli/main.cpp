#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <QCoreApplication>
#include <QThread>

#include "clirunner.h"
#include "commandline.h"
#include "consoleprogress.h"
#include "interfacelanguage.h"
#include "model.h"
#include "platform.h"
#include "signalwatcher.h"
#include "temporaryfolder.h"

namespace {

void Print(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    fflush(stream);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // UTF-8 and the program's own line ends on every console; a reader of
    // the output that went away (a closed pipe) makes the write fail, which
    // the run reports, instead of ending the program before it could clean up.
    Platform::PrepareConsole();
    // The interface language, as the window's: Russian unless the system's
    // first language is English or the window's View menu chose English.
    const InterfaceLanguage language(InterfaceLanguage::Chosen());

    CommandLine commandLine;
    switch (commandLine.Parse(QCoreApplication::arguments().mid(1))) {
    case CommandLine::Help:
        Print(stdout, CommandLine::HelpText());
        return CliRunner::Success;
    case CommandLine::Version:
        Print(stdout, CommandLine::VersionText() + QLatin1Char('\n'));
        return CliRunner::Success;
    case CommandLine::UsageError:
        Print(stderr, QLatin1String("fidmora-cli: ") + commandLine.ErrorText() + QLatin1Char('\n')
                      + CommandLine::HelpHint() + QLatin1Char('\n'));
        return CliRunner::UsageError;
    case CommandLine::Run:
        break;
    }

    ConsoleProgress progress(ConsoleProgress::ModeFor(commandLine.Quiet(), stderr));
    // Ctrl+C, and the stop that timeout, systemd, a closed console or the
    // end of a session send, cancel the running step; the run then clears
    // its temporary files and ends with 128 + the signal's number. A second
    // request of the same kind ends the program at once.
    SignalWatcher interrupts;
    QObject::connect(&interrupts, &SignalWatcher::received, &progress, &ConsoleProgress::Interrupt);

    // The model's operations run on a worker, as behind the window's progress
    // dialog, so that this thread stays free to notice Ctrl+C.
    TemporaryFolder::RemoveStale();
    Model model;
    CliRunner runner(model, progress);
    runner.SetInsecureUploads(commandLine.InsecureUploads());
    runner.SetUploadKey(commandLine.UploadKey());
    runner.SetStrict(commandLine.Strict());
    runner.SetMaxDelete(commandLine.MaxDelete());
    // Atomic: QThread::wait hands the worker's writes over inside Qt, where
    // the thread checker cannot see it.
    std::atomic<int> code{CliRunner::Success};
    const QList<CliStep> steps = commandLine.Steps();
    std::unique_ptr<QThread> worker(QThread::create([&]() { code.store(runner.Run(steps)); }));
    QObject::connect(worker.get(), &QThread::finished, &app, &QCoreApplication::quit);
    worker->start();
    app.exec();
    worker->wait();
#ifndef __SANITIZE_ADDRESS__
    // The run closed every feed and removed its temporary files, and every
    // output was put in place whole: what is left is memory (a million
    // goods, the tree, the tables), which the end of the process gives back
    // at once. A build that checks for leaks frees it all the long way.
    fflush(stdout);
    fflush(stderr);
    std::_Exit(code.load());
#endif
    return code.load();
}
