#include <QTemporaryDir>
#include <QtTest>

#include "catmodel.h"
#include "feedfile.h"
#include "filter.h"
#include "idiscardquestions.h"
#include "model.h"
#include "offer.h"
#include "projectsession.h"

namespace {

// The user's answers, given in advance; every question is kept.
struct ScriptedUser final : IDiscardQuestions
{
    Answer answer = Answer::Cancel;
    bool goOn = false;
    QStringList asked;

    Answer AskToSaveChanges(const QString &fileName) override
    {
        asked << fileName;
        return answer;
    }
    bool AskToGoOn(const QString &question) override
    {
        asked << question;
        return goOn;
    }
};

// The kinds of change a user makes to an open project.
enum Change {
    None,
    OfferRule,
    NewOffer,
    SiteOption,
    FilterPrice,
    UncheckedCategory,
    FilterBackAndForth,
    LoadedGoods, // what a load changes in an offer, which no project keeps
};

} // namespace

Q_DECLARE_METATYPE(IDiscardQuestions::Answer)

class TestProjectSession : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void unsavedChanges_data();
    void unsavedChanges();
    void confirmDiscard_data();
    void confirmDiscard();
    void saveAsThenSave();
    void autosave();
    void failedSaveKeepsTheProject_data();
    void failedSaveKeepsTheProject();
    void openAnother_data();
    void openAnother();

private:
    // A project of two offers (or none) with a site's address, in the test's folder.
    QString WriteProject(const QString &name, bool withOffers = true);
    void Make(Change change, Model &model, Filter &filter);

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_autosave;
};

void TestProjectSession::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_autosave = m_dir->filePath(QStringLiteral("last.fdm"));
}

QString TestProjectSession::WriteProject(const QString &name, bool withOffers)
{
    const QByteArray offers = withOffers
            ? "<offer name=\"Shop\"><export><![CDATA[http://feeds.test/shop.csv]]></export>"
              "<exclude><category name=\"Sale\"/></exclude></offer><offer name=\"Idle\"/>"
            : "";
    return WriteBytes(QDir(m_dir->path()), name,
                      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<settings><options><export><modx><host "
                      "val=\"old.site\"/></modx></export></options><offers>"
                              + offers + "</offers></settings>\n");
}

void TestProjectSession::Make(Change change, Model &model, Filter &filter)
{
    Offer &shop = model.Offers().first();
    switch (change) {
    case None:
        break;
    case OfferRule:
        shop.exclude << CategoryRule::FromText(QStringLiteral("Outlet"));
        break;
    case NewOffer:
        model.FindOrCreateOffer(QStringLiteral("New"));
        break;
    case SiteOption:
        model.SetOption(QStringLiteral("export/modx/host"), QStringLiteral("new.site"));
        break;
    case FilterPrice:
        filter.priceLow = 100;
        break;
    case UncheckedCategory:
        filter.uncheckedCategories.insert(model.Root().FindOrCreatePath(QStringLiteral("Shoes/Boots")));
        break;
    case FilterBackAndForth:
        filter.searchText = QStringLiteral("boots");
        filter.searchText.clear();
        break;
    case LoadedGoods:
        shop.hasGoods = true;
        shop.exportLoaded = true;
        shop.categories.insert(QStringLiteral("Shoes"));
        break;
    }
}

void TestProjectSession::unsavedChanges_data()
{
    QTest::addColumn<int>("change");
    QTest::addColumn<bool>("unsaved");
    QTest::newRow("nothing") << int(None) << false;
    QTest::newRow("a rule of an offer") << int(OfferRule) << true;
    QTest::newRow("a new offer") << int(NewOffer) << true;
    QTest::newRow("the site's address") << int(SiteOption) << true;
    QTest::newRow("the filter's price") << int(FilterPrice) << true;
    QTest::newRow("an unchecked category") << int(UncheckedCategory) << true;
    QTest::newRow("a filter changed and put back") << int(FilterBackAndForth) << false;
    QTest::newRow("goods loaded") << int(LoadedGoods) << false;
}

void TestProjectSession::unsavedChanges()
{
    QFETCH(int, change);
    QFETCH(bool, unsaved);

    // A project of its own file shows what it has not saved there.
    const QString path = WriteProject(QStringLiteral("shop.fdm"));
    Model model;
    Filter filter;
    ProjectSession session(model, filter, m_autosave);
    QVERIFY(session.Start(&path).isEmpty());
    QCOMPARE(session.ProjectPath(), path);
    QVERIFY(!session.HasUnsavedChanges());
    QCOMPARE(session.Title(), QStringLiteral("shop.fdm[*] — Товары"));
    Make(Change(change), model, filter);
    QCOMPARE(session.HasUnsavedChanges(), unsaved);
}

