#include "temporaryfolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include "platform.h"

namespace {

const char kPrefix[] = "fidmora-";
const char kOwnerFile[] = "owner.pid";

} // namespace

bool TemporaryFolder::ProcessRuns(qint64 pid)
{
    return Platform::ProcessRuns(pid);
}

TemporaryFolder::TemporaryFolder() = default;
TemporaryFolder::~TemporaryFolder() = default;

QString TemporaryFolder::Path()
{
    if (!m_dir) {
        // QTemporaryDir makes the folder with a random name, for its user
        // alone, and removes it with its content when it is destroyed.
        auto dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QLatin1Char('/') + QLatin1String(kPrefix)
                                                   + QLatin1String("XXXXXX"));
        if (!dir->isValid())
            return QString();
        QFile owner(dir->filePath(QLatin1String(kOwnerFile)));
        if (owner.open(QIODevice::WriteOnly))
            owner.write(QByteArray::number(Platform::ProcessId()));
        m_dir = std::move(dir);
    }
    return m_dir->path();
}

void TemporaryFolder::Remove()
{
    m_dir.reset();
}

QString TemporaryFolder::ExistingPath() const
{
    return m_dir ? m_dir->path() : QString();
}

QString TemporaryFolder::NewFilePath(const QString &baseName, const QString &suffix)
{
    const QString folder = Path();
    if (folder.isEmpty())
        return QString();
    for (;;) {
        const QString path = folder + QLatin1Char('/') + baseName + QLatin1Char('_')
                + QString::number(QRandomGenerator::global()->bounded(1 << 30)) + suffix;
        if (!QFileInfo::exists(path))
            return path;
    }
}

void TemporaryFolder::RemoveStale()
{
    QDirIterator it(QDir::tempPath(), QStringList() << QLatin1String(kPrefix) + QLatin1Char('*'),
                    QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    while (it.hasNext()) {
        const QString folder = it.next();
        if (!Platform::OwnedByUser(folder))
            continue;
        QFile owner(folder + QLatin1Char('/') + QLatin1String(kOwnerFile));
        if (!owner.open(QIODevice::ReadOnly))
            continue; // not one of ours, or still being made
        bool ok = false;
        const qint64 pid = owner.readAll().trimmed().toLongLong(&ok);
        owner.close();
        if (ok && !ProcessRuns(pid))
            QDir(folder).removeRecursively();
    }
}

OwnedFile::~OwnedFile()
{
    if (!m_path.isEmpty())
        QFile::remove(m_path);
}

OwnedFile &OwnedFile::operator=(OwnedFile &&other) noexcept
{
    if (this != &other) {
        if (!m_path.isEmpty())
            QFile::remove(m_path);
        m_path = other.Release();
    }
    return *this;
}

QString OwnedFile::Release()
{
    QString path = m_path;
    m_path.clear();
    return path;
}
