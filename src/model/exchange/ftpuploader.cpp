#include "ftpuploader.h"

#include <mutex>

#include <curl/curl.h>

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include "iprogress.h"
#include "shownaddress.h"

namespace {

// Reports during a transfer, and so the checks for a cancel, come at most
// this often; libcurl calls back far more often.
const qint64 kReportInterval = 200;
// The short requests around an upload (renames, removals, a file's time)
// must not keep the user waiting for long on a server that went away.
const long kCommandTimeout = 30;
// Temporary files of uploads older than this were left by a run that died.
const qint64 kStaleAge = 24 * 60 * 60;
// A folder listing beyond this is not searched for stale files.
const int kMaxListing = 16 << 20;

// The temporary names beside a target: the file while it goes up, once it
// arrived whole, and the old file moved aside for it.
const char kUploading[] = "part";
const char kArrived[] = "new";
const char kReplaced[] = "old";
// Names this long leave room for the rest of a temporary name within the
// 255 bytes servers allow.
const int kMaxNameInTemporary = 200;

void InitCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, []() { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CURL *Handle(void *curl)
{
    return static_cast<CURL *>(curl);
}

bool IsSftp(const QUrl &url)
{
    return url.scheme().compare(QLatin1String("sftp"), Qt::CaseInsensitive) == 0;
}

// The folder part of a path, with its trailing "/".
QString FolderOf(const QString &path)
{
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

curl_slist *Append(curl_slist *list, const QByteArray &command)
{
    return curl_slist_append(list, command.constData());
}

// ".NAME.fidmora-PID.KIND": what an upload of NAME by this process calls
// its files, and nothing but this program's uploads makes such names. A
// long NAME is cut, with a digest of the whole that keeps names apart.
QString TemporaryName(const QString &name, const char *kind)
{
    QByteArray bytes = name.toUtf8();
    if (bytes.size() > kMaxNameInTemporary) {
        const QByteArray digest = QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(8);
        int cut = kMaxNameInTemporary - digest.size() - 1;
        while (cut > 0 && (uchar(bytes.at(cut)) & 0xc0) == 0x80)
            --cut;
        bytes = bytes.left(cut) + '~' + digest;
    }
    return QLatin1Char('.') + QString::fromUtf8(bytes) + QLatin1String(".fidmora-")
            + QString::number(QCoreApplication::applicationPid()) + QLatin1Char('.') + QLatin1String(kind);
}

// Matches the names TemporaryName makes, of any process; the first capture
// is the (perhaps cut) target name, the third the kind.
const QRegularExpression &TemporaryPattern()
{
    static const QRegularExpression pattern(QStringLiteral("^\\.(.+)\\.fidmora-([0-9]+)\\.(part|new|old)$"));
    return pattern;
}

// The names of the plain files in a folder listing: bare names (SFTP), or
// the lines of FTP's LIST, "-rw-r--r-- 1 owner group size month day time
// name" as most servers write them or "date time size name" as Windows
// servers do. Folders, links and lines of other forms give no name.
QStringList FileNames(const QByteArray &listing, bool bare)
{
    QStringList names;
    for (QByteArray line : listing.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        int fields = 0;
        if (!bare) {
            if (line.startsWith('-'))
                fields = 8;
            else if (line.at(0) >= '0' && line.at(0) <= '9' && !line.contains("<DIR>"))
                fields = 3;
            else
                continue;
        }
        int at = 0;
        for (int field = 0; field < fields && at < line.size(); ++field) {
            while (at < line.size() && line.at(at) != ' ' && line.at(at) != '\t')
                ++at;
            while (at < line.size() && (line.at(at) == ' ' || line.at(at) == '\t'))
                ++at;
        }
        if (at >= line.size())
            continue;
        const QString name = QString::fromUtf8(line.constData() + at, line.size() - at);
        // A name that is not UTF-8 cannot be one this program made.
        if (name.toUtf8() == line.mid(at))
            names.append(name);
    }
    return names;
}

bool HasControlCharacters(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

} // namespace

struct FtpUploader::Callbacks
{
    static size_t Read(char *buffer, size_t size, size_t count, void *self)
    {
        auto *uploader = static_cast<FtpUploader *>(self);
        const qint64 read = uploader->m_file->read(buffer, qint64(size * count));
        if (read < 0) {
            uploader->m_readFailed = true;
            return CURL_READFUNC_ABORT;
        }
        return size_t(read);
    }

    // libcurl hands the FTP server's answers to the header callback; the
    // last one goes into error texts.
    static size_t ServerLine(char *buffer, size_t size, size_t count, void *self)
    {
        auto *uploader = static_cast<FtpUploader *>(self);
        const QByteArray line = QByteArray(buffer, int(size * count)).trimmed();
        if (!line.isEmpty())
            uploader->m_serverAnswer = line;
        return size * count;
    }

    static size_t Listing(char *buffer, size_t size, size_t count, void *self)
    {
        auto *uploader = static_cast<FtpUploader *>(self);
        if (uploader->m_listing.size() + qint64(size * count) > kMaxListing)
            return 0;
        uploader->m_listing.append(buffer, int(size * count));
        return size * count;
    }

    // What libcurl makes up for a request without a body (a file's time
    // and size, as HTTP headers) goes nowhere, not to standard output.
    static size_t Discard(char *, size_t size, size_t count, void *) { return size * count; }

    static int Progress(void *self, curl_off_t, curl_off_t, curl_off_t, curl_off_t upNow)
    {
        return static_cast<FtpUploader *>(self)->Progressed(qint64(upNow)) ? 0 : 1;
    }

    // Host keys of SFTP servers: a known host must show its known key; a
    // host seen for the first time is trusted and remembered, as ssh's
    // "accept-new" does.
    static int HostKey(CURL *, const curl_khkey *, const curl_khkey *, enum curl_khmatch match, void *)
    {
        switch (match) {
        case CURLKHMATCH_OK:
            return CURLKHSTAT_FINE;
        case CURLKHMATCH_MISSING:
            return CURLKHSTAT_FINE_ADD_TO_FILE;
        default:
            return CURLKHSTAT_REJECT;
        }
    }
};

FtpUploader::FtpUploader(const Options &options, IProgress *progress) : m_options(options), m_progress(progress)
{
    InitCurlOnce();
    m_curl = curl_easy_init();
    m_errorBuffer[0] = '\0';
}

FtpUploader::~FtpUploader()
{
    curl_easy_cleanup(Handle(m_curl));
    curl_slist_free_all(static_cast<curl_slist *>(m_postQuote));
}

QString FtpUploader::Displayed(const QUrl &url)
{
    return ShownAddress::Of(url);
}

bool FtpUploader::IsSupported(const QUrl &url)
{
    return url.isValid() && !url.host().isEmpty() && DefaultPort(url.scheme().toLower()) > 0;
}

int FtpUploader::DefaultPort(const QString &scheme)
{
    if (scheme == QLatin1String("ftp") || scheme == QLatin1String("ftps"))
        return 21;
    if (scheme == QLatin1String("sftp"))
        return 22;
    return -1;
}

void FtpUploader::Prepare(const QUrl &url, bool watchProgress)
{
    CURL *curl = Handle(m_curl);
    curl_easy_reset(curl);
    curl_slist_free_all(static_cast<curl_slist *>(m_postQuote));
    m_postQuote = nullptr;
    m_errorBuffer[0] = '\0';
    m_serverAnswer.clear();
    m_readFailed = false;

    const QString scheme = url.scheme().toLower();
    const bool sftp = scheme == QLatin1String("sftp");
    // libcurl's own "ftps" is TLS from the first byte on port 990; hosting
    // providers mean FTP on port 21 that turns to TLS with AUTH TLS.
    QUrl address = url;
    address.setUserInfo(QString());
    address.setScheme(sftp ? QStringLiteral("sftp") : QStringLiteral("ftp"));
    address.setPort(url.port(DefaultPort(scheme)));
    m_url = address.toEncoded();
    // The credentials go in apart from the address, so that libcurl's
    // messages, which may quote the address, never carry them.
    m_user = url.userName(QUrl::FullyDecoded).toUtf8();
    m_password = url.password(QUrl::FullyDecoded).toUtf8();

    curl_easy_setopt(curl, CURLOPT_URL, m_url.constData());
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "ftp,sftp");
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, m_errorBuffer);
    if (!m_user.isEmpty())
        curl_easy_setopt(curl, CURLOPT_USERNAME, m_user.constData());
    if (!m_password.isEmpty() || !m_user.isEmpty())
        curl_easy_setopt(curl, CURLOPT_PASSWORD, m_password.constData());
    if (m_options.useNetrc)
        curl_easy_setopt(curl, CURLOPT_NETRC, long(CURL_NETRC_OPTIONAL));

    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, long(kConnectTimeout));
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, long(kStallTimeout));
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, long(kStallTimeout));
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Callbacks::ServerLine);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Callbacks::Discard);

    if (scheme == QLatin1String("ftps")) {
        curl_easy_setopt(curl, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
        // With TLS 1.3 the server's session tickets arrive unread on the
        // data connection of an upload; closing it then resets it, and
        // servers such as vsftpd lose the end of the file (426). TLS 1.2
        // has no such tickets.
        curl_easy_setopt(curl, CURLOPT_SSLVERSION, long(CURL_SSLVERSION_TLSv1_2 | CURL_SSLVERSION_MAX_TLSv1_2));
    }
    if (m_options.insecure) {
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 0L);
        curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    }
    if (sftp) {
        if (!m_options.keyFile.isEmpty()) {
            m_keyFile = QFile::encodeName(m_options.keyFile);
            curl_easy_setopt(curl, CURLOPT_SSH_PRIVATE_KEYFILE, m_keyFile.constData());
            // Empty: the public half is derived from the private key.
            curl_easy_setopt(curl, CURLOPT_SSH_PUBLIC_KEYFILE, "");
            curl_easy_setopt(curl, CURLOPT_KEYPASSWD, m_password.constData());
        }
        if (!m_options.insecure) {
            m_knownHosts = QFile::encodeName(QDir::homePath() + QLatin1String("/.ssh/known_hosts"));
            curl_easy_setopt(curl, CURLOPT_SSH_KNOWNHOSTS, m_knownHosts.constData());
            curl_easy_setopt(curl, CURLOPT_SSH_KEYFUNCTION, &Callbacks::HostKey);
        }
    }

    if (watchProgress && m_progress) {
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &Callbacks::Progress);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
    }
}

