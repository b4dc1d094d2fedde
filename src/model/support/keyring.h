#pragma once

#include <QCoreApplication>
#include <QString>

// The system's store of secrets: the Secret Service on Linux, the Credential
// Manager on Windows, the Keychain on macOS (through QtKeychain). A project
// that remembers a password keeps only the name of its entry here, so that
// the project file itself holds no secret; the window and fidmora-cli find
// the same entry by the same name. Every call waits for the store at most
// kTimeoutMs and runs a local event loop meanwhile, on the thread that owns
// the catalogue; a store that does not answer counts as unavailable.
class Keyring
{
    Q_DECLARE_TR_FUNCTIONS(Keyring)

public:
    enum Result { Done, NotFound, Unavailable };

    static const int kTimeoutMs = 15000;

    // The names of the entries: one per login on a server, whatever the
    // protocol, so that the window and the command line meet on it.
    static QString FtpEntry(const QString &login, const QString &host, int port);
    static QString SiteEntry(const QString &login, const QString &host);

    // Unavailable where the store does not answer (or the program was built
    // without it); error then says why.
    static Result Store(const QString &entry, const QString &password, QString *error = nullptr);
    static Result Read(const QString &entry, QString *password, QString *error = nullptr);
    static Result Remove(const QString &entry, QString *error = nullptr);
};
