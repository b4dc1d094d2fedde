#pragma once

#include <QHash>
#include <QMap>
#include <QModelIndex>
#include <QNetworkAccessManager>
#include <QObject>
#include <QPersistentModelIndex>
#include <QPixmap>
#include <QQueue>
#include <QSet>
#include <QSize>
#include <QString>
#include <QVector>

class QNetworkReply;

// Downloads the pictures of goods over HTTP and keeps the last few thousand,
// scaled to the card's picture size (scrolling through a million goods must
// not keep a million pictures; one that left is downloaded again when its
// card is drawn again). Each address is asked for
// once; after a failure it is tried again only once some other download has
// succeeded. Everything happens on the interface thread without blocking:
// ImageLoaded() tells, for each item that asked, that its picture is ready,
// ImageFailed() that it will not come, and Failure() says why. A picture
// host that does not answer, stalls or crawls fails its pictures within the
// limits of ReplyWatchdog.
class ImageLoader final : public QObject
{
    Q_OBJECT

public:
    static constexpr int kWidth = 150;
    static constexpr int kHeight = 130;
    static constexpr int kKeptPictures = 2000;
    // Requests to one server at a time, as many as the network layer sends
    // at once; the others wait here.
    static constexpr int kParallelPerServer = 6;

    // Pictures are kept scaled to fit the size: the card's, or a larger
    // one for a view that scales them further itself. Smaller ones are
    // enlarged to it unless enlarge is false.
    explicit ImageLoader(QObject *parent = nullptr, int keptPictures = kKeptPictures,
                         const QSize &pictureSize = QSize(kWidth, kHeight), bool enlarge = true);
    ~ImageLoader() override;

    // The cached picture of the address, or null. The picture is empty when
    // what came was not a picture.
    const QPixmap *Cached(const QString &url) const;
    // Why the address shows no picture: its download failed (until it is
    // tried again) or what came was not a picture. Empty otherwise.
    QString Failure(const QString &url) const;
    // Starts a download unless the address was asked for already; the item
    // is told when the picture arrives.
    void Request(const QString &url, const QModelIndex &index);

signals:
    void ImageLoaded(const QPixmap &image, const QString &url, const QModelIndex &index);
    void ImageFailed(const QString &url, const QString &reason, const QModelIndex &index);

public slots:
    void DataRecived(QNetworkReply *reply);

private:
    Q_DISABLE_COPY(ImageLoader)

    struct Pending
    {
        QPersistentModelIndex index; // invalid once its model resets or dies
        QString url;
    };

    // "scheme://host:port" of an address: the requests that share a server.
    static QString ServerOf(const QString &url);
    void Start(const Pending &pending);

    QSet<QString> m_requested;
    QHash<QString, QString> m_failed;   // address → why its last download failed
    QHash<QString, QString> m_unusable; // cached addresses whose answer was no picture
    QMap<QNetworkReply *, Pending> m_pending;
    QHash<QString, QPixmap> m_cache;
    QQueue<QString> m_cacheOrder; // oldest first
    const int m_keptPictures;
    const QSize m_pictureSize;
    const bool m_enlarge;
    // Further items that asked for an address while its download was under way.
    QHash<QString, QVector<QPersistentModelIndex>> m_waiting;
    QHash<QString, int> m_running;           // server → its requests under way
    QHash<QString, QQueue<Pending>> m_queued; // server → its requests not yet sent
    QNetworkAccessManager m_manager;
};
