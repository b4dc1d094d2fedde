#pragma once

#include <memory>
#include <vector>

#include <QLocale>
#include <QString>
#include <QStringList>

class QTranslator;

// The language the interface speaks, and the translators that make it so.
// The program's texts are written in Russian. The interface is English when
// the system's first interface language is English and Russian otherwise
// (C and POSIX locales included, so scheduled runs and their logs stay
// Russian), unless the user chose a language in the window's View menu: that
// choice is a setting of the machine (QSettings, not the project) and holds
// for the window and fidmora-cli from their next start.
//
// An object installs its translators into the application for as long as it
// lives: the program's own file (for Russian it only mends some texts) and,
// for Russian, Qt's own, so that standard buttons and file choosers speak the
// same language. The program's files are read from share/fidmora/translations
// beside the executable's folder when installed, else from the copy built
// into the program. Main thread only, after the application object exists.
class InterfaceLanguage final
{
public:
    enum Language { Russian, English };

    explicit InterfaceLanguage(Language language);
    ~InterfaceLanguage();

    Language language() const { return m_language; }
    // The translation files installed, in the order they were loaded.
    const QStringList &LoadedFiles() const { return m_files; }

    // English when the first of the languages (QLocale::uiLanguages()) is
    // English, Russian otherwise.
    static Language FromUiLanguages(const QStringList &uiLanguages);
    // The language of the View menu's choice, or the system's without one.
    static Language Chosen();
    // Keeps the choice for the next start.
    static void Choose(Language language);

    // The folder an installed program reads its translations from.
    static QString InstalledFolder();
    // "ru", "en": the suffix of the program's translation files.
    static QString Code(Language language);
    // How the language writes numbers (groups of digits, the decimal sign).
    static QLocale LocaleOf(Language language);
    // The locale of the language the interface speaks now: of the object
    // that installed its translators last, Russian while none lives.
    static QLocale Current();

private:
    Q_DISABLE_COPY(InterfaceLanguage)

    bool Install(const QString &name, const QStringList &folders);

    Language m_language;
    Language m_before; // what Current() spoke before this object
    std::vector<std::unique_ptr<QTranslator>> m_translators;
    QStringList m_files;
};
