// Loads a feed, saves the whole catalogue to one file and uploads that file
// to an FTP, FTPS or SFTP server with the catalogue's uploader, timing each
// upload and measuring the memory it takes beyond the loaded catalogue.
//
//   FIDMORA_FTP_PASSWORD=... uploadbench FEED URL [--export FILE [--reuse-export]] [--rounds N]
//
// URL names the server folder ("ftp://user@127.0.0.1:2121/"); round N puts
// the file there as "uploadbench-N.csv". The password comes from the
// environment, as for fidmora-cli.

#include <cstdio>

#include <unistd.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QUrl>

#include "benchutil.h"
#include "ftpuploader.h"
#include "model.h"

namespace
{

// Brings the peak resident set (VmHWM) down to the current one, so that the
// next peak is that of the work that follows.
bool ResetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser args;
    args.setApplicationDescription(QStringLiteral("Uploads the export of a feed and times it."));
    args.addHelpOption();
    args.addOptions({
        {QStringLiteral("export"), QStringLiteral("Where the export is saved (default: a temporary file)."),
         QStringLiteral("FILE")},
        {QStringLiteral("reuse-export"), QStringLiteral("Upload the export file as it is when it exists.")},
        {QStringLiteral("rounds"), QStringLiteral("How many times the export is uploaded (default 1)."),
         QStringLiteral("N"), QStringLiteral("1")},
    });
    args.addPositionalArgument(QStringLiteral("FEED"), QStringLiteral("The data feed."));
    args.addPositionalArgument(QStringLiteral("URL"), QStringLiteral("The server folder."));
    args.process(app);
    const QStringList positional = args.positionalArguments();
    if (positional.size() != 2)
        args.showHelp(2);

    QTemporaryDir temporary;
    const QString exportFile = args.isSet(QStringLiteral("export"))
            ? args.value(QStringLiteral("export"))
            : temporary.filePath(QStringLiteral("export.csv"));
    QUrl url(positional.at(1), QUrl::TolerantMode);
    const QString password =
            QProcessEnvironment::systemEnvironment().value(QStringLiteral("FIDMORA_FTP_PASSWORD"));
    if (!password.isEmpty())
        url.setPassword(password);
    QString folder = url.path();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');

    Model model;
    QElapsedTimer timer;
    timer.start();
    if (!model.AddFile(positional.at(0))) {
        std::fprintf(stderr, "uploadbench: %s\n", qPrintable(model.LastError()));
        return 1;
    }
    std::printf("load: %.2f s\n", Bench::Seconds(timer));
    timer.restart();
    if (!args.isSet(QStringLiteral("reuse-export")) || !QFileInfo::exists(exportFile)) {
        if (!model.SaveToFile(exportFile)) {
            std::fprintf(stderr, "uploadbench: %s\n", qPrintable(model.LastError()));
            return 1;
        }
        std::printf("save: %.2f s\n", Bench::Seconds(timer));
    }
    const qint64 bytes = QFileInfo(exportFile).size();
    std::printf("export: %.1f MB\n", double(bytes) / 1e6);
    Bench::Figure("export_bytes", double(bytes));
    // The export's own write-back must not slow the uploads down.
    sync();

    const int rounds = qMax(1, args.value(QStringLiteral("rounds")).toInt());
    double best = 0;
    qint64 extraKb = 0;
    for (int round = 0; round < rounds; ++round) {
        const qint64 before = Bench::CurrentRssKb();
        const bool peakReset = ResetPeak();
        const Bench::CpuTimes cpu = Bench::Cpu();
        timer.restart();
        FtpUploader uploader(FtpUploader::Options(), nullptr);
        url.setPath(folder + QStringLiteral("uploadbench-%1.csv").arg(round + 1));
        if (!uploader.Upload(exportFile, url)) {
            std::fprintf(stderr, "uploadbench: %s\n", qPrintable(uploader.ErrorText()));
            return 1;
        }
        const double seconds = Bench::Seconds(timer);
        const qint64 extra = peakReset ? Bench::PeakRssKb() - before : -1;
        std::printf("upload %d: %.2f s (%.0f MB/s), %s, peak memory beyond the catalogue %.1f MB\n", round + 1,
                    seconds, double(bytes) / 1e6 / seconds, qPrintable(Bench::CpuSince(cpu)), double(extra) / 1024.0);
        best = round == 0 ? seconds : qMin(best, seconds);
        extraKb = qMax(extraKb, extra);
        sync();
    }
    Bench::Figure("upload_seconds", best);
    Bench::Figure("upload_extra_kb", double(extraKb));
    return 0;
}
