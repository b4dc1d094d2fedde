// Scales the program's icon to the sizes of the hicolor icon theme, for
// installation: fidmora_iconsizes SOURCE.png FOLDER NAME SIZE... writes
// FOLDER/<size>x<size>/apps/NAME.png for every size.
#include <cstdio>

#include <QCoreApplication>
#include <QDir>
#include <QImage>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 5) {
        std::fprintf(stderr, "usage: fidmora_iconsizes SOURCE.png FOLDER NAME SIZE...\n");
        return 2;
    }
    const QImage source(arguments.at(1));
    if (source.isNull()) {
        std::fprintf(stderr, "fidmora_iconsizes: cannot read %s\n", qPrintable(arguments.at(1)));
        return 1;
    }
    for (int i = 4; i < arguments.size(); ++i) {
        bool ok = false;
        const int size = arguments.at(i).toInt(&ok);
        if (!ok || size <= 0) {
            std::fprintf(stderr, "fidmora_iconsizes: bad size %s\n", qPrintable(arguments.at(i)));
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(arguments.at(2)).arg(size);
        const QString file = folder + QLatin1Char('/') + arguments.at(3) + QLatin1String(".png");
        const QImage scaled = source.size() == QSize(size, size)
                ? source
                : source.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (!QDir().mkpath(folder) || !scaled.save(file, "PNG")) {
            std::fprintf(stderr, "fidmora_iconsizes: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
