#include <QApplication>
#include <QLocale>
#include <QTranslator>

#include "mainwindow.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    // Russian is the program's own language; other languages get a
    // translation when one is built in.
    QTranslator translator;
    if (translator.load(QLocale(), QStringLiteral("fidmora"), QStringLiteral("_"), QStringLiteral(":/translations")))
        app.installTranslator(&translator);

    const QString projectPath = MainWindow::ProjectArgument(app.arguments());
    MainWindow window(nullptr, projectPath.isNull() ? nullptr : &projectPath);
    window.show();
    return app.exec();
}
