#pragma once

#include <memory>

#include <QByteArray>
#include <QHash>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

// A small HTTP server on 127.0.0.1 for tests: each path answers with a
// prepared response, or with a queue of them of which the last repeats, and
// counts the requests it got; other paths answer 404. A response may also
// misbehave: answer nothing, stop halfway, or come a few bytes at a time. It runs in the thread
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
        bool silent = false;        // read the request and answer nothing, ever
        int dripBytes = 0;          // send the body this much at a time,
        int dripMs = 0;             // one piece every so many milliseconds
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
    static Response Redirect(const QByteArray &to, int status = 302)
    {
        Response response = Status(status, status == 301 ? "Moved Permanently" : "Found");
        response.headers.append(qMakePair(QByteArray("Location"), to));
        return response;
    }
    static Response Silent()
    {
        Response response;
        response.silent = true;
        return response;
    }
    static Response Drip(const QByteArray &body, int bytes, int ms)
    {
        Response response = Ok(body);
        response.dripBytes = bytes;
        response.dripMs = ms;
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
        if (response.silent)
            return;
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
        if (response.dripBytes > 0) {
            // The timer is the socket's child: it goes when the client hangs up.
            auto *timer = new QTimer(socket);
            auto sent = std::make_shared<int>(0);
            connect(timer, &QTimer::timeout, socket, [socket, timer, sent, response]() {
                socket->write(response.body.mid(*sent, response.dripBytes));
                *sent += response.dripBytes;
                if (*sent >= response.body.size()) {
                    timer->stop();
                    socket->disconnectFromHost();
                }
            });
            timer->start(response.dripMs);
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
