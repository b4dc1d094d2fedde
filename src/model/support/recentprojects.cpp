#include "recentprojects.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include "platform.h"
#include "schema.h"

namespace {

QSettings MachineSettings()
{
    return QSettings(QSettings::UserScope, QStringLiteral("fidmora"), QStringLiteral("fidmora"));
}

QString Normalised(const QString &path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool SameFile(const QString &a, const QString &b)
{
    return Platform::SameFileName(a, b);
}

void Store(const QStringList &paths)
{
    QSettings settings = MachineSettings();
    settings.setValue(Schema::Setting::RecentProjects, paths);
}

} // namespace

QStringList RecentProjects::List()
{
    QStringList paths = MachineSettings().value(Schema::Setting::RecentProjects).toStringList();
    paths.removeAll(QString());
    while (paths.size() > kMax)
        paths.removeLast();
    return paths;
}

void RecentProjects::Add(const QString &path)
{
    if (path.isEmpty())
        return;
    const QString file = Normalised(path);
    QStringList paths = List();
    for (int i = paths.size() - 1; i >= 0; --i) {
        if (SameFile(paths.at(i), file))
            paths.removeAt(i);
    }
    paths.prepend(file);
    while (paths.size() > kMax)
        paths.removeLast();
    Store(paths);
}

void RecentProjects::Remove(const QString &path)
{
    const QString file = Normalised(path);
    QStringList paths = List();
    for (int i = paths.size() - 1; i >= 0; --i) {
        if (SameFile(paths.at(i), file))
            paths.removeAt(i);
    }
    Store(paths);
}
