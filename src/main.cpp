#include <QApplication>
#include <QFileInfo>
#include <QLocale>
#include <QTranslator>

#include "mainwindow.h"

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    // Russian is the program's own language; other locales get a translation
    // when one is built in.
    QTranslator translator;
    if (translator.load(QLocale(), QStringLiteral("fidmora"), QStringLiteral("_"), QStringLiteral(":/translations")))
        app.installTranslator(&translator);

    const QStringList arguments = app.arguments();
    QString projectPath;
    const bool haveProject = arguments.size() > 1 && QFileInfo(arguments.at(1)).isFile();
    if (haveProject)
        projectPath = arguments.at(1);

    MainWindow window(nullptr, haveProject ? &projectPath : nullptr);
    window.show();
    return app.exec();
}
