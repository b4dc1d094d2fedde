#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "exportoptionsdialog.h"
#include "feedfile.h"
#include "filter.h"
#include "ftpexportdialog.h"
#include "ftptestservers.h"
#include "model.h"

class TestFtpExportDialog : public QObject
{
    Q_OBJECT

private slots:
    void address_data();
    void address();
    void fieldsKeptInProject_data();
    void fieldsKeptInProject();
    void okPressed_data();
    void okPressed();
};

void TestFtpExportDialog::address_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("port");

    QTest::newRow("nothing typed") << 0 << "" << "" << 0 << "ftp://localhost/export.csv" << 21;
    QTest::newRow("scheme typed in capitals") << 0 << "FTP://example.com" << "" << 0
                                              << "ftp://example.com/export.csv" << 21;
    QTest::newRow("folder names the file") << 0 << "example.com" << "sales/feed.csv" << 0
                                           << "ftp://example.com/sales/feed.csv" << 21;
    QTest::newRow("folder ends in a slash") << 0 << "example.com" << "sales/" << 0
                                            << "ftp://example.com/sales/export.csv" << 21;
    QTest::newRow("a file per category") << 0 << "example.com" << "shop" << 1 << "ftp://example.com/shop/*.csv"
                                         << 21;
    QTest::newRow("port typed after the host") << 0 << "example.com:2121" << "" << 0
                                               << "ftp://example.com:2121/export.csv" << 2121;
    QTest::newRow("ftps") << 1 << "example.com" << "" << 0 << "ftps://example.com/export.csv" << 21;
    QTest::newRow("sftp from the home folder") << 2 << "example.com" << "shop" << 1
                                               << "sftp://example.com/~/shop/*.csv" << 22;
    QTest::newRow("sftp from the root") << 2 << "example.com" << "/var/www/feed.csv" << 0
                                        << "sftp://example.com/var/www/feed.csv" << 22;
    QTest::newRow("sftp typed into the host") << 0 << "sftp://example.com:2222" << "" << 0
                                              << "sftp://example.com:2222/~/export.csv" << 2222;
}

// The address label, as the user types: what it shows is where the export
// goes, and the port field holds the port it goes to.
void TestFtpExportDialog::address()
{
    QFETCH(int, protocol);
    QFETCH(QString, host);
    QFETCH(QString, folder);
    QFETCH(int, mode);
    QFETCH(QString, shown);
    QFETCH(int, port);

    Model model;
    Filter filter;
    FtpExportDialog dialog(&model, &filter);
    dialog.findChild<QComboBox *>(QStringLiteral("protocolCombo"))->setCurrentIndex(protocol);
    dialog.findChild<QComboBox *>(QStringLiteral("modeCombo"))->setCurrentIndex(mode);
    QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("hostEdit")), host);
    QTest::keyClicks(dialog.findChild<QLineEdit *>(QStringLiteral("pathEdit")), folder);

    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("pathLabel"))->text(), shown);
    QCOMPARE(dialog.findChild<QSpinBox *>(QStringLiteral("portSpin"))->value(), port);
}

void TestFtpExportDialog::fieldsKeptInProject_data()
{
    QTest::addColumn<bool>("remember");
    QTest::newRow("password remembered") << true;
    QTest::newRow("password not remembered") << false;
}

