#pragma once

#include <QtGlobal>
#ifdef Q_OS_UNIX
#include <pwd.h>
#include <unistd.h>
#endif

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUrl>

// Real servers for the upload tests, each started on 127.0.0.1 by the test
// with files of its own in the test's temporary folder and stopped when the
// object goes: pyftpdlib for FTP with a user and password, vsftpd in the
// foreground for FTPS, OpenSSH's sshd for SFTP. Start() returns an empty
// string when the server runs, else why it does not; Missing() tells when
// the reason is a program that is not installed (the test then skips).

namespace FtpTestServers {

const int kStartTimeout = 30000;

inline QString FindProgram(const QString &name)
{
    const QString inSystem = QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"),
                                                                   QStringLiteral("/usr/bin")});
    return inSystem.isEmpty() ? QStandardPaths::findExecutable(name) : inSystem;
}

// A port nobody listens on right now.
inline quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

inline bool WaitForPort(quint16 port, QProcess &process)
{
    if (!process.waitForStarted(kStartTimeout))
        return false;
    for (int waited = 0; waited < kStartTimeout; waited += 100) {
        if (process.state() != QProcess::Running)
            return false;
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (socket.waitForConnected(1000))
            return true;
        QThread::msleep(100);
    }
    return false;
}

inline bool RunTool(const QString &program, const QStringList &arguments)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, arguments);
    return tool.waitForFinished(kStartTimeout) && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
}

// The user the tests run as, who logs in to sshd.
inline QString UserName()
{
#ifdef Q_OS_UNIX
    const passwd *entry = getpwuid(getuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString::fromLocal8Bit(qgetenv("USER"));
#else
    return QString::fromLocal8Bit(qgetenv("USERNAME"));
#endif
}

class Server
{
public:
    virtual ~Server()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(kStartTimeout);
        }
    }

    quint16 Port() const { return m_port; }
    bool Missing() const { return m_missing; }

protected:
    QString Fail(const QString &why, bool missing = false)
    {
        m_missing = missing;
        return why.isEmpty() ? QStringLiteral("the server did not start") : why;
    }
    QString Output() { return QString::fromLocal8Bit(m_process.readAll()); }

    QProcess m_process;
    quint16 m_port = 0;
    bool m_missing = false;
};

// pyftpdlib with one user whose home is root.
class PyFtpd final : public Server
{
public:
    QString Start(const QString &root, const QString &user, const QString &password,
                  const QStringList &extra = QStringList())
    {
        QString python;
        for (const QString &candidate : {FindProgram(QStringLiteral("python3")),
                                         QStandardPaths::findExecutable(QStringLiteral("python3"))}) {
            if (!candidate.isEmpty()
                    && RunTool(candidate, {QStringLiteral("-c"), QStringLiteral("import pyftpdlib")})) {
                python = candidate;
                break;
            }
        }
        if (python.isEmpty())
            return Fail(QStringLiteral("pyftpdlib is not installed (Debian: python3-pyftpdlib)"), true);
        m_process.start(python, QStringList{QStringLiteral(FTP_SERVER_SCRIPT), QStringLiteral("--root"), root,
                                            QStringLiteral("--user"), user, QStringLiteral("--password"), password}
                                + extra);
        if (!m_process.waitForReadyRead(kStartTimeout))
            return Fail(QString::fromLocal8Bit(m_process.readAllStandardError()));
        m_port = quint16(m_process.readLine().trimmed().toUInt());
        return m_port ? QString() : Fail(QString::fromLocal8Bit(m_process.readAllStandardError()));
    }
};

