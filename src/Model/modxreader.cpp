#include "modxreader.h"

#include <limits>

#include <QJsonArray>

#include "iprogress.h"

namespace {

int Clamped(qint64 value)
{
    return int(qMin<qint64>(value, std::numeric_limits<int>::max()));
}

} // namespace

ModxReader::ModxReader(const QString &host, const QString &login, const QString &password)
    : ModxManager(host, login, password)
{
}

ModxReader::~ModxReader() = default;

const QStringList &ModxReader::Header() const
{
    return siteHeader;
}

QStringList ModxReader::NextRow()
{
    if (!connected || m_failed || position < 0 || position >= existDataSize)
        return emptyRow;
    const qint64 chunkStart = position / chunkSize * chunkSize;
    if ((rowBuffer.isEmpty() || loadedOffset != chunkStart) && !FetchChunk())
        return emptyRow;
    const qint64 i = position - chunkStart;
    if (i >= rowBuffer.size()) {
        Fail(tr("в порции с %1 строки нет строки %2").arg(chunkStart + 1).arg(position + 1));
        return emptyRow;
    }
    ++position;
    ++m_rowsRead;
    return rowBuffer.at(int(i));
}

QStringList ModxReader::RowAt(qint64 index)
{
    if (!connected)
        return emptyRow;
    position = index;
    return NextRow();
}

qint64 ModxReader::Position() const
{
    return connected ? position : 0;
}

void ModxReader::SetOwnerThread(QThread *thread)
{
    Q_UNUSED(thread)
}

bool ModxReader::Fail(const QString &why)
{
    m_failed = true;
    m_error = why;
    rowBuffer.clear();
    return false;
}

bool ModxReader::FetchChunk()
{
    rowBuffer.clear();
    loadedOffset = position / chunkSize * chunkSize;
    QJsonObject reply;
    const bool answered = Post(Request(QStringLiteral("data"),
                                       QJsonObject{{QStringLiteral("limit"), chunkSize},
                                                   {QStringLiteral("offset"), QJsonValue(loadedOffset)}}),
                               &reply, progress);
    const qint64 expected = qMin<qint64>(chunkSize, existDataSize - loadedOffset);
    const bool goOn = ReportReply(reply, progress, Clamped(loadedOffset + expected), Clamped(existDataSize));
    if (Cancelled() || !goOn)
        return Fail(tr("чтение отменено"));
    if (!answered)
        return Fail(m_error);
    if (!reply.value(QStringLiteral("success")).toBool()) {
        return Fail(tr("сайт не отдал строки с %1: %2")
                            .arg(loadedOffset + 1)
                            .arg(reply.value(QStringLiteral("message")).toString()));
    }

    // A row counts only when it has one text per column (an empty cell may
    // come as null); anything else would shift the cells of the copy.
    const QJsonArray rows = reply.value(QStringLiteral("object")).toArray();
    const int columns = siteHeader.size();
    int unusable = 0;
    for (const QJsonValue &value : rows) {
        if (rowBuffer.size() == expected)
            break;
        const QJsonArray cells = value.toArray();
        if (!value.isArray() || cells.size() != columns) {
            ++unusable;
            continue;
        }
        QStringList row;
        row.reserve(columns);
        for (const QJsonValue &cell : cells) {
            if (cell.isString())
                row.append(cell.toString());
            else if (cell.isNull())
                row.append(QString());
            else
                break;
        }
        if (row.size() != columns) {
            ++unusable;
            continue;
        }
        rowBuffer.append(row);
    }
    if (rowBuffer.size() < expected) {
        return Fail(tr("в порции с %1 строки сайт прислал %2 годных строк из %3 (негодных %4)")
                            .arg(loadedOffset + 1)
                            .arg(rowBuffer.size())
                            .arg(expected)
                            .arg(unusable));
    }
    return true;
}
