#pragma once

#include <QCoreApplication>

#include <QString>
#include <QUrl>

class IProgress;

// The client side of the relay service that authorises the user at Admitad
// and hands back their offers as a project document. The relay's address
// belongs to the machine, not to a project: it is kept in the settings under
// "admitad/relay", and the environment variable FIDMORA_ADMITAD_RELAY, when
// set, takes precedence. There is no built-in relay.
//
// The static helpers may be called from any thread; RequestAuthorisation()
// waits for the relay in a local event loop on the calling thread, within
// the limits of a ReplyWatchdog.
class AdmitadRelay final
{
    Q_DECLARE_TR_FUNCTIONS(AdmitadRelay)

public:
    enum class Answer { Address, Empty, Unavailable, Cancelled };

    static const char kEnvironmentVariable[];

    // The address in force: the environment's, else the stored one; empty
    // when neither is set.
    static QString Address();
    static bool AddressFromEnvironment();
    static QString StoredAddress();
    static void SetStoredAddress(const QString &address);

    // The address the user typed as a relay base address ("host:port" gets
    // "http://"); an invalid URL when it is not an http(s) address of a host.
    static QUrl NormalizedAddress(const QString &text);

    // The value of the "state" parameter of an authorisation address, with
    // its percent-encoding undone; a null string when there is none, when
    // it is empty or when the parameter holds a second "=".
    static QString StateOf(const QString &authorisationUrl);

    explicit AdmitadRelay(const QString &address);

    bool IsValid() const { return m_base.isValid(); }
    QUrl StateUrl() const;
    // The polling address for a state; the state is percent-encoded, so that
    // "&", "#" or "%" in it reach the relay as part of the value.
    QUrl DataUrl(const QString &state) const;

    // Asks the relay for the authorisation address. With Answer::Address the
    // address is in *authorisationUrl; otherwise ErrorText() says why.
    Answer RequestAuthorisation(IProgress *progress, QString *authorisationUrl);
    QString ErrorText() const { return m_error; }

private:
    QUrl Endpoint(const QByteArray &pathAndQuery) const;

    QUrl m_base;
    QString m_error;
};
