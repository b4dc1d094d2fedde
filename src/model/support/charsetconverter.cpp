#include "charsetconverter.h"

#include <cerrno>

#include <iconv.h>

namespace {

const iconv_t kNoHandle = reinterpret_cast<iconv_t>(-1);

} // namespace

CharsetConverter::CharsetConverter(const char *from, const char *to)
    : m_handle(iconv_open(to, from))
{
}

CharsetConverter::~CharsetConverter()
{
    if (IsValid())
        iconv_close(static_cast<iconv_t>(m_handle));
}

bool CharsetConverter::IsValid() const
{
    return m_handle != kNoHandle;
}

bool CharsetConverter::Append(const char *data, qint64 size, QByteArray &out)
{
    if (!IsValid() || m_failedAt >= 0)
        return false;
    // The start of a character cut at the end of the last piece goes first.
    QByteArray joined;
    if (!m_cut.isEmpty()) {
        joined = m_cut;
        joined.append(data, int(size));
        data = joined.constData();
        size = joined.size();
        m_cut.clear();
    }
    auto *in = const_cast<char *>(data);
    size_t inLeft = size_t(size);
    while (inLeft > 0) {
        // Every encoding iconv knows takes at most four bytes of UTF-8 (or
        // of anything else) per input byte, plus a shift sequence.
        const qint64 room = qint64(inLeft) * 4 + 16;
        const int was = out.size();
        out.resize(was + int(room));
        char *outStart = out.data() + was;
        char *outPointer = outStart;
        size_t outLeft = size_t(room);
        const size_t result = iconv(static_cast<iconv_t>(m_handle), &in, &inLeft, &outPointer, &outLeft);
        const int error = errno;
        out.resize(was + int(outPointer - outStart));
        if (result != size_t(-1))
            break;
        if (error == E2BIG)
            continue;
        if (error == EINVAL) {
            // A character cut short: it waits for the next piece.
            m_cut = QByteArray(in, int(inLeft));
            break;
        }
        m_failedAt = m_consumed + qint64(in - data);
        return false;
    }
    m_consumed += size - qint64(m_cut.size());
    return true;
}

bool CharsetConverter::Finish()
{
    if (!IsValid() || m_failedAt >= 0)
        return false;
    if (!m_cut.isEmpty()) {
        m_failedAt = m_consumed;
        return false;
    }
    return true;
}

bool CharsetConverter::Convert(const QByteArray &text, const char *from, const char *to, QByteArray *out)
{
    CharsetConverter converter(from, to);
    out->clear();
    return converter.Append(text.constData(), text.size(), *out) && converter.Finish();
}

bool CharsetConverter::IsUtf8Name(const QByteArray &name)
{
    const QByteArray lower = name.toLower();
    return lower == "utf-8" || lower == "utf8";
}
