#include "keyring.h"

#include <functional>

#include <QEventLoop>
#include <QTimer>

#ifdef FIDMORA_HAS_KEYCHAIN
#include <qt5keychain/keychain.h>
#endif

namespace {

const QString kService = QStringLiteral("Fidmora");

#ifdef FIDMORA_HAS_KEYCHAIN
// Runs a job to its end or to the time limit. A job that is still running
// then deletes itself once it ends: nothing here waits for it any more.
Keyring::Result Run(QKeychain::Job *job, QString *error, const std::function<void()> &onDone = {})
{
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    QEventLoop loop;
    bool finished = false;
    Keyring::Result result = Keyring::Unavailable;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job *done) {
        finished = true;
        switch (done->error()) {
        case QKeychain::NoError:
            result = Keyring::Done;
            if (onDone)
                onDone();
            break;
        case QKeychain::EntryNotFound:
            result = Keyring::NotFound;
            break;
        default:
            result = Keyring::Unavailable;
            if (error)
                *error = done->errorString();
            break;
        }
        loop.quit();
    });
    QTimer::singleShot(Keyring::kTimeoutMs, &loop, &QEventLoop::quit);
    job->start();
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!finished) {
        QObject::disconnect(job, nullptr, &loop, nullptr);
        if (error)
            *error = Keyring::tr("хранилище паролей не ответило за %1 с").arg(Keyring::kTimeoutMs / 1000);
    }
    return result;
}
#else
Keyring::Result NotBuiltIn(QString *error)
{
    if (error)
        *error = Keyring::tr("программа собрана без хранилища паролей системы");
    return Keyring::Unavailable;
}
#endif

} // namespace

QString Keyring::FtpEntry(const QString &login, const QString &host, int port)
{
    return QStringLiteral("ftp:%1@%2:%3").arg(login, host.toLower()).arg(port);
}

QString Keyring::SiteEntry(const QString &login, const QString &host)
{
    return QStringLiteral("site:%1@%2").arg(login, host);
}

Keyring::Result Keyring::Store(const QString &entry, const QString &password, QString *error)
{
#ifdef FIDMORA_HAS_KEYCHAIN
    auto *job = new QKeychain::WritePasswordJob(kService);
    job->setKey(entry);
    job->setTextData(password);
    return Run(job, error);
#else
    Q_UNUSED(entry)
    Q_UNUSED(password)
    return NotBuiltIn(error);
#endif
}

Keyring::Result Keyring::Read(const QString &entry, QString *password, QString *error)
{
#ifdef FIDMORA_HAS_KEYCHAIN
    auto *job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(entry);
    return Run(job, error, [job, password] { *password = job->textData(); });
#else
    Q_UNUSED(entry)
    Q_UNUSED(password)
    return NotBuiltIn(error);
#endif
}

Keyring::Result Keyring::Remove(const QString &entry, QString *error)
{
#ifdef FIDMORA_HAS_KEYCHAIN
    auto *job = new QKeychain::DeletePasswordJob(kService);
    job->setKey(entry);
    return Run(job, error);
#else
    Q_UNUSED(entry)
    return NotBuiltIn(error);
#endif
}
