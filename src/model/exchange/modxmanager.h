#pragma once

#include <QCoreApplication>

#include <memory>

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>
#include <QVector>

#include "replywatchdog.h"

class IProgress;
class QNetworkAccessManager;

// The connection to a shop site's exchange script ("cron.php"): the endpoint
// derived from the host the user typed, the login, one HTTP client whose
// cookies carry the login from request to request, and the site's
// configuration (its columns, rows per chunk and how many rows it holds).
// Every request is a JSON POST that waits in a local event loop of the
// calling thread; the wait ends at once on a cancel and fails when the site
// does not answer, when the transfer stalls or when the request takes longer
// than the whole-request limit (ReplyWatchdog). An object lives for one
// exchange, on the worker thread that created it, and is used only there.
class ModxManager
{
    Q_DECLARE_TR_FUNCTIONS(ModxManager)

public:
    static const int kDefaultChunkSize = 50;

    // Only derives the endpoint; nothing is sent.
    ModxManager(const QString &host, const QString &login, const QString &password);
    virtual ~ModxManager();

    // Logs in and reads the site's configuration.
    bool Connect(IProgress *progress);
    // Sends one request and waits for its reply. False when no reply came
    // (network error, HTTP error status, time-out or cancel); *reply then
    // holds an object whose "message" says why.
    bool Post(const QJsonDocument &request, QJsonObject *reply, IProgress *progress);
    // Where the replies of chunk requests are reported; not owned.
    void SetProgress(IProgress *progress);
    const QStringList &SiteHeader() const { return siteHeader; }

    QString Url() const { return url; }
    int ChunkSize() const { return chunkSize; }
    qint64 ExistDataSize() const { return existDataSize; }
    bool IsConnected() const { return connected; }
    // Why the last step failed: a plain sentence in the interface's language
    // ("Неверный логин или пароль"), then, after an empty line, the technical
    // account (the address with its password masked, the HTTP status, the
    // site's message). A cancel has the account alone.
    QString ErrorText() const;
    // The two parts of ErrorText(): the sentence (empty for a cancel) and
    // the account, which the log shows.
    QString Sentence() const { return m_sentence; }
    QString Account() const { return m_error; }
    // Milliseconds without an answer or any progress of a request after
    // which it fails (30 s for an answer and 60 s without a byte unless set).
    void SetTimeout(int milliseconds)
    {
        m_limits.answerMs = milliseconds;
        m_limits.stallMs = milliseconds;
    }

    // "shop.example" -> "http://shop.example/cron.php"; a text holding "?"
    // is taken as the whole address.
    static QString EndpointOf(const QString &host);
    // {"action": action, "object": payload}
    static QJsonDocument Request(const QString &action, const QJsonValue &payload);

protected:
    // Post() of a body already encoded as JSON. With raw, the body of a
    // reply that came is handed over as it is, not parsed.
    bool PostBody(const QByteArray &body, QJsonObject *reply, IProgress *progress, QByteArray *raw = nullptr);
    // A reply's body as an object; one with "content" and "message" when
    // the body is not JSON, whose sentence BodySentence() then gives.
    QJsonObject ParseReply(const QByteArray &body);
    // The plain sentence for a reply that came but did not succeed: the
    // site's own kind of refusal, a body that is no reply of the script, a
    // reply of another form, or else the step's own sentence.
    QString RefusalSentence(const QJsonObject &reply, const QString &otherwise) const;
    // The technical account of such a reply: its message and the start of
    // a body that is not JSON, without the password.
    QString ReplyAccount(const QJsonObject &reply) const;
    // What a body that is not a JSON object is: a PHP error, a web page,
    // nothing, a reply cut short or something unreadable.
    static QString BodySentence(const QByteArray &body, const QJsonParseError &error);
    // The sentence of the site script's own kind of refusal ("database",
    // "credentials"); empty for another.
    static QString KindSentence(const QString &kind);
    // The sentence of an error status the script named no kind for.
    static QString StatusSentence(int status, const QByteArray &body);
    // The last wait was ended by a cancel.
    bool Cancelled() const { return m_cancelled; }

    QString host; // as typed, its password masked: for messages
    QString url;
    QString login;
    QString password;
    std::unique_ptr<QNetworkAccessManager> network;
    bool connected = false;
    IProgress *progress = nullptr;
    QStringList siteHeader;
    int chunkSize = kDefaultChunkSize;
    qint64 existDataSize = 0;
    QVector<QStringList> rowBuffer;

    QString m_error;    // the account
    QString m_sentence; // the plain sentence

private:
    Q_DISABLE_COPY(ModxManager)

    bool ReadConfiguration(const QJsonObject &configuration);

    // The password masked in a text from the site or the network.
    QString WithoutPassword(QString text) const;

    ReplyWatchdog::Limits m_limits = ReplyWatchdog::Defaults();
    bool m_cancelled = false;
    QString m_bodySentence; // of the last body that was not JSON
};

// Shows a site's reply in the progress log: "Ответ сервера: " with its
// message, and the whole reply when it failed. Answers the last report's
// answer (false once the user cancelled); true without a progress object.
bool ReportReply(const QJsonObject &reply, IProgress *progress, int current, int max);
