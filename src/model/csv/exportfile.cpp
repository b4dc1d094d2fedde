#include "exportfile.h"

#include <mutex>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include "csvmanipulator.h"
#include "platform.h"
#include "temporaryfolder.h"

namespace {

// The longest file name, in bytes, that the usual file systems take.
const int kMaxNameBytes = 255;
// What FittedName puts after a cut base: "~" and eight hex digits.
const int kDigestBytes = 9;

QString Native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

// Links followed one after the other, at most (the system's own limit).
const int kMaxLinks = 40;

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

bool ExportFile::Resolve(const QString &path, QString *resolved, QString *error)
{
    QString current = path;
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        const Platform::PathInfo link = Platform::Inspect(current);
        if (!link.isLink) {
            // Not a link, or nothing there yet: a new file.
            *resolved = current;
            return true;
        }
        const QString shownTarget = link.linkTarget;
        if (!link.trusted) {
            *error = tr("%1 — символьная ссылка другого пользователя (на %2): по ней не пишется")
                             .arg(Native(path), Native(shownTarget));
            return false;
        }
        // What the whole chain leads to, now.
        bool endTrusted = false;
        if (!Platform::InspectTarget(current, &endTrusted)) {
            *error = tr("%1 — символьная ссылка на несуществующий файл %2: по ней не пишется")
                             .arg(Native(path), Native(shownTarget));
            return false;
        }
        if (!endTrusted) {
            *error = tr("%1 — символьная ссылка на файл другого пользователя (%2): по ней не пишется")
                             .arg(Native(path), Native(shownTarget));
            return false;
        }
        const QString next = QDir::isAbsolutePath(shownTarget)
                ? shownTarget
                : QFileInfo(current).absolutePath() + QLatin1Char('/') + shownTarget;
        // The system's own links (/proc/self/fd/1, behind /dev/stdout) name
        // no path: the link is the way to its file.
        if (shownTarget.isEmpty() || !Platform::Inspect(next).exists) {
            *resolved = current;
            return true;
        }
        current = QDir::cleanPath(next);
    }
    *error = tr("%1: слишком длинная цепочка символьных ссылок").arg(Native(path));
    return false;
}

QString ExportFile::FittedName(const QString &base, const QString &suffix)
{
    const QByteArray bytes = base.toUtf8();
    const int room = kMaxNameBytes - suffix.toUtf8().size();
    if (bytes.size() <= room)
        return base;
    int cut = qMax(0, room - kDigestBytes);
    // Back to the first byte of a character.
    while (cut > 0 && (uchar(bytes.at(cut)) & 0xC0) == 0x80)
        --cut;
    const QByteArray digest = QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).left(4).toHex();
    return QString::fromUtf8(bytes.constData(), cut) + QLatin1Char('~') + QString::fromLatin1(digest);
}

CsvManipulator *ExportFile::Open()
{
    if (!Resolve(m_target, &m_place, &m_error))
        return nullptr;
    const QFileInfo info(m_place);
    if (info.isDir()) {
        m_error = tr("%1 — папка, а не файл").arg(Native(m_target));
        return nullptr;
    }
    m_writer = std::make_unique<CsvManipulator>();
    if (info.exists() && !info.isFile()) {
        // A pipe or a device (standard output) is written as it is.
        if (!m_writer->Open(m_place, false)) {
            m_error = tr("Не удалось создать файл %1: %2").arg(Native(m_target), m_writer->ErrorText());
            m_writer.reset();
            return nullptr;
        }
        return m_writer.get();
    }
    m_place = info.absoluteFilePath();
    SweepOnce(info.absolutePath());
    const QString suffix =
            QLatin1Char('.') + QString::number(Platform::ProcessId()) + QLatin1String(".part");
    const QString partial = info.absolutePath() + QLatin1Char('/')
            + FittedName(QLatin1Char('.') + info.fileName(), suffix) + suffix;
    // A part of this number left by an earlier process of the same number
    // is in the way: it goes, and the name is made anew.
    bool created = m_writer->Create(partial);
    const QFileInfo inTheWay(partial);
    if (!created && (inTheWay.isSymLink() || inTheWay.isFile())) {
        QFile::remove(partial);
        created = m_writer->Create(partial);
    }
    if (!created) {
        m_error = tr("Не удалось создать файл %1: %2").arg(Native(m_target), m_writer->ErrorText());
        m_writer.reset();
        return nullptr;
    }
    m_partial = partial;
    return m_writer.get();
}

bool ExportFile::Commit()
{
    return Finish() && Place();
}

bool ExportFile::Finish()
{
    if (!m_writer)
        return m_finished;
    const bool written = m_writer->Close();
    const QString reason = m_writer->ErrorText();
    m_writer.reset();
    if (!written) {
        m_error = reason.isEmpty() ? tr("Не удалось записать файл %1").arg(Native(m_target))
                                   : tr("Не удалось записать файл %1: %2").arg(Native(m_target), reason);
        return false;
    }
    m_finished = true;
    return true;
}

bool ExportFile::Place()
{
    if (!m_finished)
        return false;
    if (m_partial.isEmpty())
        return true;
    if (QFileInfo::exists(m_place))
        QFile::setPermissions(m_partial, QFile::permissions(m_place));
    // In one step: a link put there meanwhile is replaced, not followed.
    QString reason;
    if (!Platform::PutInPlace(m_partial, m_place, &reason)) {
        m_error = tr("Не удалось записать файл %1: %2").arg(Native(m_target), reason);
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
