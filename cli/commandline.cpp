#include "commandline.h"

#include <QUrl>

#include "ftpuploader.h"
#include "shownaddress.h"

namespace {

struct StepOption
{
    const char *name;
    CliStep::Kind kind;
    const char *valueName; // null for steps without a value
    const char *help;
};

const StepOption kSteps[] = {
    {"--project", CliStep::Project, QT_TRANSLATE_NOOP("Cli", "ФАЙЛ"),
     QT_TRANSLATE_NOOP("Cli", "открыть проект: всё очищается, читаются офферы с правилами и фильтр")},
    {"--add", CliStep::Add, QT_TRANSLATE_NOOP("Cli", "ФАЙЛ"),
     QT_TRANSLATE_NOOP("Cli", "добавить файл с данными (CSV, dc_catalog или YML)")},
    {"--add-base", CliStep::AddBase, QT_TRANSLATE_NOOP("Cli", "ФАЙЛ"),
     QT_TRANSLATE_NOOP("Cli", "добавить файл с базой (CSV, dc_catalog или YML)")},
    {"--add-url", CliStep::AddUrl, QT_TRANSLATE_NOOP("Cli", "URL"),
     QT_TRANSLATE_NOOP("Cli", "загрузить файл с данными по адресу")},
    {"--add-base-url", CliStep::AddBaseUrl, QT_TRANSLATE_NOOP("Cli", "URL"),
     QT_TRANSLATE_NOOP("Cli", "загрузить файл с базой по адресу")},
    {"--load-offers", CliStep::LoadOffers, nullptr,
     QT_TRANSLATE_NOOP("Cli", "загрузить CSV всех офферов, до первой ошибки")},
    {"--load-sources", CliStep::LoadSources, nullptr,
     QT_TRANSLATE_NOOP("Cli", "очистить товары и загрузить снова источники проекта по порядку, до первой ошибки")},
    {"--remove-duplicates", CliStep::RemoveDuplicates, nullptr, QT_TRANSLATE_NOOP("Cli", "удалить дубли")},
    {"--columns", CliStep::Columns, QT_TRANSLATE_NOOP("Cli", "a,b,c"),
     QT_TRANSLATE_NOOP("Cli", "колонки для следующих сохранений (по умолчанию все колонки товаров)")},
    {"--save", CliStep::Save, QT_TRANSLATE_NOOP("Cli", "ФАЙЛ"),
     QT_TRANSLATE_NOOP("Cli", "сохранить всё в один файл с учётом фильтра")},
    {"--save-by-cats", CliStep::SaveByCats, QT_TRANSLATE_NOOP("Cli", "ПАПКА"),
     QT_TRANSLATE_NOOP("Cli", "сохранить по категориям с учётом фильтра (папка создаётся)")},
    {"--save-project", CliStep::SaveProject, QT_TRANSLATE_NOOP("Cli", "ФАЙЛ"),
     QT_TRANSLATE_NOOP("Cli", "сохранить проект вместе с фильтром")},
    {"--upload", CliStep::Upload, QT_TRANSLATE_NOOP("Cli", "URL"),
     QT_TRANSLATE_NOOP("Cli", "выгрузить сохранённое предыдущим --save или --save-by-cats на ftp://, ftps:// "
                              "или sftp://")},
    {"--site", CliStep::Site, QT_TRANSLATE_NOOP("Cli", "ХОСТ"),
     QT_TRANSLATE_NOOP("Cli", "сайт для следующих шагов с сайтом (по умолчанию export/modx/host проекта)")},
    {"--add-site", CliStep::AddSite, nullptr, QT_TRANSLATE_NOOP("Cli", "загрузить товары сайта как данные")},
    {"--add-base-site", CliStep::AddBaseSite, nullptr, QT_TRANSLATE_NOOP("Cli", "загрузить товары сайта как базу")},
    {"--save-site", CliStep::SaveSite, nullptr,
     QT_TRANSLATE_NOOP("Cli", "записать на сайт товары, прошедшие фильтр")},
    {"--report", CliStep::Report, QT_TRANSLATE_NOOP("Cli", "ФАЙЛ"),
     QT_TRANSLATE_NOOP("Cli", "записать отчёт об изменениях (HTML); отказ --max-delete тоже пишет его")},
    {"--summary", CliStep::Summary, nullptr,
     QT_TRANSLATE_NOOP("Cli", "вывести итоги: источники, офферы, категории, товары и их состояния")},
};

const StepOption *FindStep(const QString &name)
{
    for (const StepOption &step : kSteps) {
        if (name == QLatin1String(step.name))
            return &step;
    }
    return nullptr;
}

QString Translated(const char *text)
{
    return QCoreApplication::translate("Cli", text);
}

} // namespace

