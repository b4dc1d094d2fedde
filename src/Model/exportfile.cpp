#include "exportfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include "csvmanipulator.h"
#include "temporaryfolder.h"

namespace {

QString Native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

ExportFile::ExportFile(const QString &target) : m_target(target)
{
}

ExportFile::~ExportFile()
{
    m_writer.reset();
    if (!m_partial.isEmpty())
        QFile::remove(m_partial);
}

CsvManipulator *ExportFile::Open()
{
    QFileInfo info(m_target);
    if (info.exists() && info.isDir()) {
        m_error = tr("%1 — папка, а не файл").arg(Native(m_target));
        return nullptr;
    }
    QString path = m_target;
    if (!info.exists() || info.isFile()) {
        // A link is followed: the file it points at is replaced, the link stays.
        if (info.isSymLink())
            info.setFile(info.symLinkTarget());
        m_target = info.absoluteFilePath();
        SweepOnce(info.absolutePath());
        m_partial = info.absolutePath() + QLatin1String("/.") + info.fileName() + QLatin1Char('.')
                + QString::number(QCoreApplication::applicationPid()) + QLatin1String(".part");
        path = m_partial;
    }
    m_writer.reset(CreateCsvWriter(path));
    if (!m_writer) {
        m_error = tr("Не удалось создать файл %1").arg(Native(m_target));
        m_partial.clear();
        return nullptr;
    }
    return m_writer.get();
}

bool ExportFile::Commit()
{
    if (!m_writer)
        return false;
    const bool written = m_writer->Close();
    m_writer.reset();
    if (!written) {
        m_error = tr("Не удалось записать файл %1").arg(Native(m_target));
        return false;
    }
    if (m_partial.isEmpty())
        return true;
    if (QFileInfo::exists(m_target))
        QFile::setPermissions(m_partial, QFile::permissions(m_target));
    // rename() replaces the target in one step; QFile::rename would not
    // replace an existing file.
    if (std::rename(QFile::encodeName(m_partial).constData(), QFile::encodeName(m_target).constData()) != 0) {
        m_error = tr("Не удалось записать файл %1: %2").arg(Native(m_target), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    m_partial.clear();
    return true;
}

void ExportFile::SweepOnce(const QString &folder)
{
    // A save by categories opens thousands of files in one folder: listing
    // the folder for each of them made the save quadratic. A folder is swept
    // the first time this process writes there; parts that a process
    // leaves after that are swept at a later start.
    static std::mutex lock;
    static QSet<QString> swept;
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (swept.contains(folder))
            return;
        swept.insert(folder);
    }
    RemoveStaleParts(folder);
}

void ExportFile::RemoveStaleParts(const QString &folder)
{
    static const QRegularExpression partial(QStringLiteral("^\\..+\\.(\\d+)\\.part$"));
    QDirIterator it(folder, QStringList() << QStringLiteral(".*.part"), QDir::Files | QDir::Hidden);
    while (it.hasNext()) {
        const QString path = it.next();
        const QRegularExpressionMatch match = partial.match(it.fileName());
        if (match.hasMatch() && !TemporaryFolder::ProcessRuns(match.captured(1).toLongLong()))
            QFile::remove(path);
    }
}
