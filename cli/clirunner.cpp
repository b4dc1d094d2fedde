#include "clirunner.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QUrl>

#include "catmodel.h"
#include "changereport.h"
#include "consoleprogress.h"
#include "signalwatcher.h"
#include "filteroptions.h"
#include "ftpuploader.h"
#include "interfacelanguage.h"
#include "keyring.h"
#include "model.h"
#include "schema.h"
#include "shownaddress.h"
#include "statuscounts.h"

namespace {

QString Native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

CliRunner::CliRunner(Model &model, ConsoleProgress &progress, FILE *out)
    : m_model(model), m_progress(progress), m_out(out)
{
}

int CliRunner::Run(const QList<CliStep> &steps)
{
    int code = Success;
    m_reportPath.clear();
    for (const CliStep &step : steps) {
        if (step.kind == CliStep::Report) {
            m_reportPath = step.argument;
            break;
        }
    }
    for (int i = 0; i < steps.size(); ++i) {
        const CliStep &step = steps.at(i);
        if (m_progress.IsCancelled())
            break;
        m_progress.BeginStep(tr("Шаг %1 из %2: %3").arg(i + 1).arg(steps.size()).arg(step.Text()));
        QString error;
        m_deleteRefused = false;
        bool ok = RunStep(step, &error);
        m_progress.EndStep();
        if (m_progress.IsCancelled())
            break;
        // What a step left out is said even with --quiet: a feed that lost
        // rows must not pass unnoticed in a scheduled run. Each warning is
        // taken once: a step after it that runs no operation of the model
        // does not say it again.
        if (ok) {
            const QStringList warnings = m_model.TakeWarnings();
            for (const QString &warning : warnings)
                m_progress.Message(tr("Предупреждение: %1").arg(warning));
            if (m_strict && IsLoad(step.kind)) {
                // A feed read only in part, or whose text had to be guessed,
                // fails a strict run.
                QStringList faults;
                if (m_model.SkippedRows() > 0)
                    faults << tr("пропущено строк, не читаемых как запись: %1").arg(m_model.SkippedRows());
                if (m_model.ReencodedFeeds() > 0)
                    faults << tr("файлов, перекодированных из windows-1251: %1").arg(m_model.ReencodedFeeds());
                if (m_model.InvalidUtf8Rows() > 0)
                    faults << tr("строк с байтами не в кодировке UTF-8: %1").arg(m_model.InvalidUtf8Rows());
                if (step.kind == CliStep::LoadSources && !m_model.MissingSources().isEmpty())
                    faults << tr("не найдены источники: %1")
                                      .arg(m_model.MissingSources().join(QStringLiteral(", ")));
                if (!faults.isEmpty()) {
                    error = tr("%1 (--strict)").arg(faults.join(QStringLiteral("; ")));
                    ok = false;
                }
            }
        }
        if (!ok) {
            if (error.isEmpty())
                error = tr("причина неизвестна");
            m_progress.Message(tr("Ошибка: шаг %1 из %2 «%3» не выполнен: %4")
                                       .arg(i + 1)
                                       .arg(steps.size())
                                       .arg(step.Text(), error));
            code = m_deleteRefused ? DeleteRefused : StepFailed;
            break;
        }
    }
    if (m_progress.IsCancelled()) {
        // 128 and the signal's number, as a shell tells a program the signal
        // ended: 130 for Ctrl+C, 143 for SIGTERM, 129 for SIGHUP.
        const int signalNumber = m_progress.CancellingSignal();
        if (signalNumber == 0 || signalNumber == SignalWatcher::Interrupt) {
            m_progress.Message(tr("Прервано по Ctrl+C"));
            code = Interrupted;
        } else {
            m_progress.Message(tr("Прервано сигналом %1").arg(ConsoleProgress::SignalName(signalNumber)));
            code = 128 + signalNumber;
        }
    }
    // Nothing of the catalogue's files outlives the run: downloads and
    // converted catalogues go with the model's own folder. Its memory is
    // left to the end of the process, which gives it back at once.
    m_model.CloseFilesForExit();
    return code;
}

bool CliRunner::IsLoad(CliStep::Kind kind)
{
    switch (kind) {
    case CliStep::Add:
    case CliStep::AddBase:
    case CliStep::AddUrl:
    case CliStep::AddBaseUrl:
    case CliStep::LoadOffers:
    case CliStep::LoadSources:
    case CliStep::AddSite:
    case CliStep::AddBaseSite:
        return true;
    default:
        return false;
    }
}

bool CliRunner::WithinDeleteLimit(QString *error)
{
    const Model::DeleteShare share = m_model.DeletedShare(&m_filter);
    if (!share.Exceeds(m_maxDelete))
        return true;
    *error = tr("удаляется %1 из %2 товаров базы (%3%), больше допустимых --max-delete %4%: ничего не записано")
                     .arg(share.deleted)
                     .arg(share.baseRows)
                     .arg(share.Percent(), 0, 'f', 1)
                     .arg(m_maxDelete);
    // An offer that lost all its goods is most often a feed that failed
    // or came back empty: named, it tells where to look.
    for (const Model::DeleteShare::WholeOffer &offer : share.wholeOffers)
        *error += QLatin1String("; ")
                + tr("оффер %1: в базе %2, в данных %3")
                          .arg(offer.name, QString::number(offer.inBase), QString::number(offer.inData));
    m_deleteRefused = true;
    // The report shows by offer and column where the deletions come from.
    if (!m_reportPath.isEmpty()) {
        QString reportError;
        if (WriteReport(m_reportPath, &reportError))
            *error += QLatin1String("; ") + tr("отчёт об изменениях: %1").arg(Native(m_reportPath));
        else
            *error += QLatin1String("; ") + reportError;
    }
    return false;
}

bool CliRunner::WriteReport(const QString &path, QString *error)
{
    const ChangeReport::Figures figures = ChangeReport::Compute(m_model, &m_filter, m_maxDelete);
    if (!ChangeReport::Write(path, figures, InterfaceLanguage::Current(), error))
        return false;
    m_progress.Report(0, 0, tr("Отчёт об изменениях записан: %1").arg(Native(path)));
    return true;
}

bool CliRunner::RunStep(const CliStep &step, QString *error)
{
    const QString &argument = step.argument;
    bool ok = true;
    switch (step.kind) {
    case CliStep::Project:
        return LoadProject(argument, error);
    case CliStep::Add:
    case CliStep::AddBase:
        ok = m_model.AddFile(argument, step.kind == CliStep::AddBase, &m_progress);
        break;
    case CliStep::AddUrl:
    case CliStep::AddBaseUrl:
        ok = m_model.AddUrl(argument, step.kind == CliStep::AddBaseUrl, &m_progress);
        break;
    case CliStep::LoadOffers:
        return LoadOffers(error);
    case CliStep::LoadSources:
        return LoadSources(error);
    case CliStep::RemoveDuplicates:
        ok = m_model.RemoveDuplicates(&m_progress);
        break;
    case CliStep::Columns:
        m_columns = argument.split(QLatin1Char(','), Qt::SkipEmptyParts);
        for (QString &column : m_columns)
            column = column.trimmed();
        m_columns.removeAll(QString());
        m_columnsGiven = !m_columns.isEmpty();
        return true;
    case CliStep::Save:
        return WithinDeleteLimit(error) && SaveWhole(argument, error);
    case CliStep::SaveByCats:
        return WithinDeleteLimit(error) && SaveByCats(argument, error);
    case CliStep::SaveProject:
        m_model.StoreFilter(Schema::Option::FilterPrefix, m_filter);
        if (!m_model.SaveProject(argument, error))
            return false;
        return true;
    case CliStep::Upload:
        return WithinDeleteLimit(error) && Upload(argument, error);
    case CliStep::Summary:
        return PrintSummary(error);
    case CliStep::Report:
        return WriteReport(argument, error);
    case CliStep::Site:
        m_site = argument;
        return true;
    case CliStep::AddSite:
    case CliStep::AddBaseSite:
    case CliStep::SaveSite: {
        QString host;
        QString login;
        QString password;
        if (!SiteAccess(&host, &login, &password, error))
            return false;
        if (step.kind == CliStep::SaveSite && !WithinDeleteLimit(error))
            return false;
        if (step.kind == CliStep::SaveSite)
            ok = m_model.SaveToModxSite(host, login, password, &m_filter, &m_progress);
        else
            ok = m_model.LoadFromModxSite(host, login, password, step.kind == CliStep::AddBaseSite, &m_progress);
        break;
    }
    }
    if (!ok)
        *error = ModelError();
    return ok;
}

bool CliRunner::LoadProject(const QString &path, QString *error)
{
    // The old filter names categories and vendors of the catalogue that
    // Clear() throws away.
    m_filter = Filter();
    m_model.Clear(false);
    if (!m_model.LoadProject(path)) {
        *error = ModelError();
        return false;
    }
    m_filter = FilterOptions::Read(m_model, Schema::Option::FilterPrefix);
    return true;
}

bool CliRunner::LoadOffers(QString *error)
{
    if (m_model.LoadAllOffers(&m_progress))
        return true;
    // Offers are loaded in list order up to the first failure: the failed
    // one is the first with a feed address that is still not loaded.
    QString reason = ModelError();
    for (const Offer &offer : m_model.Offers()) {
        if (!offer.exportUrl.isEmpty() && !offer.exportLoaded) {
            reason = tr("оффер «%1» (%2): %3").arg(offer.name, ShownAddress::Address(offer.exportUrl), reason);
            break;
        }
    }
    *error = reason;
    return false;
}

bool CliRunner::LoadSources(QString *error)
{
    // A scheduled run that loads nothing would go on to save or upload an
    // empty catalogue.
    if (m_model.SourceRecords().isEmpty()) {
        *error = tr("в проекте нет источников: проект запоминает файлы, адреса и сайты, загруженные в нём");
        return false;
    }
    // A site's password, as for the site steps: from the environment, else,
    // for the project's own site, from the keyring or the project.
    const auto password = [this](const SourceRecord &source) {
        if (qEnvironmentVariableIsSet("FIDMORA_SITE_PASSWORD"))
            return qEnvironmentVariable("FIDMORA_SITE_PASSWORD");
        QString host;
        QString login;
        QString password;
        QString unused;
        if (source.location != Model::WithoutPassword(m_model.Option(Schema::Option::ModxHost))
                || !SiteAccess(&host, &login, &password, &unused))
            return QString();
        return password;
    };
    if (m_model.LoadSources(&m_progress, &m_filter, password))
        return true;
    *error = ModelError();
    return false;
}

bool CliRunner::SaveWhole(const QString &file, QString *error)
{
    // The model writes the export beside the target and moves it over the
    // target when complete; a pipe or a device (/dev/stdout) is written as
    // it is, and leaves nothing to upload afterwards.
    m_savedByCats = false;
    m_saved.clear();
    if (!m_model.SaveToFile(file, nullptr, Columns(), &m_filter, &m_progress)) {
        *error = ModelError();
        return false;
    }
    m_saved = m_model.SavedFiles();
    return true;
}

bool CliRunner::SaveByCats(const QString &folder, QString *error)
{
    errno = 0;
    if (!QDir().mkpath(folder)) {
        const int reason = errno;
        *error = reason != 0 ? tr("Не удалось создать папку %1: %2")
                                       .arg(Native(folder), QString::fromLocal8Bit(std::strerror(reason)))
                             : tr("Не удалось создать папку %1").arg(Native(folder));
        return false;
    }
    m_saved.clear();
    m_savedByCats = true;
    if (!m_model.SaveToFilesByCats(folder, nullptr, Columns(), &m_filter, &m_progress)) {
        *error = ModelError();
        return false;
    }
    // Exactly the files this save wrote: other files in the folder are not
    // ours to send.
    m_saved = m_model.SavedFiles();
    return true;
}

bool CliRunner::Upload(const QString &address, QString *error)
{
    if (m_saved.isEmpty() && !m_savedByCats) {
        *error = tr("нечего выгружать: предыдущий --save писал не в файл");
        return false;
    }
    QUrl url(address, QUrl::TolerantMode);
    FtpUploader::Options options;
    options.insecure = m_insecureUploads;
    options.keyFile = m_uploadKey;
    // The password never comes from the command line, which every user of
    // the machine can read: from the environment, else from the system's
    // keyring (where the window keeps a remembered one), else from ~/.netrc.
    QString password = QProcessEnvironment::systemEnvironment().value(QStringLiteral("FIDMORA_FTP_PASSWORD"));
    if (password.isEmpty() && url.password().isEmpty()) {
        const QString entry =
                Keyring::FtpEntry(url.userName(), url.host(), url.port(FtpUploader::DefaultPort(url.scheme())));
        if (Keyring::Read(entry, &password) != Keyring::Done)
            password.clear();
    }
    if (!password.isEmpty())
        url.setPassword(password, QUrl::DecodedMode);
    else
        options.useNetrc = true;

    const QString path = url.path(QUrl::FullyDecoded);
    const bool intoFolder = m_savedByCats || path.isEmpty() || path.endsWith(QLatin1Char('/'));
    const QString folder = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
    FtpUploader uploader(options, &m_progress);
    for (const QString &file : qAsConst(m_saved)) {
        QUrl target = url;
        if (intoFolder)
            target.setPath(folder + QFileInfo(file).fileName(), QUrl::DecodedMode);
        if (!uploader.Upload(file, target)) {
            *error = uploader.ErrorText();
            return false;
        }
    }
    return true;
}

bool CliRunner::SiteAccess(QString *host, QString *login, QString *password, QString *error) const
{
    *host = m_site.isEmpty() ? m_model.Option(Schema::Option::ModxHost) : m_site;
    if (host->isEmpty()) {
        *error = tr("не задан сайт: укажите --site или проект с адресом сайта");
        return false;
    }
    // Scheduled runs keep the secrets out of the project file and off the
    // command line, where every user of the machine could read them.
    *login = qEnvironmentVariableIsSet("FIDMORA_SITE_LOGIN") ? qEnvironmentVariable("FIDMORA_SITE_LOGIN")
                                                             : m_model.Option(Schema::Option::ModxLogin);
    if (qEnvironmentVariableIsSet("FIDMORA_SITE_PASSWORD")) {
        *password = qEnvironmentVariable("FIDMORA_SITE_PASSWORD");
        return true;
    }
    // A password the window remembered in the system's keyring.
    const QString entry = m_model.Option(Schema::Option::ModxKeyring);
    if (!entry.isEmpty()) {
        QString why;
        switch (Keyring::Read(entry, password, &why)) {
        case Keyring::Done:
            return true;
        case Keyring::NotFound:
            *error = tr("пароля сайта нет в хранилище паролей системы (%1): задайте FIDMORA_SITE_PASSWORD").arg(entry);
            return false;
        case Keyring::Unavailable:
            *error = tr("хранилище паролей системы недоступно (%1): задайте FIDMORA_SITE_PASSWORD").arg(why);
            return false;
        }
    }
    *password = m_model.Option(Schema::Option::ModxPassword);
    return true;
}

bool CliRunner::PrintSummary(QString *error)
{
    const StatusCounts counts = StatusCounts::Of(m_model.Root(), &m_filter);
    const QList<QPair<const char *, qint64>> figures = {
        {"sources", m_model.Sources().size()},
        {"offers", m_model.Offers().size()},
        {"categories", m_model.Root().CountWithGoods(&m_filter)},
        {"goods", counts.goods},
        {"added", counts.added},
        {"changed", counts.changed},
        {"deleted", counts.deleted},
        {"uncategorized", m_model.RowsWithoutCategory()},
        {"base_repeats", m_model.BaseRepeats()},
    };
    QByteArray text;
    for (const auto &figure : figures)
        text += QByteArray(figure.first) + ' ' + QByteArray::number(figure.second) + '\n';
    // A summary that did not reach its reader (a full disk, a closed pipe)
    // fails the run: a script would read figures that are not there.
    clearerr(m_out);
    errno = 0;
    const bool written = fwrite(text.constData(), 1, size_t(text.size()), m_out) == size_t(text.size());
    if (fflush(m_out) != 0 || !written || ferror(m_out)) {
        const int reason = errno;
        *error = tr("не удалось вывести итоги: %1")
                         .arg(reason != 0 ? QString::fromLocal8Bit(std::strerror(reason)) : tr("ошибка записи"));
        return false;
    }
    return true;
}

QString CliRunner::ModelError() const
{
    return m_model.LastError();
}
