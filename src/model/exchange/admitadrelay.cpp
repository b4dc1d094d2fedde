#include "admitadrelay.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>

#include "iprogress.h"
#include "replywatchdog.h"
#include "schema.h"

const char AdmitadRelay::kEnvironmentVariable[] = "FIDMORA_ADMITAD_RELAY";

namespace {

// The settings of the program on this machine (not of a project).
QSettings MachineSettings()
{
    return QSettings(QStringLiteral("Fidmora"), QStringLiteral("Fidmora"));
}

} // namespace

QString AdmitadRelay::Address()
{
    const QString fromEnvironment = qEnvironmentVariable(kEnvironmentVariable).trimmed();
    return fromEnvironment.isEmpty() ? StoredAddress() : fromEnvironment;
}

bool AdmitadRelay::AddressFromEnvironment()
{
    return !qEnvironmentVariable(kEnvironmentVariable).trimmed().isEmpty();
}

QString AdmitadRelay::StoredAddress()
{
    return MachineSettings().value(Schema::Setting::AdmitadRelay).toString().trimmed();
}

void AdmitadRelay::SetStoredAddress(const QString &address)
{
    QSettings settings = MachineSettings();
    settings.setValue(Schema::Setting::AdmitadRelay, address);
    settings.sync();
}

QUrl AdmitadRelay::NormalizedAddress(const QString &text)
{
    QString address = text.trimmed();
    if (address.isEmpty())
        return QUrl();
    if (!address.contains(QLatin1String("://")))
        address.prepend(QLatin1String("http://"));
    QUrl url(address, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || url.hasQuery() || url.hasFragment()
            || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return QUrl();
    QString path = url.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    url.setPath(path);
    return url;
}

QString AdmitadRelay::StateOf(const QString &authorisationUrl)
{
    // The parameters are told apart in the encoded query, so that an
    // encoded "&" or "=" stays inside its value.
    const QString query = QUrl(authorisationUrl, QUrl::TolerantMode).query(QUrl::FullyEncoded);
    const QStringList parts = query.split(QLatin1Char('&'));
    for (const QString &part : parts) {
        if (part.section(QLatin1Char('='), 0, 0) != QLatin1String("state"))
            continue;
        const QStringList pieces = part.split(QLatin1Char('='));
        if (pieces.size() != 2 || pieces.at(1).isEmpty())
            return QString();
        return QUrl::fromPercentEncoding(pieces.at(1).toLatin1());
    }
    return QString();
}

AdmitadRelay::AdmitadRelay(const QString &address) : m_base(NormalizedAddress(address))
{
}

QUrl AdmitadRelay::Endpoint(const QByteArray &pathAndQuery) const
{
    if (!m_base.isValid())
        return QUrl();
    return QUrl::fromEncoded(m_base.toEncoded() + pathAndQuery, QUrl::StrictMode);
}

QUrl AdmitadRelay::StateUrl() const
{
    return Endpoint("/adcode.php/?getstate");
}

QUrl AdmitadRelay::DataUrl(const QString &state) const
{
    return Endpoint("/adcode.php/?getdata&state=" + QUrl::toPercentEncoding(state));
}

AdmitadRelay::Answer AdmitadRelay::RequestAuthorisation(IProgress *progress, QString *authorisationUrl)
{
    m_error.clear();
    const QUrl url = StateUrl();
    if (!url.isValid()) {
        m_error = tr("Адрес сервиса не задан или неверен");
        return Answer::Unavailable;
    }
    if (progress)
        progress->Report(0, 0, tr("Обращение к сервису авторизации %1").arg(m_base.toDisplayString()));

    QNetworkAccessManager manager;
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = manager.get(request);
    const ReplyWatchdog *watchdog = new ReplyWatchdog(reply, ReplyWatchdog::Defaults());
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (progress)
        progress->BindEventLoop(&loop);
    if (!reply->isFinished())
        loop.exec();

    if (!reply->isFinished()) {
        reply->abort();
        m_error = tr("Отменено");
        return Answer::Cancelled;
    }
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || status < 200 || status > 299) {
        if (status >= 300) {
            const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
            m_error = tr("Сервер ответил %1 %2 на запрос %3")
                              .arg(QString::number(status), reason, url.toDisplayString());
        } else {
            const QString reason = watchdog->Reason();
            m_error = tr("Не удалось обратиться к %1: %2")
                              .arg(url.toDisplayString(), reason.isEmpty() ? reply->errorString() : reason);
        }
        return Answer::Unavailable;
    }
    const QString address = QString::fromUtf8(reply->readAll()).trimmed();
    if (address.isEmpty()) {
        m_error = tr("Сервис %1 вернул пустой ответ").arg(url.toDisplayString());
        return Answer::Empty;
    }
    *authorisationUrl = address;
    return Answer::Address;
}