QString CliStep::Text() const
{
    if (argument.isEmpty())
        return option;
    // Step lines and errors are printed even with --quiet, into logs.
    const bool address = kind == AddUrl || kind == AddBaseUrl || kind == Upload || kind == Site;
    return option + QLatin1Char(' ') + (address ? ShownAddress::Address(argument) : argument);
}

CommandLine::Outcome CommandLine::Fail(const QString &text)
{
    m_error = text;
    return UsageError;
}

CommandLine::Outcome CommandLine::Parse(const QStringList &arguments)
{
    m_steps.clear();
    m_quiet = false;
    m_strict = false;
    m_maxDelete = kDefaultMaxDelete;
    m_insecureUploads = false;
    m_uploadKey.clear();
    m_error.clear();
    bool hasWork = false;
    bool saved = false;

    for (int i = 0; i < arguments.size(); ++i) {
        const QString &word = arguments.at(i);
        QString name = word;
        QString value;
        bool inlineValue = false;
        const int equals = word.indexOf(QLatin1Char('='));
        if (word.startsWith(QLatin1String("--")) && equals > 2) {
            name = word.left(equals);
            value = word.mid(equals + 1);
            inlineValue = true;
        }

        // The value of an option: after "=" or in the next argument ("--add
        // --save x" is a forgotten value, not a file named "--save").
        const auto takeValue = [&]() {
            if (inlineValue)
                return true;
            if (i + 1 >= arguments.size() || arguments.at(i + 1).startsWith(QLatin1String("--")))
                return false;
            value = arguments.at(++i);
            return true;
        };
        bool *flag = nullptr;
        if (name == QLatin1String("--quiet") || name == QLatin1String("-q"))
            flag = &m_quiet;
        else if (name == QLatin1String("--strict"))
            flag = &m_strict;
        else if (name == QLatin1String("--upload-insecure"))
            flag = &m_insecureUploads;

        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            return Help;
        } else if (name == QLatin1String("--version")) {
            return Version;
        } else if (flag) {
            if (inlineValue)
                return Fail(tr("Параметр %1 не принимает значения").arg(name));
            *flag = true;
            continue;
        } else if (name == QLatin1String("--max-delete")) {
            if (!takeValue())
                return Fail(tr("Параметру %1 нужно значение: %2").arg(name, tr("ПРОЦЕНТ")));
            bool number = false;
            const double percent = value.toDouble(&number);
            if (!number || percent < 0 || percent > 100)
                return Fail(tr("Параметру %1 нужно число от 0 до 100, а не «%2»").arg(name, value));
            m_maxDelete = percent;
            continue;
        } else if (name == QLatin1String("--upload-key")) {
            if (!takeValue() || value.isEmpty())
                return Fail(tr("Параметру %1 нужно значение: %2").arg(name, tr("ФАЙЛ")));
            m_uploadKey = value;
            continue;
        }

        const StepOption *option = FindStep(name);
        if (!option) {
            if (!word.startsWith(QLatin1Char('-')))
                return Fail(tr("Лишний аргумент «%1»: шаги начинаются с «--»").arg(word));
            return Fail(tr("Неизвестный параметр %1").arg(name));
        }

        CliStep step;
        step.kind = option->kind;
        step.option = name;
        if (option->valueName) {
            if (!takeValue())
                return Fail(tr("Параметру %1 нужно значение: %2").arg(name, Translated(option->valueName)));
            // An empty path would make the model fall back to its autosave
            // file; an empty column list means the collected columns again.
            if (value.isEmpty() && option->kind != CliStep::Columns)
                return Fail(tr("Параметру %1 нужно значение: %2").arg(name, Translated(option->valueName)));
            step.argument = value;
        } else if (inlineValue) {
            return Fail(tr("Параметр %1 не принимает значения").arg(name));
        }
        if (step.kind == CliStep::Save || step.kind == CliStep::SaveByCats)
            saved = true;
        if (step.kind == CliStep::Upload) {
            if (!saved)
                return Fail(tr("Шагу %1 нечего выгружать: перед ним нужен --save или --save-by-cats").arg(name));
            const QUrl url(value, QUrl::TolerantMode);
            if (!FtpUploader::IsSupported(url))
                return Fail(tr("Адрес %1 не поддерживается: нужен ftp://, ftps:// или sftp:// с именем сервера")
                                    .arg(FtpUploader::Displayed(url)));
            // Every user of the machine can read a command line.
            if (!url.password().isEmpty())
                return Fail(tr("Пароль в адресе виден всем в списке процессов: задайте его в переменной "
                               "окружения FIDMORA_FTP_PASSWORD или в ~/.netrc"));
        }
        // The site's password, like the upload's, never stands on the
        // command line.
        if (step.kind == CliStep::Site && ShownAddress::HasPassword(value))
            return Fail(tr("Пароль в адресе сайта виден всем в списке процессов: задайте его в переменной "
                           "окружения FIDMORA_SITE_PASSWORD или в проекте"));
        if (step.kind != CliStep::Columns && step.kind != CliStep::Site)
            hasWork = true;
        m_steps.append(step);
    }

    if (!hasWork)
        return Fail(tr("Не задано ни одного шага"));
    return Run;
}