int FtpUploader::Perform()
{
    m_cancelled = false;
    m_sinceReport.invalidate();
    return int(curl_easy_perform(Handle(m_curl)));
}

bool FtpUploader::Progressed(qint64 sent)
{
    if (m_sinceReport.isValid() && m_sinceReport.elapsed() < kReportInterval)
        return true;
    m_sinceReport.start();
    // Kilobytes, so that files beyond 2 GB still fit the bar.
    const int total = int((m_size + 1023) >> 10);
    const int done = qMin(total, int((qMax(sent, m_sentBefore) + 1023) >> 10));
    if (!m_progress->Report(done, total, m_reportText))
        m_cancelled = true;
    return !m_cancelled;
}

QString FtpUploader::ErrorText() const
{
    const QString plain = PlainSentence(m_failureCode);
    if (plain.isEmpty() || m_error.isEmpty() || m_error == plain)
        return m_error;
    return plain + QLatin1String("\n\n") + m_error;
}

QString FtpUploader::PlainSentence(int code) const
{
    const QUrl url(QString::fromUtf8(m_url));
    switch (code) {
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
        return tr("Сервер не отвечает на порту %1").arg(url.port(DefaultPort(url.scheme())));
    case CURLE_COULDNT_RESOLVE_HOST:
        return tr("Сервер %1 не найден").arg(url.host());
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
        return tr("Соединение разорвано во время передачи");
    case CURLE_LOGIN_DENIED:
        return tr("Неверный логин или пароль");
    default:
        return QString();
    }
}