void TestProjectSession::confirmDiscard_data()
{
    QTest::addColumn<bool>("fromFile");   // else the autosaved project
    QTest::addColumn<bool>("withOffers"); // else a project of options alone
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QString>("question");
    QTest::addColumn<IDiscardQuestions::Answer>("answer");
    QTest::addColumn<bool>("goOn");
    QTest::addColumn<bool>("result");
    QTest::addColumn<int>("asked");
    QTest::addColumn<bool>("saved"); // the change reached the project's file

    using A = IDiscardQuestions::Answer;
    QTest::newRow("autosaved, nothing to ask") << false << true << true << QString() << A::Cancel << false << true
                                               << 0 << false;
    QTest::newRow("autosaved, question declined") << false << true << true << "Start anew?" << A::Cancel << false
                                                  << false << 1 << false;
    QTest::newRow("file unchanged, question agreed") << true << true << false << "Start anew?" << A::Cancel << true
                                                     << true << 1 << false;
    QTest::newRow("changes cancelled") << true << true << true << "Start anew?" << A::Cancel << true << false << 1
                                       << false;
    QTest::newRow("changes discarded") << true << true << true << "Start anew?" << A::Discard << false << true << 1
                                       << false;
    QTest::newRow("changes saved") << true << true << true << QString() << A::Save << false << true << 1 << true;
    QTest::newRow("no offers to lose") << true << false << true << "Start anew?" << A::Cancel << false << true << 0
                                       << false;
}

void TestProjectSession::confirmDiscard()
{
    QFETCH(bool, fromFile);
    QFETCH(bool, withOffers);
    QFETCH(bool, changed);
    QFETCH(QString, question);
    QFETCH(IDiscardQuestions::Answer, answer);
    QFETCH(bool, goOn);
    QFETCH(bool, result);
    QFETCH(int, asked);
    QFETCH(bool, saved);

    const QString path = WriteProject(fromFile ? QStringLiteral("shop.fdm") : QStringLiteral("last.fdm"), withOffers);
    const QByteArray before = ReadBytes(path);
    Model model;
    Filter filter;
    ProjectSession session(model, filter, m_autosave);
    session.Start(fromFile ? &path : nullptr);
    if (changed)
        filter.priceHigh = 500;

    ScriptedUser user;
    user.answer = answer;
    user.goOn = goOn;
    QCOMPARE(session.ConfirmDiscard(question, user), result);
    QCOMPARE(user.asked.size(), asked);
    if (fromFile && changed && withOffers)
        QCOMPARE(user.asked.first(), QStringLiteral("shop.fdm"));
    QCOMPARE(ReadBytes(path) != before, saved);
    if (saved) {
        QVERIFY(ReadBytes(path).contains("<high val=\"500\"/>"));
        QVERIFY(!session.HasUnsavedChanges());
    }
    QVERIFY(session.ErrorText().isEmpty());
}

void TestProjectSession::saveAsThenSave()
{
    Model model;
    Filter filter;
    ProjectSession session(model, filter, m_autosave);
    session.Start(nullptr);
    model.FindOrCreateOffer(QStringLiteral("Shop"));

    // "Save as" makes the file the project's own.
    const QString path = m_dir->filePath(QStringLiteral("mine.fdm"));
    QVERIFY(session.SaveAs(path));
    QCOMPARE(session.ProjectPath(), path);
    QCOMPARE(session.Title(), QStringLiteral("mine.fdm[*] — Товары"));
    QVERIFY(!session.HasUnsavedChanges());
    QVERIFY(ReadBytes(path).contains("name=\"Shop\""));

    // A save into the autosave file alone leaves the project's file behind.
    model.FindOrCreateOffer(QStringLiteral("Second"));
    QVERIFY(session.HasUnsavedChanges());
    QVERIFY(session.SaveAs(QString()));
    QVERIFY(ReadBytes(m_autosave).contains("name=\"Second\""));
    QVERIFY(session.HasUnsavedChanges());
    QVERIFY(!ReadBytes(path).contains("name=\"Second\""));

    // Saving again into the project's own file.
    QVERIFY(session.SaveAs(session.ProjectPath()));
    QVERIFY(!session.HasUnsavedChanges());
    QVERIFY(ReadBytes(path).contains("name=\"Second\""));
}

