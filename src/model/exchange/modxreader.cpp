#include "modxreader.h"

#include <limits>

#include "csvmanipulator.h"
#include "iprogress.h"
#include "modxchunkparser.h"

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
        m_sentence = tr("Сайт прислал строки, которые не подходят к его колонкам");
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
    return Fetch(nullptr);
}

bool ModxReader::CopyRows(CsvManipulator *csv)
{
    if (!connected || m_failed)
        return false;
    position = 0;
    QByteArray rows;
    rows.reserve(1 << 20);
    while (position < existDataSize) {
        rows.resize(0);
        if (!Fetch(&rows))
            return false;
        csv->WriteRaw(rows.constData(), rows.size());
        const qint64 kept = qMin<qint64>(chunkSize, existDataSize - loadedOffset);
        position = loadedOffset + kept;
        m_rowsRead += kept;
    }
    return true;
}

bool ModxReader::Fetch(QByteArray *csvRows)
{
    rowBuffer.clear();
    loadedOffset = position / chunkSize * chunkSize;
    const qint64 expected = qMin<qint64>(chunkSize, existDataSize - loadedOffset);
    const QJsonDocument request = Request(QStringLiteral("data"), QJsonObject{{QStringLiteral("limit"), chunkSize},
                                                                             {QStringLiteral("offset"),
                                                                              QJsonValue(loadedOffset)}});
    QJsonObject reply;
    QByteArray body;
    const bool answered = PostBody(request.toJson(QJsonDocument::Compact), &reply, progress, &body);

    // A row counts only when it has one text per column (an empty cell may
    // come as null); anything else would shift the cells of the copy.
    ModxChunkParser parser = csvRows ? ModxChunkParser(siteHeader.size(), int(expected), csvRows)
                                     : ModxChunkParser(siteHeader.size(), int(expected), &rowBuffer);
    if (answered) {
        if (parser.Parse(body)) {
            reply = QJsonObject{{QStringLiteral("success"), parser.Success()}};
            if (!parser.Message().isEmpty())
                reply.insert(QStringLiteral("message"), parser.Message());
        } else {
            reply = ParseReply(body);
        }
        body.clear();
    }
    const bool goOn = ReportReply(reply, progress, Clamped(loadedOffset + expected), Clamped(existDataSize));
    if (Cancelled() || !goOn) {
        m_sentence.clear();
        return Fail(tr("чтение отменено"));
    }
    if (!answered)
        return Fail(m_error);
    if (!reply.value(QStringLiteral("success")).toBool()) {
        m_sentence = RefusalSentence(reply, tr("Сайт не отдал свои товары"));
        return Fail(tr("сайт не отдал строки с %1: %2").arg(loadedOffset + 1).arg(ReplyAccount(reply)));
    }
    if (parser.Kept() < expected) {
        m_sentence = tr("Сайт прислал строки, которые не подходят к его колонкам");
        return Fail(tr("в порции с %1 строки сайт прислал %2 годных строк из %3 (негодных %4)")
                            .arg(loadedOffset + 1)
                            .arg(parser.Kept())
                            .arg(expected)
                            .arg(parser.Unusable()));
    }
    return true;
}
