#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>

class IProgress;
class QFile;

// Sends export files to the user's server over FTP, FTPS (explicit TLS:
// AUTH TLS on the FTP port) or SFTP, and checks that the server lets us in.
// Addresses are "ftp://", "ftps://" or "sftp://" with the user name and the
// password in them; the password never appears in a report or an error
// text, which show addresses as Displayed() gives them.
//
// Every file goes up under a temporary name in its target folder and takes
// its final name only when it arrived whole, so a site importer that reads
// the folder sees the old file or the new one, never half of one; a failed
// or cancelled upload removes the temporary file where it can. Missing
// folders are created. The old file is never deleted before the new one can
// take its place: a server that allows no renames fails the upload with the
// old file kept, and one that will not rename over an existing file gets the
// old file moved aside, the new one renamed into place, and only then the
// old one deleted (or put back when the new one could not take its place).
// The first upload into a folder removes the temporary files that uploads
// of this program left there more than a day ago, and no other files.
//
// The calls block the calling thread (a worker): a cancel answered by the
// progress object stops a transfer within about a second, and a server
// that does not answer ends the wait after the timeouts below. One uploader
// keeps its connection between calls, so the files of one export share a
// login.
class FtpUploader final
{
    Q_DECLARE_TR_FUNCTIONS(FtpUploader)

public:
    struct Options
    {
        // Trust any TLS certificate (FTPS) or host key (SFTP).
        bool insecure = false;
        // SFTP: the private key to log in with; the password then unlocks it.
        QString keyFile;
        // Take a user name or password the address lacks from ~/.netrc.
        bool useNetrc = false;
    };

    enum TestResult { Accessible, LoginRefused, Failed, Cancelled };

    static const int kConnectTimeout = 30; // seconds to connect and log in
    static const int kStallTimeout = 60;   // seconds without progress

    FtpUploader(const Options &options, IProgress *progress);
    ~FtpUploader();

    // Uploads the local file to the target address, which names the file.
    bool Upload(const QString &localPath, const QUrl &target);
    // Logs in and changes into (or lists) the folder; a folder that does not
    // exist yet still counts as accessible. Reports nothing itself but
    // answers a cancel.
    TestResult Test(const QUrl &folder);

    // Why the last call failed, for people: where the network failed, one
    // plain sentence first ("Сервер не отвечает на порту 21"), then, after
    // an empty line, what exactly went wrong.
    QString ErrorText() const;

    // The address as it may be shown: its password masked.
    static QString Displayed(const QUrl &url);
    static bool IsSupported(const QUrl &url);
    // 21 for "ftp" and "ftps", 22 for "sftp", -1 for anything else.
    static int DefaultPort(const QString &scheme);

private:
    Q_DISABLE_COPY(FtpUploader)

    void Prepare(const QUrl &url, bool watchProgress);
    int Perform();
    QString Reason(int code) const;
    // These return libcurl's result code.
    int RunCommands(const QUrl &folder, const QList<QByteArray> &commands, bool watched);
    int Rename(const QUrl &folder, const QString &from, const QString &to, bool watched);
    QList<QByteArray> RenameCommands(const QUrl &folder, const QString &from, const QString &to) const;
    // The file arrived whole as temporary, but could not be renamed to
    // name at once: finds out why and acts on it, never losing the old file.
    bool PutInPlace(const QUrl &folder, const QString &temporary, const QString &name, const QString &shown,
                    const QString &fileName);
    QByteArray RemoveCommand(const QUrl &folder, const QString &name, bool mayFail) const;
    void RemoveTemporaries(const QUrl &folder, const QStringList &names);
    // Once per folder and uploader; answers a cancel through m_cancelled.
    void RemoveStaleTemporaries(const QUrl &folder);
    // Seconds since the epoch, or -1 when the server does not tell.
    qint64 RemoteTime(const QUrl &folder, const QString &name);
    QByteArray QuotedPath(const QUrl &folder, const QString &name) const;

    // libcurl's callbacks, which reach the members below.
    struct Callbacks;
    friend struct Callbacks;
    bool Progressed(qint64 sent);
    QString PlainSentence(int code) const;

    const Options m_options;
    IProgress *const m_progress;
    void *m_curl;
    // Kept alive for libcurl between setopt and perform.
    QByteArray m_url;
    QByteArray m_user;
    QByteArray m_password;
    QByteArray m_keyFile;
    QByteArray m_knownHosts;
    void *m_postQuote = nullptr;
    char m_errorBuffer[256 + 1];

    QFile *m_file = nullptr;
    bool m_readFailed = false;
    qint64 m_size = 0;
    // What the bar shows at least: the whole file once it arrived, while
    // it is renamed into place.
    qint64 m_sentBefore = 0;
    QByteArray m_listing;
    // The folders whose stale temporary files this uploader has looked for.
    QSet<QString> m_cleanedFolders;
    QString m_reportText;
    QElapsedTimer m_sinceReport;
    bool m_cancelled = false;
    QByteArray m_serverAnswer;
    QString m_error;
    // The libcurl code of the last failure, for its plain sentence.
    mutable int m_failureCode = 0;
};
