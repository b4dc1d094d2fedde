#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// What the fuzz targets share: the application object that the model's
// threads and texts expect, and a private folder for the files the readers
// take the fuzzer's bytes from and write their results into.
namespace FuzzFiles {

inline QCoreApplication &Application()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
    return application;
}

inline QDir Folder()
{
    static QTemporaryDir folder;
    if (!folder.isValid())
        std::abort();
    return QDir(folder.path());
}

// Writes the bytes to a file of the folder and gives its path.
inline QString Write(const char *name, const uint8_t *data, size_t size)
{
    const QString path = Folder().filePath(QLatin1String(name));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
            || file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size))
        std::abort();
    return path;
}

// Stops the run, so that libFuzzer keeps the input, when a property that
// must hold for every input does not.
inline void Require(bool holds, const char *what)
{
    if (!holds) {
        qWarning("property broken: %s", what);
        std::abort();
    }
}

} // namespace FuzzFiles