// vsftpd with TLS, anonymous uploads and renames into root's "pub" folder,
// and a certificate of its own that nobody vouches for; extra lines of
// configuration restrict it further ("cmds_denied=RNFR,RNTO").
class Vsftpd final : public Server
{
public:
    QString Start(const QString &dir, const QStringList &extraConfig = QStringList())
    {
        const QString vsftpd = FindProgram(QStringLiteral("vsftpd"));
        const QString openssl = FindProgram(QStringLiteral("openssl"));
        if (vsftpd.isEmpty() || openssl.isEmpty())
            return Fail(QStringLiteral("vsftpd or openssl is not installed (Debian: vsftpd, openssl)"), true);
        const QDir base(dir);
        base.mkpath(QStringLiteral("root/pub"));
        base.mkpath(QStringLiteral("empty"));
        // Anonymous uploads are done by vsftpd's own user when it runs as root.
        QFile::setPermissions(base.filePath(QStringLiteral("root/pub")), QFileDevice::Permissions(0x7777));
        if (!RunTool(openssl, {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                               QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                               QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=localhost"),
                               QStringLiteral("-keyout"), base.filePath(QStringLiteral("key.pem")),
                               QStringLiteral("-out"), base.filePath(QStringLiteral("cert.pem"))}))
            return Fail(QStringLiteral("openssl could not make a certificate"));
        m_port = FreePort();
        const QString config = QStringLiteral(
                "listen=YES\nlisten_ipv6=NO\nbackground=NO\nlisten_address=127.0.0.1\nlisten_port=%1\n"
                "anonymous_enable=YES\nno_anon_password=YES\nlocal_enable=NO\nwrite_enable=YES\n"
                "anon_root=%2\nanon_upload_enable=YES\nanon_mkdir_write_enable=YES\n"
                "anon_other_write_enable=YES\nanon_umask=022\nrun_as_launching_user=YES\n"
                "ssl_enable=YES\nallow_anon_ssl=YES\nforce_anon_logins_ssl=YES\nforce_anon_data_ssl=YES\n"
                "require_ssl_reuse=NO\nrsa_cert_file=%3\nrsa_private_key_file=%4\nseccomp_sandbox=NO\n"
                "secure_chroot_dir=%5\npasv_enable=YES\npasv_address=127.0.0.1\nxferlog_enable=NO\n")
                .arg(m_port)
                .arg(base.filePath(QStringLiteral("root")), base.filePath(QStringLiteral("cert.pem")),
                     base.filePath(QStringLiteral("key.pem")), base.filePath(QStringLiteral("empty")))
                + extraConfig.join(QLatin1Char('\n')) + QLatin1Char('\n');
        const QString configPath = base.filePath(QStringLiteral("vsftpd.conf"));
        QFile file(configPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0)
            return Fail(QStringLiteral("cannot write ") + configPath);
        file.close();
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(vsftpd, {configPath});
        return WaitForPort(m_port, m_process) ? QString() : Fail(Output());
    }
};

// sshd with a host key and one authorized key of its own, for the user who
// runs the test; SFTP only, without the SFTP requests named in denied
// ("rename", "remove": sftp-server -Q requests lists them).
class Sshd final : public Server
{
public:
    QString Start(const QString &dir, const QStringList &denied = QStringList())
    {
        const QString sshd = FindProgram(QStringLiteral("sshd"));
        const QString keygen = FindProgram(QStringLiteral("ssh-keygen"));
        if (sshd.isEmpty() || keygen.isEmpty())
            return Fail(QStringLiteral("sshd or ssh-keygen is not installed (Debian: openssh-server, "
                                       "openssh-client)"),
                        true);
        const QDir base(dir);
        for (const QString &key : {QStringLiteral("host_key"), QStringLiteral("user_key")}) {
            if (!RunTool(keygen, {QStringLiteral("-q"), QStringLiteral("-t"), QStringLiteral("ed25519"),
                                  QStringLiteral("-N"), QString(), QStringLiteral("-f"), base.filePath(key)}))
                return Fail(QStringLiteral("ssh-keygen failed"));
        }
        QFile::copy(base.filePath(QStringLiteral("user_key.pub")), base.filePath(QStringLiteral("authorized_keys")));
        // Run as root, sshd wants the folder its service would have made.
#ifdef Q_OS_UNIX
        if (getuid() == 0)
#endif
            QDir().mkpath(QStringLiteral("/run/sshd"));
        m_port = FreePort();
        const QString config = QStringLiteral(
                "Port %1\nListenAddress 127.0.0.1\nHostKey %2\nAuthorizedKeysFile %3\nPidFile %4\n"
                "UsePAM no\nStrictModes no\nPasswordAuthentication no\nKbdInteractiveAuthentication no\n"
                "PubkeyAuthentication yes\nPermitRootLogin prohibit-password\nSubsystem sftp internal-sftp%5\n")
                .arg(m_port)
                .arg(base.filePath(QStringLiteral("host_key")), base.filePath(QStringLiteral("authorized_keys")),
                     base.filePath(QStringLiteral("sshd.pid")),
                     denied.isEmpty() ? QString() : QLatin1String(" -P ") + denied.join(QLatin1Char(',')));
        const QString configPath = base.filePath(QStringLiteral("sshd_config"));
        QFile file(configPath);
        if (!file.open(QIODevice::WriteOnly) || file.write(config.toUtf8()) < 0)
            return Fail(QStringLiteral("cannot write ") + configPath);
        file.close();
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(sshd, {QStringLiteral("-D"), QStringLiteral("-e"), QStringLiteral("-f"), configPath});
        return WaitForPort(m_port, m_process) ? QString() : Fail(Output());
    }

    QString UserKey(const QString &dir) const { return QDir(dir).filePath(QStringLiteral("user_key")); }
    QString HostPublicKey(const QString &dir) const
    {
        QFile file(QDir(dir).filePath(QStringLiteral("host_key.pub")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
    }
};

} // namespace FtpTestServers
