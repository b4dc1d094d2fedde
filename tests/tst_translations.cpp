#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

#include "interfacelanguage.h"
#include "qtcompat.h"

// The translations: every text of the program and of fidmora-cli has its
// English translation, translations keep what the code fills in, the
// Russian corrections still match texts of the code, and the language is
// chosen and loaded as the rule says.
class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyTextIsTranslated();
    void translationsKeepWhatTheCodeFillsIn_data();
    void translationsKeepWhatTheCodeFillsIn();
    void russianCorrectionsMatchTexts();
    void languageOfSystem_data();
    void languageOfSystem();
    void choiceOutlivesSystem();
    void loadedTranslations_data();
    void loadedTranslations();

private:
    struct Entry
    {
        QString translation;
        bool finished = false;
    };
    // (context, source) -> entry.
    using Catalogue = QHash<QPair<QString, QString>, Entry>;
    static Catalogue Read(const QString &path);
    static QString Describe(const QPair<QString, QString> &key);

    Catalogue m_texts; // what lupdate collects from the code now
};

Q_DECLARE_METATYPE(InterfaceLanguage::Language)

TestTranslations::Catalogue TestTranslations::Read(const QString &path)
{
    Catalogue catalogue;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    QXmlStreamReader xml(&file);
    QString context, source;
    Entry entry;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            if (xml.name() == QLatin1String("name")) {
                context = xml.readElementText();
            } else if (xml.name() == QLatin1String("source")) {
                source = xml.readElementText();
            } else if (xml.name() == QLatin1String("translation")) {
                const bool unfinished = !xml.attributes().value(QLatin1String("type")).isEmpty();
                entry.translation = xml.readElementText();
                entry.finished = !unfinished && !entry.translation.isEmpty();
            }
        } else if (xml.isEndElement() && xml.name() == QLatin1String("message")) {
            catalogue.insert(qMakePair(context, source), entry);
            entry = Entry();
        }
    }
    if (xml.hasError())
        qFatal("%s: %s", qPrintable(path), qPrintable(xml.errorString()));
    return catalogue;
}

QString TestTranslations::Describe(const QPair<QString, QString> &key)
{
    return key.first + QLatin1String(": \"") + key.second + QLatin1Char('"');
}

void TestTranslations::initTestCase()
{
    // The View menu's choice goes to a settings file of the test's own.
    QStandardPaths::setTestModeEnabled(true);
    QSettings(QSettings::UserScope, QStringLiteral("fidmora"), QStringLiteral("fidmora")).clear();

    // The texts as the code holds them now, collected the way the
    // fidmora_lupdate target collects them.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString collected = dir.filePath(QStringLiteral("collected.ts"));
    QStringList arguments = QString::fromUtf8(LUPDATE_OPTIONS).split(QLatin1Char('|'));
    arguments << QString::fromUtf8(TEXT_FOLDERS).split(QLatin1Char('|')) << QStringLiteral("-ts") << collected;
    QProcess lupdate;
    lupdate.start(QStringLiteral(LUPDATE), arguments);
    QVERIFY(lupdate.waitForFinished(120000));
    QVERIFY2(lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0,
             lupdate.readAllStandardError().constData());
    m_texts = Read(collected);
    QVERIFY(m_texts.size() > 100);
}

void TestTranslations::everyTextIsTranslated()
{
    const Catalogue english = Read(QStringLiteral(TS_DIR "/fidmora_en.ts"));
    QStringList missing;
    for (auto it = m_texts.cbegin(); it != m_texts.cend(); ++it) {
        if (!english.value(it.key()).finished)
            missing << Describe(it.key());
    }
    missing.sort();
    QVERIFY2(missing.isEmpty(),
             qPrintable(QStringLiteral("texts without an English translation (cmake --build build --target "
                                       "fidmora_lupdate, then translate translations/fidmora_en.ts):\n")
                        + missing.join(QLatin1Char('\n'))));
}

void TestTranslations::translationsKeepWhatTheCodeFillsIn_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("English") << QStringLiteral(TS_DIR "/fidmora_en.ts");
    QTest::newRow("Russian") << QStringLiteral(TS_DIR "/fidmora_ru.ts");
}

void TestTranslations::translationsKeepWhatTheCodeFillsIn()
{
    QFETCH(QString, file);
    // The code fills in %1, %2...; the filter line acts on its links' targets.
    static const QRegularExpression filled(QStringLiteral("%\\d|href=\"[^\"]*\""));
    const auto marks = [](const QString &text) {
        QStringList found;
        QRegularExpressionMatchIterator it = filled.globalMatch(text);
        while (it.hasNext())
            found << it.next().captured();
        found.sort();
        return found;
    };
    const Catalogue catalogue = Read(file);
    QStringList wrong;
    for (auto it = catalogue.cbegin(); it != catalogue.cend(); ++it) {
        if (it->finished && marks(it.key().second) != marks(it->translation))
            wrong << Describe(it.key()) + QLatin1String(" -> ") + it->translation;
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QLatin1Char('\n'))));
}

