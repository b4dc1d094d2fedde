#pragma once

#include <QDir>
#include <QFile>
#include <QStringList>

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