void TestProjectSession::autosave()
{
    Model model;
    Filter filter;
    ProjectSession session(model, filter, m_autosave);
    session.Start(nullptr);
    QCOMPARE(session.AutosavePath(), m_autosave);

    // Nothing changed: nothing is written.
    QVERIFY(session.Autosave());
    QVERIFY(!QFileInfo::exists(m_autosave));

    // The autosaved project has no unsaved changes: they are never lost.
    model.FindOrCreateOffer(QStringLiteral("Shop"));
    QVERIFY(!session.HasUnsavedChanges());
    QCOMPARE(session.Title(), QStringLiteral("Товары"));
    QVERIFY(session.Autosave());
    QVERIFY(ReadBytes(m_autosave).contains("name=\"Shop\""));
    QFile::remove(m_autosave);
    QVERIFY(session.Autosave());
    QVERIFY(!QFileInfo::exists(m_autosave));

    // The program's end writes it whatever changed, with the live filter.
    filter.priceLow = 7;
    QVERIFY(session.SaveOnExit());
    QVERIFY(ReadBytes(m_autosave).contains("<low val=\"7\"/>"));
    QCOMPARE(model.Option(QStringLiteral("filter/price/low")), QStringLiteral("7"));
}

void TestProjectSession::failedSaveKeepsTheProject_data()
{
    QTest::addColumn<bool>("confirming"); // the save the question before a discard chose, else "save as"
    QTest::newRow("save as into a missing folder") << false;
    QTest::newRow("save chosen, the file became a folder") << true;
}

void TestProjectSession::failedSaveKeepsTheProject()
{
    QFETCH(bool, confirming);

    QString path = WriteProject(QStringLiteral("shop.fdm"));
    const QByteArray before = ReadBytes(path);
    Model model;
    Filter filter;
    ProjectSession session(model, filter, m_autosave);
    session.Start(&path);
    model.FindOrCreateOffer(QStringLiteral("New"));

    if (confirming) {
        // The user's file is kept aside; a folder takes its name.
        const QString aside = m_dir->filePath(QStringLiteral("aside.fdm"));
        QVERIFY(QFile::rename(path, aside));
        QVERIFY(QDir().mkdir(path));
        ScriptedUser user;
        user.answer = IDiscardQuestions::Answer::Save;
        QVERIFY(!session.ConfirmDiscard(QString(), user));
        path = aside;
    } else {
        QVERIFY(!session.SaveAs(m_dir->filePath(QStringLiteral("missing/shop.fdm"))));
    }
    QVERIFY(!session.ErrorText().isEmpty());
    QCOMPARE(session.ProjectPath(), m_dir->filePath(QStringLiteral("shop.fdm")));
    QVERIFY(session.HasUnsavedChanges());
    QCOMPARE(ReadBytes(path), before);
}

void TestProjectSession::openAnother_data()
{
    QTest::addColumn<QByteArray>("tail"); // what follows the project's first half
    QTest::addColumn<bool>("opened");
    QTest::newRow("a whole project") << QByteArray("</offers></settings>\n") << true;
    QTest::newRow("a project cut short") << QByteArray("</offers") << false;
}

void TestProjectSession::openAnother()
{
    QFETCH(QByteArray, tail);
    QFETCH(bool, opened);

    const QString first = WriteProject(QStringLiteral("first.fdm"));
    const QString second = WriteBytes(QDir(m_dir->path()), QStringLiteral("second.fdm"),
                                      "<?xml version=\"1.0\"?><settings><options><filter><price><low val=\"3\"/>"
                                      "</price></filter></options><offers><offer name=\"Other\"/>"
                                              + tail);
    Model model;
    Filter filter;
    ProjectSession session(model, filter, m_autosave);
    session.Start(&first);
    filter.priceHigh = 9;

    int letGo = 0;
    QCOMPARE(session.Open(second, [&letGo] { ++letGo; }), opened);
    // A project that cannot be read leaves the one open as it was.
    QCOMPARE(letGo, opened ? 1 : 0);
    QCOMPARE(session.ProjectPath(), opened ? second : first);
    QCOMPARE(model.Offers().first().name, opened ? QStringLiteral("Other") : QStringLiteral("Shop"));
    QCOMPARE(filter.priceLow, opened ? 3 : -1);
    QCOMPARE(filter.priceHigh, opened ? -1 : 9);
    QCOMPARE(session.HasUnsavedChanges(), !opened);
    QCOMPARE(session.ErrorText().isEmpty(), opened);
}

QTEST_GUILESS_MAIN(TestProjectSession)
#include "tst_projectsession.moc"
