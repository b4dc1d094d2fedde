#pragma once

#include <QCoreApplication>

#include <functional>

#include <QString>
#include <QUrl>

// Fetches one file over FTP with libcurl, handing its bytes to a sink as
// they arrive: the way feeds come over FTP whatever Qt the program is built
// with (Qt 6's network layer has no FTP). Blocks the calling thread; every
// wait is bounded (the limits of ReplyWatchdog::Defaults(): no answer, no
// progress) and a cancel answered by the sink stops it at once. The password
// stays out of every text.
class FtpFetch final
{
    Q_DECLARE_TR_FUNCTIONS(FtpFetch)

public:
    // Takes the next bytes; false stops the fetch (a cancel, a write that
    // failed).
    using Sink = std::function<bool(const char *data, qint64 size)>;
    // Called about five times a second while the fetch runs, and answers
    // false to cancel it.
    using Tick = std::function<bool(qint64 received, qint64 total)>;

    enum Result { Done, Stopped, Failed };

    // On a failure, *error says why and *networkError is the
    // QNetworkReply::NetworkError that comes nearest, so that a failure
    // over FTP is told as one over HTTP is.
    static Result Run(const QUrl &url, const Sink &sink, const Tick &tick, QString *error, int *networkError);
};