// The next export is one click: the fields come back from the project's
// options, the password only when the user asked for it.
void TestFtpExportDialog::fieldsKeptInProject()
{
    QFETCH(bool, remember);

    Model model;
    Filter filter;
    model.SetOption(QStringLiteral("export/ftp/password"), QStringLiteral("kept before"));
    {
        FtpExportDialog dialog(&model, &filter);
        dialog.findChild<QComboBox *>(QStringLiteral("protocolCombo"))->setCurrentIndex(2);
        dialog.findChild<QLineEdit *>(QStringLiteral("hostEdit"))->setText(QStringLiteral("shop.example"));
        dialog.findChild<QSpinBox *>(QStringLiteral("portSpin"))->setValue(2222);
        dialog.findChild<QLineEdit *>(QStringLiteral("loginEdit"))->setText(QStringLiteral("shop"));
        dialog.findChild<QLineEdit *>(QStringLiteral("passwordEdit"))->setText(QStringLiteral("s3cret"));
        dialog.findChild<QCheckBox *>(QStringLiteral("rememberPasswordCheck"))->setChecked(remember);
        dialog.findChild<QLineEdit *>(QStringLiteral("pathEdit"))->setText(QStringLiteral("Выгрузка"));
        dialog.findChild<QComboBox *>(QStringLiteral("modeCombo"))->setCurrentIndex(1);
        dialog.findChild<QCheckBox *>(QStringLiteral("insecureCheck"))->setChecked(true);
        dialog.findChild<QLineEdit *>(QStringLiteral("keyFileEdit"))->setText(QStringLiteral("/home/shop/key"));
        dialog.StoreFields();
    }
    QCOMPARE(model.Options().contains(QStringLiteral("export/ftp/password")), remember);

    FtpExportDialog again(&model, &filter);
    QCOMPARE(again.findChild<QComboBox *>(QStringLiteral("protocolCombo"))->currentIndex(), 2);
    QCOMPARE(again.findChild<QSpinBox *>(QStringLiteral("portSpin"))->value(), 2222);
    QCOMPARE(again.findChild<QLineEdit *>(QStringLiteral("loginEdit"))->text(), QStringLiteral("shop"));
    QCOMPARE(again.findChild<QLineEdit *>(QStringLiteral("passwordEdit"))->text(),
             remember ? QStringLiteral("s3cret") : QString());
    QCOMPARE(again.findChild<QCheckBox *>(QStringLiteral("insecureCheck"))->isChecked(), true);
    QCOMPARE(again.findChild<QLineEdit *>(QStringLiteral("keyFileEdit"))->text(), QStringLiteral("/home/shop/key"));
    QCOMPARE(again.findChild<QLabel *>(QStringLiteral("pathLabel"))->text(),
             QStringLiteral("sftp://shop.example:2222/~/%D0%92%D1%8B%D0%B3%D1%80%D1%83%D0%B7%D0%BA%D0%B0/*.csv"));
}

void TestFtpExportDialog::okPressed_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<bool>("closed");

    QTest::newRow("refused login") << "wrong" << QStringList{"Соединение недоступно|Неверный логин или пароль"}
                                   << false;
    QTest::newRow("exported") << "s3cret" << QStringList{"Экспорт|Экспорт завершён удачно"} << true;
}

// OK tests the connection, asks for the columns and exports; a refused
// login is told before anything is saved, and the dialog stays to mend it.
void TestFtpExportDialog::okPressed()
{
    QFETCH(QString, password);
    QFETCH(QStringList, boxes);
    QFETCH(bool, closed);

    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("root"));
    FtpTestServers::PyFtpd server;
    const QString error = server.Start(dir.filePath(QStringLiteral("root")), QStringLiteral("shop"),
                                       QStringLiteral("s3cret"));
    if (server.Missing())
        QSKIP(qPrintable(error));
    QVERIFY2(error.isEmpty(), qPrintable(error));

    Model model;
    Filter filter;
    QVERIFY(model.AddFile(WriteFeed(QDir(dir.path()), QStringLiteral("feed.csv"),
                                    {QStringLiteral("id;name;price;categoryId"), QStringLiteral("1;Сапоги;100;Обувь"),
                                     QStringLiteral("2;Платье;250;Одежда")})));
    FtpExportDialog dialog(&model, &filter);
    dialog.findChild<QLineEdit *>(QStringLiteral("hostEdit"))
            ->setText(QStringLiteral("127.0.0.1:%1").arg(server.Port()));
    dialog.findChild<QLineEdit *>(QStringLiteral("loginEdit"))->setText(QStringLiteral("shop"));
    dialog.findChild<QLineEdit *>(QStringLiteral("passwordEdit"))->setText(password);
    dialog.findChild<QLineEdit *>(QStringLiteral("pathEdit"))->setText(QStringLiteral("Выгрузка/"));

    // Answers every box and accepts the columns as offered.
    QStringList seen;
    QTimer answer;
    connect(&answer, &QTimer::timeout, [&seen]() {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            seen << box->windowTitle() + QLatin1Char('|') + box->text();
            box->done(QMessageBox::Ok);
        } else if (auto *columns = qobject_cast<ExportOptionsDialog *>(modal)) {
            columns->accept();
        }
    });
    answer.start(50);
    dialog.show();
    dialog.accept();
    answer.stop();

    QCOMPARE(seen, boxes);
    QCOMPARE(dialog.result() == QDialog::Accepted, closed);
    const QString uploaded = dir.filePath(QStringLiteral("root/Выгрузка/export.csv"));
    QCOMPARE(QFile::exists(uploaded), closed);
    if (closed)
        QCOMPARE(ReadCsv(uploaded).size(), 3);
}

QTEST_MAIN(TestFtpExportDialog)
#include "tst_ftpexportdialog.moc"
