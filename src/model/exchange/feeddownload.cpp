#include "feeddownload.h"

#include <memory>

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

#include "ftpfetch.h"
#include "platform.h"
#include "iprogress.h"
#include "replywatchdog.h"
#include "shownaddress.h"

namespace {

const qint64 kReadBuffer = 1 << 20;
const qint64 kReportEvery = 1 << 20;
// A body whose start is nothing but white space for this long is no page.
const int kSniffLimit = 64 * 1024;

enum class Page { Yes, No, Unknown };

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Whether a body that starts with these bytes is a web page: after a byte
// order mark and white space it opens with "<!DOCTYPE html" or "<html", in
// any case. Unknown while the start is too short to tell and more may come.
Page LooksLikePage(const QByteArray &start, bool complete)
{
    static const QByteArray kDoctype = "<!doctype html";
    static const QByteArray kHtml = "<html";
    if (!complete && start.size() < 3)
        return Page::Unknown;
    int at = 0;
    int step = 1;   // UTF-16 takes two bytes a letter
    int letter = 0; // and its letters of ASCII have their byte first (LE) or second (BE)
    if (start.startsWith("\xEF\xBB\xBF")) {
        at = 3;
    } else if (start.startsWith("\xFF\xFE")) {
        at = 2;
        step = 2;
    } else if (start.startsWith("\xFE\xFF")) {
        at = 2;
        step = 2;
        letter = 1;
    }
    QByteArray text;
    for (; at + step <= start.size() && text.size() < kDoctype.size(); at += step) {
        const char c = start.at(at + letter);
        // A letter beyond ASCII in UTF-16 ends the comparison.
        if (step == 2 && start.at(at + 1 - letter) != 0) {
            text += '\x01';
            break;
        }
        if (text.isEmpty() && IsBlank(c))
            continue;
        text += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    if (text.startsWith(kHtml) || text.startsWith(kDoctype))
        return Page::Yes;
    if (complete || start.size() >= kSniffLimit)
        return Page::No;
    if (text.isEmpty() || kHtml.startsWith(text) || kDoctype.startsWith(text))
        return Page::Unknown;
    return Page::No;
}

bool IsRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The address as shown in messages: its password masked.
QString Shown(const QUrl &url)
{
    return ShownAddress::Of(url);
}

} // namespace

FeedDownload::FeedDownload(const QString &url, const QString &folder, IProgress *progress)
    : m_url(url)
    , m_shownUrl(ShownAddress::Of(QUrl(url, QUrl::TolerantMode)))
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
        // Quotes, colons and the like, which Windows refuses in a name.
        return Platform::NativeFileName(name);
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

QString FeedDownload::RedirectRefusal(const QUrl &from, const QUrl &to)
{
    if (!IsAllowed(to))
        return tr("перенаправление на %1, а фиды загружаются только по http, https и ftp").arg(Shown(to));
    // A feed asked for over https must not come over a line anyone can read
    // or change on the way.
    if (from.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0
            && to.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0)
        return tr("перенаправление с https на незащищённый адрес %1").arg(Shown(to));
    return QString();
}

bool FeedDownload::Run()
{
    QUrl url(m_url, QUrl::TolerantMode);
    if (!IsAllowed(url)) {
        m_error = tr("Адрес %1 не подходит: фиды загружаются только по http, https и ftp").arg(m_shownUrl);
        return false;
    }
    if (m_folder.isEmpty()) {
        m_error = tr("Не удалось создать временную папку в %1").arg(QDir::toNativeSeparators(QDir::tempPath()));
        return false;
    }
    QNetworkAccessManager manager;
    for (int redirects = 0;; ++redirects) {
        // FTP answers with the file or an error, never a redirect.
        if (url.scheme().compare(QLatin1String("ftp"), Qt::CaseInsensitive) == 0)
            return FetchFtp(url);
        QUrl next;
        if (!Fetch(manager, url, &next))
            return false;
        if (next.isEmpty())
            return true;
        QString refusal = RedirectRefusal(url, next);
        if (refusal.isEmpty() && redirects == kMaxRedirects)
            refusal = tr("больше %1 перенаправлений").arg(kMaxRedirects);
        if (!refusal.isEmpty()) {
            m_error = tr("Не удалось загрузить %1: %2").arg(m_shownUrl, refusal);
            return false;
        }
        url = next;
    }
}

bool FeedDownload::CreateFile(QFile *file, const QString &disposed) const
{
    // A file of that name may still be read by goods loaded from it, in
    // this process or another: it is never overwritten. The file is
    // created only if it does not exist, and another name taken if it does.
    const QString folder = m_folder + QLatin1Char('/');
    // Named after the address asked for, not the one it led to: the
    // offer of a feed is read from that name.
    const QUrl named(m_url, QUrl::TolerantMode);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        file->setFileName(folder + (disposed.isEmpty() ? NameFromHost(named, m_folder) : Numbered(disposed, attempt)));
        if (file->open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return true;
        if (!file->exists())
            break;
    }
    return false;
}

bool FeedDownload::FetchFtp(const QUrl &url)
{
    QFile file;
    bool writeFailed = false;
    bool sniffed = false;
    bool page = false;
    QByteArray start; // the body's first bytes, until they tell whether it is a page
    const auto write = [&](const char *data, qint64 size) {
        if (file.fileName().isEmpty() && !CreateFile(&file, QString()))
            writeFailed = true;
        if (!writeFailed && size > 0 && file.write(data, size) != size)
            writeFailed = true;
        return !writeFailed;
    };
    const auto sink = [&](const char *data, qint64 size) {
        if (sniffed)
            return write(data, size);
        start.append(data, int(size));
        const Page looks = LooksLikePage(start, false);
        if (looks == Page::Yes) {
            page = true;
            return false;
        }
        if (looks == Page::No) {
            sniffed = true;
            const QByteArray bytes = std::move(start);
            start = QByteArray();
            return write(bytes.constData(), bytes.size());
        }
        return true;
    };
    // A few times a second: the bar moves, and a cancel is heard.
    const auto tick = [&](qint64 received, qint64 total) {
        return !m_progress
               || m_progress->Report(int(received >> 10), int(qMax<qint64>(0, total) >> 10),
                                     tr("Загрузка файла %1").arg(m_shownUrl));
    };
    const auto discard = [&](const QString &why) {
        m_error = why;
        if (file.isOpen())
            file.close();
        if (!file.fileName().isEmpty())
            file.remove();
        return false;
    };

    QString reason;
    int networkError = 0;
    const FtpFetch::Result result = FtpFetch::Run(url, sink, tick, &reason, &networkError);
    if (page)
        return discard(tr("сервер вернул веб-страницу, а не фид: %1").arg(Shown(url)));
    if (writeFailed)
        return discard(tr("Не удалось записать файл %1").arg(QDir::toNativeSeparators(file.fileName())));
    if (result == FtpFetch::Stopped)
        return discard(tr("Загрузка %1 отменена").arg(m_shownUrl));
    if (result == FtpFetch::Failed) {
        // Told as a failure over HTTP is: one plain sentence, then the account.
        const QString sentence = PlainSentence(networkError, url);
        const QString account = tr("Не удалось загрузить %1: %2").arg(m_shownUrl, reason);
        return discard(sentence.isEmpty() ? account : sentence + QLatin1String("\n\n") + account);
    }
    if (!sniffed) {
        if (LooksLikePage(start, true) == Page::Yes)
            return discard(tr("сервер вернул веб-страницу, а не фид: %1").arg(Shown(url)));
        write(start.constData(), start.size());
    }
    if (writeFailed || !file.flush())
        return discard(tr("Не удалось записать файл %1").arg(QDir::toNativeSeparators(file.fileName())));
    file.close();
    m_filePath = file.fileName();
    return true;
}

bool FeedDownload::Fetch(QNetworkAccessManager &manager, const QUrl &url, QUrl *redirect)
{
    // Redirects are followed here, not by the network layer, which would
    // neither go on to ftp nor say where a refused one pointed.
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    const std::unique_ptr<QNetworkReply> reply(manager.get(request));
    reply->setReadBufferSize(kReadBuffer);
    ReplyWatchdog::Limits limits = ReplyWatchdog::Defaults();
    limits.wholeMs = 0;
    const ReplyWatchdog *watchdog = new ReplyWatchdog(reply.get(), limits);

    QEventLoop loop;
    QFile file;
    bool writeFailed = false;
    qint64 received = 0;
    qint64 lastReport = 0;
    bool headersJudged = false;
    bool sniffed = false;
    QByteArray start; // the body's first bytes, until they tell whether it is a page
    QString refusal;  // why the answer is no feed, once known

    // The status and the type of the answer decide before its body is read:
    // a redirect's or an error's body is never taken for the feed.
    const auto judgeHeaders = [&]() {
        if (headersJudged || !refusal.isEmpty() || !redirect->isEmpty())
            return;
        const QVariant statusAttribute = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (!statusAttribute.isValid())
            return; // no headers yet, or ftp, which has none
        headersJudged = true;
        const int status = statusAttribute.toInt();
        // Read raw: the parsed header drops an address relative to this one.
        const QUrl location = QUrl::fromEncoded(reply->rawHeader("Location").trimmed(), QUrl::TolerantMode);
        if (IsRedirect(status) && location.isValid() && !location.isEmpty()) {
            *redirect = url.resolved(location);
        } else if (status < 200 || status > 299) {
            const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
            refusal = tr("Сервер ответил %1 %2 на запрос %3").arg(QString::number(status), reason, Shown(url));
        } else {
            const QString type = reply->header(QNetworkRequest::ContentTypeHeader).toString();
            if (type.section(QLatin1Char(';'), 0, 0).trimmed().compare(QLatin1String("text/html"), Qt::CaseInsensitive)
                    == 0)
                refusal = tr("сервер вернул веб-страницу, а не фид: %1").arg(Shown(url));
        }
        if (!refusal.isEmpty() || !redirect->isEmpty())
            loop.quit();
    };
    const auto openFile = [&]() {
        if (file.fileName().isEmpty()
            && !CreateFile(&file, NameFromDisposition(reply->rawHeader("Content-Disposition"))))
            writeFailed = true;
    };
    const auto write = [&](const QByteArray &bytes) {
        openFile();
        if (!writeFailed && !bytes.isEmpty() && file.write(bytes) != bytes.size())
            writeFailed = true;
    };
    // Takes what arrived; complete when the reply has finished.
    const auto drain = [&](bool complete) {
        judgeHeaders();
        if (!refusal.isEmpty() || !redirect->isEmpty() || reply->error() != QNetworkReply::NoError)
            return;
        const QByteArray chunk = reply->readAll();
        received += chunk.size();
        if (sniffed) {
            write(chunk);
        } else {
            start += chunk;
            const Page page = LooksLikePage(start, complete);
            if (page == Page::Yes) {
                refusal = tr("сервер вернул веб-страницу, а не фид: %1").arg(Shown(url));
                loop.quit();
                return;
            }
            if (page == Page::No) {
                sniffed = true;
                write(start);
                start = QByteArray();
            }
        }
        if (m_progress && received - lastReport >= kReportEvery) {
            lastReport = received;
            const qint64 total = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
            m_progress->Report(int(received >> 10), int(qMax<qint64>(0, total) >> 10),
                               tr("Загрузка файла %1").arg(m_shownUrl));
        }
    };

    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, judgeHeaders);
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, [&drain]() { drain(false); });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (m_progress)
        m_progress->BindEventLoop(&loop);
    if (!reply->isFinished())
        loop.exec();
    if (reply->isFinished())
        drain(true);

    const auto discard = [&](const QString &why) {
        m_error = why;
        if (file.isOpen())
            file.close();
        if (!file.fileName().isEmpty())
            file.remove();
        redirect->clear();
        return false;
    };

    if (!redirect->isEmpty() || !refusal.isEmpty()) {
        // The rest of the answer is of no use.
        reply->abort();
        return refusal.isEmpty() ? true : discard(refusal);
    }
    if (!reply->isFinished()) {
        reply->abort();
        return discard(tr("Загрузка %1 отменена").arg(m_shownUrl));
    }
    // A failure of the network is told in one plain sentence first, the
    // technical account after an empty line.
    const auto plainly = [](const QString &sentence, const QString &account) {
        return sentence.isEmpty() ? account : sentence + QLatin1String("\n\n") + account;
    };
    if (reply->error() != QNetworkReply::NoError) {
        QString reason = watchdog->Reason();
        if (reason.isEmpty()) {
            // Qt's text may quote the address as requested, password and all.
            reason = reply->errorString();
            if (!url.password().isEmpty())
                reason.replace(url.password(), QStringLiteral("***"));
        }
        return discard(plainly(PlainSentence(reply->error(), url),
                               tr("Не удалось загрузить %1: %2").arg(m_shownUrl, reason)));
    }
    const bool lengthKnown = reply->header(QNetworkRequest::ContentLengthHeader).isValid();
    const qint64 expected = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    if (lengthKnown && received != expected) {
        return discard(plainly(tr("Соединение разорвано во время передачи"),
                               tr("Загрузка %1 прервана: получено %2 из %3 байт")
                                       .arg(m_shownUrl, QString::number(received), QString::number(expected))));
    }
    openFile();
    if (writeFailed || !file.flush())
        return discard(tr("Не удалось записать файл %1").arg(QDir::toNativeSeparators(file.fileName())));
    file.close();
    m_filePath = file.fileName();
    return true;
}

QString FeedDownload::PlainSentence(int error, const QUrl &url)
{
    const int defaultPort = url.scheme() == QLatin1String("https") ? 443
            : url.scheme() == QLatin1String("ftp")                  ? 21
                                                                    : 80;
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::TimeoutError:
        return tr("Сервер не отвечает на порту %1").arg(url.port(defaultPort));
    case QNetworkReply::HostNotFoundError:
        return tr("Сервер %1 не найден").arg(url.host());
    case QNetworkReply::RemoteHostClosedError:
        return tr("Соединение разорвано во время передачи");
    default:
        return QString();
    }
}
