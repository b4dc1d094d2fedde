#include "xmlutf8device.h"

#include <cstring>

namespace {

// How much of the source a conversion takes at a time, and how far into a
// document its declaration is looked for.
const int kPiece = 64 << 10;
const int kDeclarationSpan = 1024;

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

QByteArray DeclaredEncoding(const QByteArray &head, int *start, int *length)
{
    if (!XmlUtf8Device::FindDeclaredEncoding(head, start, length))
        return QByteArray();
    const QByteArray name = head.mid(*start, *length);
    return CharsetConverter::IsUtf8Name(name) ? QByteArray() : name;
}

} // namespace

XmlUtf8Device::XmlUtf8Device(QIODevice *source)
    : m_source(source)
{
    int start = 0;
    int length = 0;
    const QByteArray head = source->peek(kDeclarationSpan);
    m_encoding = DeclaredEncoding(head, &start, &length);
    if (m_encoding.isEmpty())
        return;
    // The declaration is ASCII in any encoding that can declare itself in
    // it: it is given out as it stands, naming UTF-8, and the conversion
    // starts right after the name.
    m_head = head.left(start) + "UTF-8";
    m_skip = start + length;
    m_converter = std::make_unique<CharsetConverter>(m_encoding.constData(), "UTF-8");
}

bool XmlUtf8Device::FindDeclaredEncoding(const QByteArray &head, int *start, int *length)
{
    if (!head.startsWith("<?xml") || head.size() < 6 || !IsSpace(head.at(5)))
        return false;
    const int end = head.indexOf("?>");
    if (end < 0)
        return false;
    int at = head.indexOf("encoding", 5);
    if (at < 0 || at > end || !IsSpace(head.at(at - 1)))
        return false;
    at += 8;
    while (at < end && IsSpace(head.at(at)))
        ++at;
    if (at >= end || head.at(at) != '=')
        return false;
    ++at;
    while (at < end && IsSpace(head.at(at)))
        ++at;
    if (at >= end || (head.at(at) != '"' && head.at(at) != '\''))
        return false;
    const char quote = head.at(at++);
    const int close = head.indexOf(quote, at);
    if (close < 0 || close > end || close == at)
        return false;
    for (int i = at; i < close; ++i) {
        const char c = head.at(i);
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_'
              || c == '-'))
            return false;
    }
    *start = at;
    *length = close - at;
    return true;
}

bool XmlUtf8Device::Refill()
{
    m_buffer.clear();
    m_bufferPosition = 0;
    if (!m_started) {
        m_started = true;
        // The declaration up to its encoding's value was only looked at.
        QByteArray skipped(m_skip, Qt::Uninitialized);
        if (m_source->read(skipped.data(), m_skip) != m_skip) {
            m_error = tr("файл не удалось прочитать");
            return false;
        }
        m_buffer = m_head;
        return true;
    }
    if (m_ended || !IsSupported())
        return false;
    QByteArray piece(kPiece, Qt::Uninitialized);
    const qint64 got = m_source->read(piece.data(), kPiece);
    if (got < 0) {
        m_ended = true;
        m_error = tr("файл не удалось прочитать");
        return false;
    }
    if (got == 0) {
        m_ended = true;
        if (!m_converter->Finish())
            m_error = tr("последний символ в кодировке %1 оборван").arg(QString::fromLatin1(m_encoding));
        return false;
    }
    if (!m_converter->Append(piece.constData(), got, m_buffer)) {
        m_ended = true;
        // The skipped declaration counts in the byte's offset.
        const qint64 offset = m_converter->FailedAt() + m_skip;
        m_error = tr("байт %1 не в кодировке %2").arg(offset).arg(QString::fromLatin1(m_encoding));
        // What was converted before that byte is still read, so that the
        // reader stops where the fault is.
    }
    return true;
}

qint64 XmlUtf8Device::readData(char *data, qint64 maxSize)
{
    while (m_bufferPosition >= m_buffer.size()) {
        if (!Refill() && m_buffer.isEmpty())
            return 0;
    }
    const qint64 count = qMin(maxSize, qint64(m_buffer.size() - m_bufferPosition));
    memcpy(data, m_buffer.constData() + m_bufferPosition, size_t(count));
    m_bufferPosition += int(count);
    return count;
}

qint64 XmlUtf8Device::writeData(const char *, qint64)
{
    return -1;
}
