#include "imageloader.h"

#include <QDebug>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include "replywatchdog.h"

ImageLoader::ImageLoader(QObject *parent, int keptPictures, const QSize &pictureSize, bool enlarge)
    : QObject(parent)
    , m_keptPictures(keptPictures)
    , m_pictureSize(pictureSize)
    , m_enlarge(enlarge)
    , m_manager(this)
{
    // Picture hosts commonly send their pictures on to another address.
    m_manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    connect(&m_manager, &QNetworkAccessManager::finished, this, &ImageLoader::DataRecived);
}

ImageLoader::~ImageLoader()
{
    // The manager goes first and takes the replies still under way with it;
    // nothing it does then may reach this half-destroyed loader.
    disconnect(&m_manager, nullptr, this, nullptr);
}

const QPixmap *ImageLoader::Cached(const QString &url) const
{
    const auto it = m_cache.constFind(url);
    return it == m_cache.constEnd() ? nullptr : &it.value();
}

QString ImageLoader::Failure(const QString &url) const
{
    const auto failed = m_failed.constFind(url);
    if (failed != m_failed.constEnd())
        return failed.value();
    return m_unusable.value(url);
}

void ImageLoader::Request(const QString &url, const QModelIndex &index)
{
    // A good without a picture has nothing to download.
    if (url.isEmpty())
        return;
    if (m_requested.contains(url)) {
        if (index.isValid() && !m_cache.contains(url)) {
            QVector<QPersistentModelIndex> &waiting = m_waiting[url];
            if (!waiting.contains(index))
                waiting.append(index);
        }
        return;
    }
    if (m_failed.contains(url))
        return;

    m_requested.insert(url);
    // No more requests to one server than the network layer sends at once:
    // one that waited in its queue behind a list scrolled through would be
    // taken for a server that does not answer.
    const QString server = ServerOf(url);
    int &running = m_running[server];
    if (running >= kParallelPerServer) {
        m_queued[server].enqueue(Pending{index, url});
        return;
    }
    ++running;
    Start(Pending{index, url});
}

QString ImageLoader::ServerOf(const QString &url)
{
    return QUrl(url).adjusted(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment)
            .toString();
}

void ImageLoader::Start(const Pending &pending)
{
    QNetworkReply *reply = m_manager.get(QNetworkRequest(QUrl(pending.url)));
    // A picture host that stalls would otherwise keep its card waiting, and
    // the address asked for, until the program ends.
    ReplyWatchdog::Limits limits = ReplyWatchdog::Defaults();
    limits.wholeMs = 0;
    new ReplyWatchdog(reply, limits);
    m_pending.insert(reply, pending);
}

void ImageLoader::DataRecived(QNetworkReply *reply)
{
    const auto it = m_pending.find(reply);
    if (it == m_pending.end())
        return;
    const Pending pending = it.value();
    m_pending.erase(it);
    const QVector<QPersistentModelIndex> waiting = m_waiting.take(pending.url);
    // The server's next picture goes out in this one's place.
    const QString server = ServerOf(pending.url);
    const auto queued = m_queued.find(server);
    if (queued != m_queued.end()) {
        const Pending next = queued->dequeue();
        if (queued->isEmpty())
            m_queued.erase(queued);
        Start(next);
    } else if (--m_running[server] <= 0) {
        m_running.remove(server);
    }

    if (reply->error() != QNetworkReply::NoError) {
        QString reason = ReplyWatchdog::ReasonOf(reply);
        if (reason.isEmpty())
            reason = reply->errorString();
        qDebug() << reason;
        m_failed.insert(pending.url, reason);
        m_requested.remove(pending.url);
        reply->deleteLater();
        emit ImageFailed(pending.url, reason, pending.index);
        for (const QPersistentModelIndex &index : waiting) {
            if (index != pending.index)
                emit ImageFailed(pending.url, reason, index);
        }
        return;
    }

    // A success may mean the network is back: every failed address may be
    // tried again.
    m_failed.clear();
    QPixmap image;
    image.loadFromData(reply->readAll());
    const bool fits = image.width() <= m_pictureSize.width() && image.height() <= m_pictureSize.height();
    if (!image.isNull() && (m_enlarge || !fits))
        image = image.scaled(m_pictureSize, Qt::KeepAspectRatio, Qt::FastTransformation);
    else
        m_unusable.insert(pending.url, tr("по адресу %1 не картинка").arg(pending.url));
    const QPixmap cached = *m_cache.insert(pending.url, image);
    m_cacheOrder.enqueue(pending.url);
    while (m_cacheOrder.size() > m_keptPictures) {
        const QString oldest = m_cacheOrder.dequeue();
        m_cache.remove(oldest);
        m_unusable.remove(oldest);
        m_requested.remove(oldest);
    }
    reply->deleteLater();

    emit ImageLoaded(cached, pending.url, pending.index);
    for (const QPersistentModelIndex &index : waiting) {
        if (index != pending.index)
            emit ImageLoaded(cached, pending.url, index);
    }
}
