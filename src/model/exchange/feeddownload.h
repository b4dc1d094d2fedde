#pragma once

#include <QCoreApplication>

#include <QByteArray>
#include <QString>
#include <QUrl>

class IProgress;
class QFile;
class QNetworkAccessManager;

// Downloads a feed over HTTP, HTTPS or FTP into a folder (the model's own
// temporary folder), streaming the body to the file as it arrives. Runs on
// the calling thread with a local event loop that the progress object can
// quit; every wait is bounded by a ReplyWatchdog. Redirects are followed
// (at most 10, to http, https and ftp only, never from https to anything
// less safe); a final status other than 2xx and a body that is a web page
// (a login page, a "feed moved" page, a captive portal) fail the download,
// since loaded as a feed they would empty the catalogue and, against a
// base, delete the shop's goods. A download that fails, is cut off or is
// cancelled leaves no file behind. Other schemes (a local file above all)
// are refused: a project from someone else must not make the program read
// the user's files.
class FeedDownload
{
    Q_DECLARE_TR_FUNCTIONS(FeedDownload)

public:
    FeedDownload(const QString &url, const QString &folder, IProgress *progress);

    // True for the schemes a feed may be downloaded by.
    static bool IsAllowed(const QUrl &url);

    bool Run();
    // Why a redirect from one address to another is not followed; empty
    // when it is.
    static QString RedirectRefusal(const QUrl &from, const QUrl &to);
    static const int kMaxRedirects = 10;
    QString FilePath() const { return m_filePath; }
    QString ErrorText() const { return m_error; }

    // The file name a "Content-Disposition" header gives, reduced to its last
    // path component; empty when it names no usable file.
    static QString NameFromDisposition(const QByteArray &header);
    // host "a.b.c" -> "a_b_c_<number>.csv", a name not yet in the folder
    static QString NameFromHost(const QUrl &url, const QString &folder);
    // The name with a number before its extension ("goods.csv", 2 -> "goods_2.csv").
    static QString Numbered(const QString &name, int number);
    // The plain sentence for a failure of the network (a QNetworkReply
    // error), or an empty string where there is none to say; the site
    // exchange tells its own failures of the network in the same words.
    static QString PlainSentence(int error, const QUrl &url);

private:
    // One request. True with *redirect empty when the feed is in
    // m_filePath, true with *redirect set when the server sent the feed
    // elsewhere; false with m_error set otherwise.
    bool Fetch(QNetworkAccessManager &manager, const QUrl &url, QUrl *redirect);
    // The same over FTP, through libcurl.
    bool FetchFtp(const QUrl &url);
    // Creates a file of a new name in the folder; false when none can be.
    bool CreateFile(QFile *file, const QString &disposed) const;

    QString m_url;
    QString m_shownUrl; // without a password
    QString m_folder;
    IProgress *m_progress;
    QString m_filePath;
    QString m_error;
};