QString FtpUploader::Reason(int code) const
{
    m_failureCode = code;
    const QString detail = QString::fromUtf8(m_errorBuffer[0] ? m_errorBuffer : curl_easy_strerror(CURLcode(code)));
    QString reason;
    switch (code) {
    case CURLE_LOGIN_DENIED:
        reason = tr("неверный логин или пароль");
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
        reason = tr("сервер не найден (%1)").arg(detail);
        break;
    case CURLE_COULDNT_CONNECT:
        reason = tr("нет соединения с сервером (%1)").arg(detail);
        break;
    case CURLE_OPERATION_TIMEDOUT:
        reason = tr("сервер не отвечает (%1)").arg(detail);
        break;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
        if (m_url.startsWith("sftp:")) {
            reason = tr("ключ сервера не совпадает с записанным в ~/.ssh/known_hosts (%1); если ключ сменили "
                        "на сервере, удалите его строку из этого файла")
                             .arg(detail);
        } else {
            reason = tr("сертификат сервера не прошёл проверку (%1); если у сервера самоподписанный "
                        "сертификат, отметьте «Не проверять сертификат»")
                             .arg(detail);
        }
        break;
    default:
        reason = detail;
    }
    // The FTP server's own last answer says most, when it refused something.
    if (!m_serverAnswer.isEmpty() && (m_serverAnswer.startsWith('4') || m_serverAnswer.startsWith('5')))
        reason = tr("%1; ответ сервера: %2").arg(reason, QString::fromUtf8(m_serverAnswer));
    return reason;
}

