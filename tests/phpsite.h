#pragma once

#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/types.h>
#endif

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

// The site's exchange script served by PHP's built-in server on 127.0.0.1,
// over a fresh SQLite database: cron.php and the test's misbehaving wrapper
// (tamper.php) are copied into a temporary web root with a config.php made
// for the test. Several workers, so that a sleeping request does not hold
// up the others.
// Starts the site, or skips the test where PHP cannot be started: a Windows
// program under Wine cannot start the Linux side's PHP (the Linux suite runs
// these tests).
#ifdef Q_OS_WIN
#define START_PHP_SITE(site) QSKIP("PHP's built-in server runs on the Linux side only")
#else
#define START_PHP_SITE(site) QVERIFY((site).Start())
#endif

class PhpSite
{
public:
    static constexpr const char *kLogin = "admin";
    // Quotes, a semicolon and a non-ASCII letter: sent as they are.
    static constexpr const char *kPassword = "pa\"ss;wörd";

    explicit PhpSite(int chunkSize = 50,
                     const QStringList &columns = {QStringLiteral("id"), QStringLiteral("name"),
                                                   QStringLiteral("url"), QStringLiteral("price"),
                                                   QStringLiteral("categoryId"), QStringLiteral("description"),
                                                   QStringLiteral("advcampaign_name"), QStringLiteral("idTpl"),
                                                   QStringLiteral("status")})
        : m_chunkSize(chunkSize)
        , m_columns(columns)
    {
    }

    ~PhpSite()
    {
        if (m_php.state() == QProcess::NotRunning)
            return;
#ifdef Q_OS_UNIX
        // The workers outlive their parent's end: each is ended by its id.
        const qint64 parent = m_php.processId();
        const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &entry : entries) {
            bool isPid = false;
            const qint64 pid = entry.toLongLong(&isPid);
            QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
            if (!isPid || !stat.open(QIODevice::ReadOnly))
                continue;
            // "pid (name) state ppid ...": the name may hold spaces.
            const QList<QByteArray> fields = stat.readAll().split(')').value(1).trimmed().split(' ');
            if (fields.value(1).toLongLong() == parent)
                ::kill(pid_t(pid), SIGKILL);
        }
#endif
        m_php.kill();
        m_php.waitForFinished(10000);
    }

    // False when PHP cannot be started or does not listen within 20 s.
    bool Start()
    {
        const QDir root(m_dir.path());
        root.mkpath(QStringLiteral("www"));
        root.mkpath(QStringLiteral("sessions"));
        const QString www = root.filePath(QStringLiteral("www"));
        if (!QFile::copy(QStringLiteral(SERVER_DIR "/cron.php"), www + QStringLiteral("/cron.php"))
                || !QFile::copy(QStringLiteral(TEST_DATA_DIR "/modx/tamper.php"), www + QStringLiteral("/tamper.php")))
            return false;
        QStringList quoted;
        for (const QString &column : m_columns)
            quoted << QLatin1Char('\'') + column + QLatin1Char('\'');
        QFile config(www + QStringLiteral("/config.php"));
        if (!config.open(QIODevice::WriteOnly))
            return false;
        config.write(QStringLiteral("<?php return ['login' => 'admin', "
                                    "'passwordHash' => '$2y$04$oW5uM3Wm1yZJavHS4mKCYuMmqTsmTMkDpDPhPZ1SztvALLHfL/3Uq', "
                                    "'dsn' => 'sqlite:%1', 'table' => 'goods', 'columns' => [%2], "
                                    "'chunkSize' => %3, 'sessionDir' => '%4'];\n")
                             .arg(root.filePath(QStringLiteral("goods.sqlite")), quoted.join(QLatin1Char(',')))
                             .arg(m_chunkSize)
                             .arg(root.filePath(QStringLiteral("sessions")))
                             .toUtf8());
        config.close();

        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0))
            return false;
        m_port = probe.serverPort();
        probe.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("PHP_CLI_SERVER_WORKERS"), QStringLiteral("4"));
        m_php.setProcessEnvironment(environment);
        m_php.setProcessChannelMode(QProcess::MergedChannels);
        m_php.setStandardOutputFile(QProcess::nullDevice());
        m_php.start(QStringLiteral("php"), {QStringLiteral("-d"), QStringLiteral("post_max_size=64M"),
                                            QStringLiteral("-S"), QStringLiteral("127.0.0.1:%1").arg(m_port),
                                            QStringLiteral("-t"), www});
        if (!m_php.waitForStarted(20000))
            return false;
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 20000) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, m_port);
            if (socket.waitForConnected(1000))
                return true;
            if (m_php.state() == QProcess::NotRunning)
                return false;
            QThread::msleep(50);
        }
        return false;
    }

    // The host as a user types it: no scheme, the script found by its name.
    QString Host() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    // The misbehaving wrapper, with its query.
    QString Tampered(const QString &query) const
    {
        return QStringLiteral("http://127.0.0.1:%1/tamper.php?%2").arg(m_port).arg(query);
    }
    QString Folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QProcess m_php;
    quint16 m_port = 0;
    int m_chunkSize;
    QStringList m_columns;
};