void TestTranslations::russianCorrectionsMatchTexts()
{
    // A correction whose text has changed in the code would be lost unseen.
    const Catalogue corrections = Read(QStringLiteral(TS_DIR "/fidmora_ru.ts"));
    QVERIFY(!corrections.isEmpty());
    QStringList stale;
    for (auto it = corrections.cbegin(); it != corrections.cend(); ++it) {
        if (!m_texts.contains(it.key()))
            stale << Describe(it.key());
    }
    QVERIFY2(stale.isEmpty(), qPrintable(QStringLiteral("fidmora_ru.ts corrects texts the code no longer has:\n")
                                         + stale.join(QLatin1Char('\n'))));
}

void TestTranslations::languageOfSystem_data()
{
    QTest::addColumn<QStringList>("uiLanguages");
    QTest::addColumn<InterfaceLanguage::Language>("expected");

    QTest::newRow("English") << QStringList{"en"} << InterfaceLanguage::English;
    QTest::newRow("American English") << QStringList{"en-US", "en"} << InterfaceLanguage::English;
    QTest::newRow("British English first") << QStringList{"en-GB", "ru-RU"} << InterfaceLanguage::English;
    QTest::newRow("Russian") << QStringList{"ru-RU", "ru"} << InterfaceLanguage::Russian;
    QTest::newRow("German") << QStringList{"de-DE"} << InterfaceLanguage::Russian;
    QTest::newRow("English second") << QStringList{"de-DE", "en-US"} << InterfaceLanguage::Russian;
    QTest::newRow("C") << QStringList{"C"} << InterfaceLanguage::Russian;
    QTest::newRow("POSIX") << QStringList{"POSIX"} << InterfaceLanguage::Russian;
    QTest::newRow("none") << QStringList() << InterfaceLanguage::Russian;
}

void TestTranslations::languageOfSystem()
{
    QFETCH(QStringList, uiLanguages);
    QFETCH(InterfaceLanguage::Language, expected);
    QCOMPARE(InterfaceLanguage::FromUiLanguages(uiLanguages), expected);
}

void TestTranslations::choiceOutlivesSystem()
{
    const InterfaceLanguage::Language system = InterfaceLanguage::FromUiLanguages(QLocale::system().uiLanguages());
    const InterfaceLanguage::Language other =
            system == InterfaceLanguage::English ? InterfaceLanguage::Russian : InterfaceLanguage::English;
    InterfaceLanguage::Choose(other);
    QCOMPARE(InterfaceLanguage::Chosen(), other);
    InterfaceLanguage::Choose(system);
    QCOMPARE(InterfaceLanguage::Chosen(), system);
    QSettings(QSettings::UserScope, QStringLiteral("fidmora"), QStringLiteral("fidmora")).clear();
}

void TestTranslations::loadedTranslations_data()
{
    QTest::addColumn<InterfaceLanguage::Language>("language");
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("shown");

    QTest::newRow("English") << InterfaceLanguage::English << "Good"
                             << "Изменён" << "Changed";
    QTest::newRow("Russian mends a typo") << InterfaceLanguage::Russian << "ChooseCategoryDialog"
                                          << "Выберите катагорию" << "Выберите категорию";
    QTest::newRow("Russian keeps the rest") << InterfaceLanguage::Russian << "Good" << "Изменён" << "Изменён";
}

void TestTranslations::loadedTranslations()
{
    QFETCH(InterfaceLanguage::Language, language);
    QFETCH(QString, context);
    QFETCH(QString, source);
    QFETCH(QString, shown);

    const auto translate = [&] {
        return QCoreApplication::translate(context.toUtf8().constData(), source.toUtf8().constData());
    };
    {
        const InterfaceLanguage installed(language);
        // Built and installed beside the test, the program's file is the
        // built-in copy.
        QVERIFY(!installed.LoadedFiles().isEmpty());
        QCOMPARE(installed.LoadedFiles().first(),
                 QStringLiteral(":/translations/fidmora_") + InterfaceLanguage::Code(language) + ".qm");
        QCOMPARE(translate(), shown);
        if (language == InterfaceLanguage::Russian) {
            // Standard buttons follow the interface.
            QCOMPARE(installed.LoadedFiles().value(1),
                     QtCompat::TranslationsFolder() + "/qtbase_ru.qm");
            QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
        }
    }
    QCOMPARE(translate(), source);
}

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
