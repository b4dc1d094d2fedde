#pragma once

#include <QCoreApplication>

#include <QByteArray>
#include <QString>
#include <QUrl>

class IProgress;

// Downloads a feed over HTTP into the system temporary folder, streaming the
// body to the file as it arrives. Runs on the calling thread with a local
// event loop that the progress object can quit. A download that fails, is
// cut off or is cancelled leaves no file behind.
class FeedDownload
{
    Q_DECLARE_TR_FUNCTIONS(FeedDownload)

public:
    FeedDownload(const QString &url, IProgress *progress);

    bool Run();
    QString FilePath() const { return m_filePath; }
    QString ErrorText() const { return m_error; }

    // The file name a "Content-Disposition" header gives, reduced to its last
    // path component; empty when it names no usable file.
    static QString NameFromDisposition(const QByteArray &header);
    // host "a.b.c" -> "a_b_c_<number>.csv"
    static QString NameFromHost(const QUrl &url);
    // The name with a number before its extension ("goods.csv", 2 -> "goods_2.csv").
    static QString Numbered(const QString &name, int number);

private:
    QString m_url;
    IProgress *m_progress;
    QString m_filePath;
    QString m_error;
};
