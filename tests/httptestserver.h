#pragma once

#include <QByteArray>
#include <QHash>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// A small HTTP server on 127.0.0.1 for tests: each path answers with a
// prepared response, or with a queue of them of which the last repeats, and
// counts the requests it got; other paths answer 404. It runs in the thread
// that created it, so a test that waits in a nested event loop (a download)
// is served meanwhile.
class HttpTestServer : public QTcpServer
{
public:
    struct Response
    {
        int status = 200;
        QByteArray reason = "OK";
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        int sendBytes = -1;         // send only this much of the body, then close
        bool hang = false;          // send the headers and part of the body, then wait forever
        bool noContentLength = false;
    };

    explicit HttpTestServer(QObject *parent = nullptr) : QTcpServer(parent)
    {
        connect(this, &QTcpServer::newConnection, this, &HttpTestServer::Accept);
        listen(QHostAddress::LocalHost, 0);
    }

    static Response Ok(const QByteArray &body, const QByteArray &contentType = QByteArray())
    {
        Response response;
        response.body = body;
        if (!contentType.isEmpty())
            response.headers.append(qMakePair(QByteArray("Content-Type"), contentType));
        return response;
    }
    static Response Status(int status, const QByteArray &reason, const QByteArray &body = QByteArray())
    {
        Response response;
        response.status = status;
        response.reason = reason;
        response.body = body;
        return response;
    }
    static Response Redirect(const QByteArray &to)
    {
        Response response = Status(302, "Found");
        response.headers.append(qMakePair(QByteArray("Location"), to));
        return response;
    }

    QString Url(const QString &path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path);
    }

    void Set(const QByteArray &path, const Response &response) { m_responses.insert(path, {response}); }
    void Set(const QByteArray &path, const QList<Response> &responses) { m_responses.insert(path, responses); }
    int Hits(const QByteArray &path) const { return m_hits.value(path); }
    int TotalHits() const
    {
        int total = 0;
        for (const int hits : m_hits)
            total += hits;
        return total;
    }

private:
    void Accept()
    {
        while (QTcpSocket *socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket]() { Serve(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void Serve(QTcpSocket *socket)
    {
        QByteArray &request = m_pending[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const QByteArray path = request.split(' ').value(1);
        m_pending.remove(socket);
        ++m_hits[path];
        QList<Response> &queue = m_responses[path];
        const Response response = queue.isEmpty() ? NotFound() : queue.size() > 1 ? queue.takeFirst() : queue.first();
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + response.reason + "\r\n";
        for (const auto &header : response.headers)
            head += header.first + ": " + header.second + "\r\n";
        if (!response.noContentLength)
            head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
        head += "Connection: close\r\n\r\n";
        socket->write(head);
        if (response.hang) {
            socket->write(response.body.left(response.body.size() / 2));
            return;
        }
        socket->write(response.sendBytes >= 0 ? response.body.left(response.sendBytes) : response.body);
        socket->disconnectFromHost();
    }

    static Response NotFound()
    {
        Response response;
        response.status = 404;
        response.reason = "Not Found";
        response.body = "no such feed";
        return response;
    }

    QHash<QByteArray, QList<Response>> m_responses;
    QHash<QByteArray, int> m_hits;
    QHash<QTcpSocket *, QByteArray> m_pending;
};