QByteArray FtpUploader::QuotedPath(const QUrl &folder, const QString &name) const
{
    if (!IsSftp(folder))
        return name.toUtf8(); // FTP commands run inside the folder
    // SFTP commands take whole paths, quoted; "/~/" starts a path in the
    // user's home folder, where relative paths begin.
    QString path = folder.path(QUrl::FullyDecoded);
    if (path.startsWith(QLatin1String("/~/")))
        path = path.mid(3);
    QByteArray whole = path.toUtf8() + name.toUtf8();
    whole.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + whole + '"';
}

bool FtpUploader::Upload(const QString &localPath, const QUrl &target)
{
    m_error.clear();
    m_failureCode = 0;
    m_cancelled = false;
    const QString shown = Displayed(target);
    if (!m_curl) {
        m_error = tr("Не удалось запустить выгрузку на %1").arg(shown);
        return false;
    }
    if (!IsSupported(target)) {
        m_error = tr("Адрес %1 не поддерживается: нужен ftp://, ftps:// или sftp:// с именем сервера").arg(shown);
        return false;
    }
    const QString path = target.path(QUrl::FullyDecoded);
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.isEmpty()) {
        m_error = tr("В адресе %1 нет имени файла").arg(shown);
        return false;
    }
    // A line break in a name would end the server command it is part of.
    if (HasControlCharacters(path)) {
        m_error = tr("Имя %1 содержит управляющие символы").arg(shown);
        return false;
    }

    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = tr("Не удалось прочитать файл %1").arg(QDir::toNativeSeparators(localPath));
        return false;
    }
    m_size = file.size();
    m_sentBefore = 0;
    m_reportText = tr("Выгрузка файла %1").arg(shown);
    if (m_progress && !m_progress->Report(0, int((m_size + 1023) >> 10), m_reportText)) {
        m_error = tr("Выгрузка %1 отменена").arg(shown);
        return false;
    }

    QUrl folder = target;
    folder.setPath(FolderOf(path), QUrl::DecodedMode);
    RemoveStaleTemporaries(folder);
    if (m_cancelled) {
        m_error = tr("Выгрузка %1 отменена").arg(shown);
        return false;
    }

    const QString temporaryName = TemporaryName(name, kUploading);
    QUrl temporary = target;
    temporary.setPath(FolderOf(path) + temporaryName, QUrl::DecodedMode);

    m_file = &file;
    CURL *curl = Handle(m_curl);
    Prepare(temporary, true);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, &Callbacks::Read);
    curl_easy_setopt(curl, CURLOPT_READDATA, this);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(m_size));
    curl_easy_setopt(curl, CURLOPT_FTP_CREATE_MISSING_DIRS, long(CURLFTP_CREATE_DIR_RETRY));
    // The rename runs only after the server confirmed the whole file. Most
    // servers rename over the old file at once; when this one does not,
    // nothing has been touched and PutInPlace takes over.
    curl_slist *rename = nullptr;
    for (const QByteArray &command : RenameCommands(folder, temporaryName, name))
        rename = Append(rename, command);
    m_postQuote = rename;
    curl_easy_setopt(curl, CURLOPT_POSTQUOTE, rename);

    const int code = Perform();
    m_file = nullptr;
    const QString fileName = QFileInfo(localPath).fileName();
    if (code == CURLE_OK) {
        const int total = int((m_size + 1023) >> 10);
        if (m_progress)
            m_progress->Report(total, total, m_reportText);
        return true;
    }
    if (code == CURLE_QUOTE_ERROR) {
        m_sentBefore = m_size;
        return PutInPlace(folder, temporaryName, name, shown, fileName);
    }
    if (m_cancelled || code == CURLE_ABORTED_BY_CALLBACK) {
        m_error = m_readFailed ? tr("Не удалось прочитать файл %1").arg(QDir::toNativeSeparators(localPath))
                               : tr("Выгрузка %1 отменена").arg(shown);
    } else {
        m_error = tr("Не удалось выгрузить файл %1 на %2: %3").arg(fileName, shown, Reason(code));
    }
    RemoveTemporaries(folder, {temporaryName});
    return false;
}

