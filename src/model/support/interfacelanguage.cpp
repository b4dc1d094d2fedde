#include "interfacelanguage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QSettings>
#include <QTranslator>

#include "qtcompat.h"
#include "schema.h"

// Which translation files were found: QT_LOGGING_RULES="fidmora.translations.info=true".
Q_LOGGING_CATEGORY(lcTranslations, "fidmora.translations", QtWarningMsg)

namespace {

const char kBuiltInFolder[] = ":/translations";

// The machine's settings of the program, shared by the window and fidmora-cli.
QSettings MachineSettings()
{
    return QSettings(QSettings::UserScope, QStringLiteral("fidmora"), QStringLiteral("fidmora"));
}

// The language of the translators installed last: numbers in texts follow it.
InterfaceLanguage::Language s_current = InterfaceLanguage::Russian;

} // namespace

InterfaceLanguage::InterfaceLanguage(Language language)
    : m_language(language)
    , m_before(s_current)
{
    s_current = language;
    const QString code = Code(language);
    // A program unpacked from a zip (Windows) keeps its translations in a
    // folder beside it, Qt's own among them: a static Qt's built-in path
    // names a folder of the machine it was built on.
    const QString beside = QCoreApplication::applicationDirPath() + QLatin1String("/translations");
    if (!Install(QLatin1String("fidmora_") + code, {InstalledFolder(), beside, QLatin1String(kBuiltInFolder)}))
        qCWarning(lcTranslations, "No translation fidmora_%s found", qPrintable(code));
    // Qt speaks English by itself.
    if (language == Russian
        && !Install(QStringLiteral("qtbase_ru"), {beside, QtCompat::TranslationsFolder()})) {
        qCInfo(lcTranslations, "No qtbase_ru.qm: standard buttons stay in English");
    }
}

InterfaceLanguage::~InterfaceLanguage()
{
    s_current = m_before;
    for (const std::unique_ptr<QTranslator> &translator : m_translators)
        QCoreApplication::removeTranslator(translator.get());
}

bool InterfaceLanguage::Install(const QString &name, const QStringList &folders)
{
    for (const QString &folder : folders) {
        const QString file = folder + QLatin1Char('/') + name + QLatin1String(".qm");
        if (!QFileInfo::exists(file))
            continue;
        auto translator = std::make_unique<QTranslator>();
        if (!translator->load(file)) {
            qCWarning(lcTranslations, "Cannot read the translation %s", qPrintable(QDir::toNativeSeparators(file)));
            continue;
        }
        QCoreApplication::installTranslator(translator.get());
        m_translators.push_back(std::move(translator));
        m_files.append(file);
        qCInfo(lcTranslations, "Translation %s", qPrintable(QDir::toNativeSeparators(file)));
        return true;
    }
    return false;
}

InterfaceLanguage::Language InterfaceLanguage::FromUiLanguages(const QStringList &uiLanguages)
{
    if (uiLanguages.isEmpty())
        return Russian;
    // "en", "en-US", "en-GB"... "C" and "POSIX" are no language: Russian.
    return QLocale(uiLanguages.first()).language() == QLocale::English ? English : Russian;
}

InterfaceLanguage::Language InterfaceLanguage::Chosen()
{
    const QString chosen = MachineSettings().value(Schema::Setting::InterfaceLanguage).toString();
    if (chosen == Code(English))
        return English;
    if (chosen == Code(Russian))
        return Russian;
    return FromUiLanguages(QLocale::system().uiLanguages());
}

void InterfaceLanguage::Choose(Language language)
{
    QSettings settings = MachineSettings();
    settings.setValue(Schema::Setting::InterfaceLanguage, Code(language));
}

QString InterfaceLanguage::InstalledFolder()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1String("/../share/fidmora/translations"));
}

QString InterfaceLanguage::Code(Language language)
{
    return language == English ? QStringLiteral("en") : QStringLiteral("ru");
}

QLocale InterfaceLanguage::LocaleOf(Language language)
{
    return language == English ? QLocale(QLocale::English, QLocale::UnitedStates)
                               : QLocale(QLocale::Russian, QLocale::Russia);
}

QLocale InterfaceLanguage::Current()
{
    return LocaleOf(s_current);
}
