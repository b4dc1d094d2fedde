#include "modxwriter.h"

#include <limits>

#include <QJsonArray>

#include "iprogress.h"
#include "schema.h"

namespace {

const int kReasonsShown = 10;

int Clamped(qint64 value)
{
    return int(qMin<qint64>(value, std::numeric_limits<int>::max()));
}

const char kBodyStart[] = "{\"action\":\"update\",\"object\":[";

// Appends a text as a JSON string, encoded to UTF-8 on the way. Chunks hold
// thousands of cells: no copy of a cell is made, and the bytes go straight
// into the body. A lone half of a surrogate pair becomes "?", as in
// QString::toUtf8().
void AppendJsonString(QByteArray &out, const QString &text)
{
    static const char kHex[] = "0123456789abcdef";
    const int at = out.size();
    // At most six bytes a unit: a control character as \u00XX.
    out.resize(at + 2 + text.size() * 6);
    char *o = out.data() + at;
    *o++ = '"';
    const ushort *p = text.utf16();
    const ushort *const end = p + text.size();
    while (p != end) {
        const ushort c = *p++;
        if (c < 0x80) {
            if (c >= 0x20 && c != '"' && c != '\\') {
                *o++ = char(c);
                continue;
            }
            *o++ = '\\';
            switch (c) {
            case '"': *o++ = '"'; break;
            case '\\': *o++ = '\\'; break;
            case '\n': *o++ = 'n'; break;
            case '\r': *o++ = 'r'; break;
            case '\t': *o++ = 't'; break;
            default:
                *o++ = 'u';
                *o++ = '0';
                *o++ = '0';
                *o++ = kHex[c >> 4];
                *o++ = kHex[c & 15];
            }
        } else if (c < 0x800) {
            *o++ = char(0xC0 | (c >> 6));
            *o++ = char(0x80 | (c & 0x3F));
        } else if (!QChar::isSurrogate(c)) {
            *o++ = char(0xE0 | (c >> 12));
            *o++ = char(0x80 | ((c >> 6) & 0x3F));
            *o++ = char(0x80 | (c & 0x3F));
        } else if (QChar::isHighSurrogate(c) && p != end && QChar::isLowSurrogate(*p)) {
            const uint code = QChar::surrogateToUcs4(c, *p++);
            *o++ = char(0xF0 | (code >> 18));
            *o++ = char(0x80 | ((code >> 12) & 0x3F));
            *o++ = char(0x80 | ((code >> 6) & 0x3F));
            *o++ = char(0x80 | (code & 0x3F));
        } else {
            *o++ = '?';
        }
    }
    *o++ = '"';
    out.resize(int(o - out.constData()));
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
    m_nameAt = outputHeader.indexOf(Schema::Column::Name);
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
    // The row goes into the chunk's body at once, in the site's order of
    // columns; only its name is kept, for the site's reasons of refusal.
    if (m_names.isEmpty()) {
        m_body.clear();
        m_body.reserve(qMin(chunkSize, 10000) * 768);
        m_body += kBodyStart;
    } else {
        m_body += ',';
    }
    m_body += '[';
    for (int j = 0; j < columnMap.size(); ++j) {
        if (j > 0)
            m_body += ',';
        const int at = columnMap.at(j);
        AppendJsonString(m_body, at >= 0 && at < row.size() ? row.at(at) : QString());
    }
    m_body += ']';
    m_names.append(row.value(m_nameAt));
    if (m_names.size() >= chunkSize)
        Flush();
}

void ModxWriter::DropChunk()
{
    m_names.clear();
    m_body.clear();
}

bool ModxWriter::Flush()
{
    if (!connected)
        return false;
    const qint64 count = m_names.size();
    if (m_stopped) {
        m_totals.notTaken += count;
        DropChunk();
        return false;
    }
    const qint64 first = m_totals.sent + m_totals.notTaken + 1;
    const QString sending = count > 0 ? tr("Отправка на сайт строк %1–%2").arg(first).arg(first + count - 1)
                                      : tr("Завершение отправки на сайт");
    // Nothing goes to the site once the user has cancelled.
    if (progress && !progress->Report(Clamped(first - 1), 0, sending)) {
        m_stopped = true;
        m_totals.notTaken += count;
        DropChunk();
        m_sentence.clear();
        m_error = tr("отправка отменена");
        return false;
    }

    QJsonObject reply;
    if (count == 0)
        m_body = kBodyStart;
    m_body += "]}";
    const bool answered = PostBody(m_body, &reply, progress);
    m_body.clear();
    ReportReply(reply, progress, 0, 0);
    bool ok = answered && reply.value(QStringLiteral("success")).toBool();
    if (!answered) {
        // A site that does not answer will not answer the next chunk either,
        // and a cancel ends the sending.
        m_stopped = true;
        m_totals.notTaken += count;
    } else if (!ok) {
        m_totals.notTaken += count;
        m_sentence = RefusalSentence(reply, tr("Сайт не принял часть товаров"));
        m_error = tr("строки %1–%2 не приняты: %3").arg(first).arg(first + count - 1).arg(ReplyAccount(reply));
    } else {
        // A site that does not count its work took every row.
        const QJsonObject counts = reply.value(QStringLiteral("object")).toObject();
        const qint64 rejected = qBound(qint64(0), qint64(counts.value(QStringLiteral("rejected")).toInt()), count);
        m_totals.sent += count - rejected;
        m_totals.notTaken += rejected;
        m_totals.inserted += counts.value(QStringLiteral("inserted")).toInt();
        m_totals.updated += counts.value(QStringLiteral("updated")).toInt();
        m_totals.deleted += counts.value(QStringLiteral("deleted")).toInt();
        m_totals.absent += counts.value(QStringLiteral("absent")).toInt();
        if (rejected > 0) {
            ReportRejected(counts);
            m_sentence = tr("Сайт не принял часть товаров");
            m_error = tr("отклонено строк: %1").arg(rejected);
            ok = false;
        }
    }
    DropChunk();
    return ok;
}

void ModxWriter::ReportRejected(const QJsonObject &counts)
{
    if (!progress)
        return;
    const QJsonArray reasons = counts.value(QStringLiteral("reasons")).toArray();
    int shown = 0;
    for (const QJsonValue &value : reasons) {
        if (shown++ == kReasonsShown)
            break;
        const QJsonObject reason = value.toObject();
        const int row = reason.value(QStringLiteral("row")).toInt(-1);
        const QString name = m_names.value(row);
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
        if (m_sentence.isEmpty() && !m_stopped)
            m_sentence = tr("Сайт не принял часть товаров");
    }
    return m_result;
}

void ModxWriter::Discard()
{
    m_totals.notTaken += m_names.size();
    DropChunk();
    m_stopped = true;
    m_closed = true;
    m_result = false;
}
