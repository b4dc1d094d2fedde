#include "feedformat.h"

#include <cstring>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

namespace {

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool StartsWith(const char *p, const char *end, const char *text, bool anyCase = false)
{
    const size_t size = std::strlen(text);
    if (end - p < qint64(size))
        return false;
    return anyCase ? qstrnicmp(p, text, uint(size)) == 0 : std::memcmp(p, text, size) == 0;
}

// Just past the first occurrence of text at or after p; null when it does
// not occur before end.
const char *After(const char *p, const char *end, const char *text)
{
    const size_t size = std::strlen(text);
    for (; end - p >= qint64(size); ++p) {
        p = static_cast<const char *>(std::memchr(p, text[0], size_t(end - p)));
        if (!p || end - p < qint64(size))
            return nullptr;
        if (std::memcmp(p, text, size) == 0)
            return p + size;
    }
    return nullptr;
}

// Just past the document type declaration whose "<!DOCTYPE" ends at p: its
// closing ">" lies outside quoted literals and the internal subset, whose
// comments may hold anything. Null when it does not end before end.
const char *AfterDoctype(const char *p, const char *end)
{
    bool subset = false;
    while (p < end) {
        const char c = *p;
        if (c == '"' || c == '\'') {
            const char *close = static_cast<const char *>(std::memchr(p + 1, c, size_t(end - p - 1)));
            if (!close)
                return nullptr;
            p = close + 1;
        } else if (subset && StartsWith(p, end, "<!--")) {
            p = After(p + 4, end, "-->");
            if (!p)
                return nullptr;
        } else {
            if (c == '[')
                subset = true;
            else if (c == ']')
                subset = false;
            else if (c == '>' && !subset)
                return p + 1;
            ++p;
        }
    }
    return nullptr;
}

} // namespace

FeedFormat FeedFormat::OfFile(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        return FeedFormat();
    const QByteArray start = file.read(kLookAhead);
    return OfBytes(start.constData(), start.size());
}

FeedFormat FeedFormat::OfBytes(const char *data, qint64 size)
{
    FeedFormat format;
    const char *p = data;
    const char *end = data + size;
    if (StartsWith(p, end, "\xEF\xBB\xBF"))
        p += 3;
    while (p < end && IsSpace(*p))
        ++p;
    if (p == end || *p != '<')
        return format;
    format.kind = OtherXml;
    for (;;) {
        while (p < end && IsSpace(*p))
            ++p;
        if (p == end || *p != '<')
            return format;
        if (StartsWith(p, end, "<?")) {
            p = After(p + 2, end, "?>");
        } else if (StartsWith(p, end, "<!--")) {
            p = After(p + 4, end, "-->");
        } else if (StartsWith(p, end, "<!DOCTYPE", true)) {
            p = AfterDoctype(p + 9, end);
        } else {
            break;
        }
        if (!p)
            return format;
    }
    // The document element: its name runs up to white space, "/" or ">".
    const char *name = p + 1;
    const char *nameEnd = name;
    while (nameEnd < end && !IsSpace(*nameEnd) && *nameEnd != '/' && *nameEnd != '>' && *nameEnd != '<')
        ++nameEnd;
    if (nameEnd == end || nameEnd == name || *name == '!')
        return format;
    format.root = QString::fromUtf8(name, int(nameEnd - name));
    if (format.root == QLatin1String("dc_catalog"))
        format.kind = DcCatalog;
    else if (format.root == QLatin1String("yml_catalog"))
        format.kind = Yml;
    return format;
}