QString CommandLine::HelpHint()
{
    return tr("Справка: fidmora-cli --help");
}

QString CommandLine::VersionText()
{
    return QStringLiteral("fidmora-cli " FIDMORA_VERSION);
}

QString CommandLine::HelpText()
{
    QStringList lines;
    lines << tr("Использование: fidmora-cli [ПАРАМЕТРЫ] ШАГ...")
          << tr("Обновляет каталог Fidmora без окна: шаги выполняются по порядку, каждый над каталогом,")
          << tr("который оставили предыдущие.")
          << QString()
          << tr("Шаги:");
    const auto row = [&lines](const QString &left, const QString &help) {
        lines << QLatin1String("  ") + left.leftJustified(26) + QLatin1Char(' ') + help;
    };
    for (const StepOption &step : kSteps) {
        QString left = QLatin1String(step.name);
        if (step.valueName)
            left += QLatin1Char(' ') + Translated(step.valueName);
        row(left, Translated(step.help));
    }
    lines << QString() << tr("Параметры:");
    row(QStringLiteral("-q, --quiet"), tr("не показывать ход работы (предупреждения и ошибки выводятся всё равно)"));
    row(QStringLiteral("--strict"), tr("считать ошибкой загрузку, пропустившую строки или прочитавшую текст не в UTF-8"));
    row(QString(), tr("(и --load-sources, не нашедший файл источника)"));
    row(QStringLiteral("--max-delete ") + tr("ПРОЦЕНТ"),
        tr("не сохранять и не выгружать, если удаляется больше этой доли товаров базы"));
    row(QString(), tr("(по умолчанию %1; 100 — без ограничения)").arg(kDefaultMaxDelete));
    row(QStringLiteral("--upload-insecure"), tr("не проверять сертификат (FTPS) и ключ сервера (SFTP)"));
    row(QStringLiteral("--upload-key ") + tr("ФАЙЛ"), tr("закрытый ключ для выгрузки по SFTP"));
    row(QStringLiteral("-h, --help"), tr("показать эту справку"));
    row(QStringLiteral("--version"), tr("показать версию"));
    lines << QString()
          << tr("Итоги (--summary) выводятся строками «sources N», «offers N», «categories N», «goods N»,")
          << tr("«added N», «changed N», «deleted N», «uncategorized N», «base_repeats N». Категории и товары")
          << tr("считаются среди прошедших фильтр; uncategorized — строки фидов без категории, которые не")
          << tr("загружены; base_repeats — строки баз, пропущенные как повторы ключа, встреченного в базе выше.")
          << tr("Логин и пароль сайта берутся из проекта (export/modx/login; пароль — из хранилища паролей")
          << tr("системы по export/modx/keyring или из export/modx/password);")
          << tr("переменные окружения FIDMORA_SITE_LOGIN и FIDMORA_SITE_PASSWORD их заменяют.")
          << tr("Ход работы выводится в поток ошибок; Ctrl+C отменяет текущий шаг.")
          << tr("Пароль для --upload берётся из переменной окружения FIDMORA_FTP_PASSWORD, иначе из хранилища")
          << tr("паролей системы (запомненный окном для этого логина и сервера), иначе из ~/.netrc;")
          << tr("адрес ftps:// — это FTP с явным TLS (AUTH TLS, порт 21). Адрес, оканчивающийся на «/», — папка.")
          << QString()
          << tr("Коды завершения: 0 — все шаги выполнены, 1 — шаг не выполнен, 2 — ошибка в параметрах,")
          << tr("3 — не сохранено: удалялось больше товаров базы, чем позволяет --max-delete,")
          << tr("130 — прервано (Ctrl+C), 143 — прервано сигналом SIGTERM, 129 — сигналом SIGHUP.")
          << QString()
          << tr("Пример: обновлять изменения для сайта каждые 4 часа (строка crontab):")
          << QStringLiteral("  0 */4 * * * /opt/fidmora/fidmora-cli --quiet --project /home/shop/shop.fdm"
                            " --load-offers --add-base /home/shop/site.csv --save /var/www/shop/changes.csv"
                            " >> /home/shop/fidmora.log 2>&1");
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}