bool FtpUploader::PutInPlace(const QUrl &folder, const QString &temporary, const QString &name,
                             const QString &shown, const QString &fileName)
{
    // Whether this account may rename at all, found out on the new file
    // alone: until this is known, the old file is not touched.
    const QString arrived = TemporaryName(name, kArrived);
    QList<QByteArray> probe{RemoveCommand(folder, arrived, true)};
    probe += RenameCommands(folder, temporary, arrived);
    int code = RunCommands(folder, probe, true);
    if (code != CURLE_OK) {
        if (m_cancelled) {
            m_error = tr("Выгрузка %1 отменена").arg(shown);
        } else {
            // A refused command is the account's rights; anything else is
            // the connection's fault.
            const QString reason = code == CURLE_QUOTE_ERROR
                    ? tr("сервер не разрешает переименование файлов: %1").arg(Reason(code))
                    : Reason(code);
            m_error = tr("Не удалось выгрузить файл %1 на %2: %3").arg(fileName, shown, reason);
        }
        // A cancel may have come after the rename.
        RemoveTemporaries(folder, {temporary, arrived});
        return false;
    }
    // The last moment a cancel leaves everything as it was. From here on
    // the steps are short and bounded, and not cut off midway: a cancel
    // between them could leave the folder without the file.
    const int total = int((m_size + 1023) >> 10);
    if (m_progress && !m_progress->Report(total, total, m_reportText)) {
        m_error = tr("Выгрузка %1 отменена").arg(shown);
        RemoveTemporaries(folder, {arrived});
        return false;
    }

    // Renames work, but not over the old file (OpenSSH's SFTP never
    // renames over one): the old file steps aside first. Where that seemed
    // to fail but the server may have done it (an answer lost on the way),
    // the steps below treat it as moved; a clear refusal means it was not.
    const QString aside = TemporaryName(name, kReplaced);
    const int asideCode = Rename(folder, name, aside, false);
    const bool maybeAside = asideCode != CURLE_QUOTE_ERROR;
    code = Rename(folder, arrived, name, false);
    if (code == CURLE_OK) {
        // Should this fail, a later upload removes the old copy.
        if (maybeAside)
            RemoveTemporaries(folder, {aside});
        if (m_progress)
            m_progress->Report(total, total, m_reportText);
        return true;
    }
    const QString reason = Reason(code);
    m_error = tr("Файл %1 выгружен на %2, но не переименован: %3").arg(fileName, shown, reason);
    if (maybeAside && Rename(folder, aside, name, false) != CURLE_OK && asideCode == CURLE_OK) {
        m_error = tr("Файл %1 выгружен на %2, но не переименован: %3; прежний файл остался на сервере под "
                     "именем %4")
                          .arg(fileName, shown, reason, aside);
    }
    RemoveTemporaries(folder, {arrived});
    return false;
}

int FtpUploader::Rename(const QUrl &folder, const QString &from, const QString &to, bool watched)
{
    return RunCommands(folder, RenameCommands(folder, from, to), watched);
}

QList<QByteArray> FtpUploader::RenameCommands(const QUrl &folder, const QString &from, const QString &to) const
{
    if (IsSftp(folder))
        return {"rename " + QuotedPath(folder, from) + ' ' + QuotedPath(folder, to)};
    return {"RNFR " + QuotedPath(folder, from), "RNTO " + QuotedPath(folder, to)};
}

int FtpUploader::RunCommands(const QUrl &folder, const QList<QByteArray> &commands, bool watched)
{
    Prepare(folder, watched);
    CURL *curl = Handle(m_curl);
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, kCommandTimeout);
    curl_slist *list = nullptr;
    for (const QByteArray &command : commands)
        list = Append(list, command);
    m_postQuote = list;
    curl_easy_setopt(curl, CURLOPT_POSTQUOTE, list);
    return Perform();
}

QByteArray FtpUploader::RemoveCommand(const QUrl &folder, const QString &name, bool mayFail) const
{
    // "*": libcurl goes on after a failure.
    return QByteArray(mayFail ? "*" : "") + (IsSftp(folder) ? "rm " : "DELE ") + QuotedPath(folder, name);
}

void FtpUploader::RemoveTemporaries(const QUrl &folder, const QStringList &names)
{
    // A cancel has been answered already: this short request is not
    // watched, and its failure (the server is gone, or the file is not
    // there) changes nothing.
    QList<QByteArray> commands;
    for (const QString &name : names)
        commands.append(RemoveCommand(folder, name, true));
    RunCommands(folder, commands, false);
}

