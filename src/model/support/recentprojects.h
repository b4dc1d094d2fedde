#pragma once

#include <QString>
#include <QStringList>

// The projects opened or saved last on this machine, newest first: a
// setting of the machine (QSettings), not of any project.
class RecentProjects
{
public:
    static constexpr int kMax = 8;

    static QStringList List();
    // Puts the file at the top, once, and drops what falls past kMax.
    static void Add(const QString &path);
    static void Remove(const QString &path);
};
