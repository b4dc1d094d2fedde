#include "modxwriter.h"

#include <limits>

#include <QJsonArray>

#include "iprogress.h"

namespace {

const int kReasonsShown = 10;

int Clamped(qint64 value)
{
    return int(qMin<qint64>(value, std::numeric_limits<int>::max()));
}

// Appends a text as a JSON string. Chunks hold thousands of cells: they are
// encoded straight from UTF-8, without building a document first.
void AppendJsonString(QByteArray &out, const QString &text)
{
    static const char kHex[] = "0123456789abcdef";
    const QByteArray utf8 = text.toUtf8();
    out += '"';
    const char *from = utf8.constData();
    const char *const end = from + utf8.size();
    for (const char *p = from; p != end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c >= 0x20 && c != '"' && c != '\\')
            continue;
        out.append(from, int(p - from));
        from = p + 1;
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    out.append(from, int(end - from));
    out += '"';
}

} // namespace

ModxWriter::ModxWriter(const QString &host, const QString &login, const QString &password)
    : ModxManager(host, login, password)
{
}

ModxWriter::~ModxWriter()
{
    if (!m_closed && connected)
        Close();
}

void ModxWriter::WriteHeader(const QStringList &header)
{
    outputHeader = header;
    columnMap.clear();
    columnMap.reserve(siteHeader.size());
    for (const QString &column : qAsConst(siteHeader))
        columnMap.append(outputHeader.indexOf(column));
}

void ModxWriter::WriteRow(const QStringList &row)
{
    if (!connected)
        return;
    ++m_written;
    if (m_stopped || m_closed) {
        ++m_totals.notTaken;
        return;
    }
    QStringList siteRow;
    siteRow.reserve(columnMap.size());
    for (const int at : qAsConst(columnMap))
        siteRow.append(at >= 0 && at < row.size() ? row.at(at) : QString(QLatin1String("")));
    rowBuffer.append(siteRow);
    if (rowBuffer.size() >= chunkSize)
        Flush();
}

QByteArray ModxWriter::ChunkBody() const
{
    QByteArray body;
    body.reserve(rowBuffer.size() * 256 + 64);
    body += "{\"action\":\"update\",\"object\":[";
    for (int i = 0; i < rowBuffer.size(); ++i) {
        if (i > 0)
            body += ',';
        body += '[';
        const QStringList &row = rowBuffer.at(i);
        for (int j = 0; j < row.size(); ++j) {
            if (j > 0)
                body += ',';
            AppendJsonString(body, row.at(j));
        }
        body += ']';
    }
    body += "]}";
    return body;
}

bool ModxWriter::Flush()
{
    if (!connected)
        return false;
    const qint64 count = rowBuffer.size();
    if (m_stopped) {
        m_totals.notTaken += count;
        rowBuffer.clear();
        return false;
    }
    const qint64 first = m_totals.sent + m_totals.notTaken + 1;
    const QString sending = count > 0 ? tr("Отправка на сайт строк %1–%2").arg(first).arg(first + count - 1)
                                      : tr("Завершение отправки на сайт");
    // Nothing goes to the site once the user has cancelled.
    if (progress && !progress->Report(Clamped(first - 1), 0, sending)) {
        m_stopped = true;
        m_totals.notTaken += count;
        rowBuffer.clear();
        m_error = tr("отправка отменена");
        return false;
    }

    QJsonObject reply;
    const bool answered = PostBody(ChunkBody(), &reply, progress);
    ReportReply(reply, progress, 0, 0);
    bool ok = answered && reply.value(QStringLiteral("success")).toBool();
    if (!answered) {
        // A site that does not answer will not answer the next chunk either,
        // and a cancel ends the sending.
        m_stopped = true;
        m_totals.notTaken += count;
    } else if (!ok) {
        m_totals.notTaken += count;
        m_error = tr("строки %1–%2 не приняты: %3")
                          .arg(first)
                          .arg(first + count - 1)
                          .arg(reply.value(QStringLiteral("message")).toString());
    } else {
        // A site that does not count its work took every row.
        const QJsonObject counts = reply.value(QStringLiteral("object")).toObject();
        const qint64 rejected = qBound<qint64>(0, counts.value(QStringLiteral("rejected")).toInt(), count);
        m_totals.sent += count - rejected;
        m_totals.notTaken += rejected;
        m_totals.inserted += counts.value(QStringLiteral("inserted")).toInt();
        m_totals.updated += counts.value(QStringLiteral("updated")).toInt();
        m_totals.deleted += counts.value(QStringLiteral("deleted")).toInt();
        m_totals.absent += counts.value(QStringLiteral("absent")).toInt();
        if (rejected > 0) {
            ReportRejected(counts);
            m_error = tr("отклонено строк: %1").arg(rejected);
            ok = false;
        }
    }
    rowBuffer.clear();
    return ok;
}

void ModxWriter::ReportRejected(const QJsonObject &counts)
{
    if (!progress)
        return;
    const QJsonArray reasons = counts.value(QStringLiteral("reasons")).toArray();
    const int nameAt = siteHeader.indexOf(QStringLiteral("name"));
    int shown = 0;
    for (const QJsonValue &value : reasons) {
        if (shown++ == kReasonsShown)
            break;
        const QJsonObject reason = value.toObject();
        const int row = reason.value(QStringLiteral("row")).toInt(-1);
        const QString name = row >= 0 && row < rowBuffer.size() && nameAt >= 0 ? rowBuffer.at(row).at(nameAt)
                                                                                : QString();
        progress->Report(0, 0, tr("Сайт не принял товар «%1»: %2")
                                       .arg(name, reason.value(QStringLiteral("reason")).toString()));
    }
}

bool ModxWriter::Close()
{
    if (m_closed)
        return m_result;
    m_closed = true;
    if (!connected) {
        m_result = false;
        return false;
    }
    Flush();
    m_result = !m_stopped && m_totals.notTaken == 0;
    if (m_totals.notTaken > 0) {
        const QString summary = tr("Сайт %1 не принял %2 строк из %3").arg(host).arg(m_totals.notTaken).arg(m_written);
        if (progress)
            progress->Report(0, 0, summary);
        m_error = m_error.isEmpty() ? summary : summary + QLatin1String(": ") + m_error;
    }
    return m_result;
}

void ModxWriter::Discard()
{
    m_totals.notTaken += rowBuffer.size();
    rowBuffer.clear();
    m_stopped = true;
    m_closed = true;
    m_result = false;
}
