#include "feeddownload.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QTime>

#include "iprogress.h"

namespace {

const qint64 kReadBuffer = 1 << 20;
const qint64 kReportEvery = 1 << 20;

} // namespace

FeedDownload::FeedDownload(const QString &url, const QString &folder, IProgress *progress)
    : m_url(url)
    , m_shownUrl(QUrl(url, QUrl::TolerantMode).toDisplayString(QUrl::RemovePassword))
    , m_folder(folder)
    , m_progress(progress)
{
}

bool FeedDownload::IsAllowed(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
            && (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("ftp"));
}

QString FeedDownload::NameFromDisposition(const QByteArray &header)
{
    const QStringList parts = QString::fromUtf8(header).split(QStringLiteral("; "));
    for (const QString &part : parts) {
        const QStringList pieces = part.split(QLatin1Char('='));
        if (pieces.size() != 2 || pieces.at(0) != QLatin1String("filename"))
            continue;
        // The server chooses the name: only its last component is used, so
        // that it can never point outside the temporary folder.
        QString name = pieces.at(1);
        const int slash = qMax(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
        if (slash >= 0)
            name = name.mid(slash + 1);
        if (name.size() >= 2 && name.at(1) == QLatin1Char(':') && name.at(0).isLetter())
            name = name.mid(2);
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")
                || name.contains(QLatin1Char('\0')))
            return QString();
        return name;
    }
    return QString();
}

QString FeedDownload::NameFromHost(const QUrl &url, const QString &folder)
{
    QRandomGenerator generator(quint32(QTime::currentTime().msecsSinceStartOfDay()));
    const QString host = url.host().replace(QLatin1Char('.'), QLatin1Char('_')) + QLatin1Char('_');
    QString name = host + QString::number(generator.bounded(1 << 30)) + QLatin1String(".csv");
    // Two downloads in the same millisecond (in this process or another)
    // draw the same number: the next one takes another, keeping the shape
    // of the name, from which the offer of the file is read.
    while (QFileInfo::exists(folder + QLatin1Char('/') + name))
        name = host + QString::number(QRandomGenerator::global()->bounded(1 << 30)) + QLatin1String(".csv");
    return name;
}

QString FeedDownload::Numbered(const QString &name, int number)
{
    if (number == 0)
        return name;
    const QFileInfo info(name);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    return info.completeBaseName() + QLatin1Char('_') + QString::number(number) + suffix;
}

bool FeedDownload::Run()
{
    const QUrl url(m_url, QUrl::TolerantMode);
    if (!IsAllowed(url)) {
        m_error = tr("Адрес %1 не подходит: фиды загружаются только по http, https и ftp").arg(m_shownUrl);
        return false;
    }
    if (m_folder.isEmpty()) {
        m_error = tr("Не удалось создать временную папку в %1").arg(QDir::toNativeSeparators(QDir::tempPath()));
        return false;
    }
    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply *reply = manager.get(request);
    reply->setReadBufferSize(kReadBuffer);

    QFile file;
    bool writeFailed = false;
    qint64 received = 0;
    qint64 lastReport = 0;
    const auto openFile = [&]() {
        if (!file.fileName().isEmpty())
            return;
        // A file of that name may still be read by goods loaded from it, in
        // this process or another: it is never overwritten. The file is
        // created only if it does not exist, and another name taken if it does.
        const QString folder = m_folder + QLatin1Char('/');
        const QString disposed = NameFromDisposition(reply->rawHeader("Content-Disposition"));
        for (int attempt = 0; attempt < 1000; ++attempt) {
            file.setFileName(folder
                             + (disposed.isEmpty() ? NameFromHost(url, m_folder) : Numbered(disposed, attempt)));
            if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
                return;
            if (!file.exists())
                break;
        }
        writeFailed = true;
    };
    const auto drain = [&]() {
        if (reply->error() != QNetworkReply::NoError)
            return;
        openFile();
        const QByteArray chunk = reply->readAll();
        received += chunk.size();
        if (!writeFailed && !chunk.isEmpty() && file.write(chunk) != chunk.size())
            writeFailed = true;
        if (m_progress && received - lastReport >= kReportEvery) {
            lastReport = received;
            const qint64 total = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
            m_progress->Report(int(received >> 10), int(qMax<qint64>(0, total) >> 10),
                               tr("Загрузка файла %1").arg(m_shownUrl));
        }
    };

    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, drain);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (m_progress)
        m_progress->BindEventLoop(&loop);
    if (!reply->isFinished())
        loop.exec();

    const auto discard = [&](const QString &why) {
        m_error = why;
        if (file.isOpen())
            file.close();
        if (!file.fileName().isEmpty())
            file.remove();
        return false;
    };

    if (!reply->isFinished()) {
        reply->abort();
        return discard(tr("Загрузка %1 отменена").arg(m_shownUrl));
    }
    if (reply->error() != QNetworkReply::NoError) {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status >= 400) {
            const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
            return discard(tr("Сервер ответил %1 %2 на запрос %3").arg(QString::number(status), reason, m_shownUrl));
        }
        // Qt's text may quote the address as requested, password and all.
        QString reason = reply->errorString();
        if (!url.password().isEmpty())
            reason.replace(url.password(), QStringLiteral("***"));
        return discard(tr("Не удалось загрузить %1: %2").arg(m_shownUrl, reason));
    }
    drain();
    openFile();
    const bool lengthKnown = reply->header(QNetworkRequest::ContentLengthHeader).isValid();
    const qint64 expected = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    if (lengthKnown && received != expected) {
        return discard(tr("Загрузка %1 прервана: получено %2 из %3 байт")
                               .arg(m_shownUrl, QString::number(received), QString::number(expected)));
    }
    if (writeFailed || !file.flush())
        return discard(tr("Не удалось записать файл %1").arg(QDir::toNativeSeparators(file.fileName())));
    file.close();
    m_filePath = file.fileName();
    return true;
}