void FtpUploader::RemoveStaleTemporaries(const QUrl &folder)
{
    const QString shown = Displayed(folder);
    if (m_cleanedFolders.contains(shown))
        return;
    m_cleanedFolders.insert(shown);

    // FTP: "LIST -a", since servers such as vsftpd leave names that begin
    // with a dot out of a plain listing. SFTP lists every name.
    const bool sftp = IsSftp(folder);
    Prepare(folder, true);
    CURL *curl = Handle(m_curl);
    if (sftp)
        curl_easy_setopt(curl, CURLOPT_DIRLISTONLY, 1L);
    else
        curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "LIST -a");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Callbacks::Listing);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, this);
    m_listing.clear();
    // A folder not made yet, or one the server will not list: nothing to
    // look at.
    const bool listed = Perform() == CURLE_OK;
    const QStringList names = listed ? FileNames(m_listing, sftp) : QStringList();
    m_listing.clear();
    m_listing.squeeze();
    if (!listed)
        return;

    const QSet<QString> present(names.cbegin(), names.cend());
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    int stale = 0;
    int removed = 0;
    for (const QString &name : names) {
        const QRegularExpressionMatch match = TemporaryPattern().match(name);
        if (!match.hasMatch())
            continue;
        // A file moved aside is the only copy of its name's old file until
        // the new one took its place: it goes only once that name is there.
        if (match.capturedView(3) == QLatin1String(kReplaced) && !present.contains(match.captured(1)))
            continue;
        // A file whose age the server does not tell may be an upload
        // running now: it stays.
        const qint64 time = RemoteTime(folder, name);
        if (m_cancelled)
            return;
        if (time < 0 || now - time < kStaleAge)
            continue;
        ++stale;
        if (RunCommands(folder, {RemoveCommand(folder, name, false)}, true) == CURLE_OK)
            ++removed;
        if (m_cancelled)
            return;
    }
    if (stale > 0 && m_progress
            && !m_progress->Report(0, 0, tr("Старые временные файлы в %1: удалено %2 из %3")
                                                 .arg(shown)
                                                 .arg(removed)
                                                 .arg(stale)))
        m_cancelled = true;
}

qint64 FtpUploader::RemoteTime(const QUrl &folder, const QString &name)
{
    QUrl file = folder;
    file.setPath(folder.path(QUrl::FullyDecoded) + name, QUrl::DecodedMode);
    Prepare(file, true);
    CURL *curl = Handle(m_curl);
    // MDTM on FTP, a stat on SFTP.
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl, CURLOPT_FILETIME, 1L);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, kCommandTimeout);
    if (Perform() != CURLE_OK)
        return -1;
    curl_off_t time = -1;
    if (curl_easy_getinfo(curl, CURLINFO_FILETIME_T, &time) != CURLE_OK)
        return -1;
    return qint64(time);
}

FtpUploader::TestResult FtpUploader::Test(const QUrl &folder)
{
    m_error.clear();
    m_failureCode = 0;
    const QString shown = Displayed(folder);
    if (!m_curl || !IsSupported(folder)) {
        m_error = tr("Адрес %1 не поддерживается: нужен ftp://, ftps:// или sftp:// с именем сервера").arg(shown);
        return Failed;
    }
    QUrl address = folder;
    QString path = address.path(QUrl::FullyDecoded);
    if (!path.endsWith(QLatin1Char('/')))
        address.setPath(path + QLatin1Char('/'), QUrl::DecodedMode);
    m_size = 0;
    m_reportText = tr("Проверка соединения");
    Prepare(address, true);
    // No body: log in and change into the folder, which is all a test needs.
    curl_easy_setopt(Handle(m_curl), CURLOPT_NOBODY, 1L);
    const int code = Perform();
    switch (code) {
    case CURLE_OK:
    case CURLE_REMOTE_ACCESS_DENIED: // the folder is not there yet: uploads create it
    case CURLE_REMOTE_FILE_NOT_FOUND:
        return Accessible;
    case CURLE_LOGIN_DENIED:
        m_error = tr("Неверный логин или пароль");
        return LoginRefused;
    default:
        if (m_cancelled) {
            m_error = tr("Проверка соединения с %1 отменена").arg(shown);
            return Cancelled;
        }
        m_error = Reason(code);
        return Failed;
    }
}
