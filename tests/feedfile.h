#pragma once

#include <memory>

#include <QDir>
#include <QFile>
#include <QStringList>

#include "csvmanipulator.h"

// Writes a small feed for a test: the lines are joined with "\r\n".
inline QString WriteFeed(const QDir &dir, const QString &name, const QStringList &lines)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n");
    return path;
}

inline QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// Writes a file for a test byte for byte.
inline QString WriteBytes(const QDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// The header and rows of a CSV file, read by the catalogue's own reader.
inline QList<QStringList> ReadCsv(const QString &path)
{
    QList<QStringList> rows;
    std::unique_ptr<IReader> reader(OpenCsvReader(path));
    if (!reader)
        return rows;
    rows << reader->Header();
    for (QStringList row = reader->NextRow(); !row.isEmpty(); row = reader->NextRow())
        rows << row;
    return rows;
}
