#include "goodtextmatcher.h"

#include <cstring>

#include "csvmanipulator.h"
#include "csvrawrow.h"
#include "good.h"
#include "source.h"

namespace {

inline char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
}

} // namespace

GoodTextMatcher::GoodTextMatcher(const QString &text)
    : m_text(text)
    , m_raw(std::make_unique<CsvRawRow>())
{
    m_ascii = true;
    for (const QChar c : text) {
        if (c.unicode() >= 0x80) {
            m_ascii = false;
            break;
        }
    }
    if (m_ascii)
        m_asciiLower = text.toLatin1().toLower();
}

GoodTextMatcher::~GoodTextMatcher() = default;

bool GoodTextMatcher::MatchesBytes(const char *data, int size) const
{
    // ASCII letters never stand inside a character of several bytes in
    // UTF-8, so the bytes can be compared as they are.
    const int length = m_asciiLower.size();
    const char *needle = m_asciiLower.constData();
    const char first = needle[0];
    const char firstUpper = (first >= 'a' && first <= 'z') ? char(first - ('a' - 'A')) : first;
    for (int at = 0; at + length <= size; ++at) {
        const char c = data[at];
        if (c != first && c != firstUpper)
            continue;
        int i = 1;
        while (i < length && AsciiLower(data[at + i]) == needle[i])
            ++i;
        if (i == length)
            return true;
    }
    return false;
}

bool GoodTextMatcher::MatchesText(const QString &cell) const
{
    return cell.contains(m_text, Qt::CaseInsensitive);
}

bool GoodTextMatcher::Matches(const Good *good)
{
    if (m_text.isEmpty())
        return true;
    if (!good || !good->source)
        return false;
    const Source *source = good->source;
    const int columns[] = {source->nameColumn, source->vendorColumn, source->idColumn};
    const CsvManipulator *reader = source->reader.get();
    if (reader && reader->IsMapped()) {
        if (!reader->ReadMappedRow(good->rowOffset, *m_raw, m_buffer))
            return false;
        for (const int column : columns) {
            if (!m_raw->Field(column))
                continue;
            const char *data = nullptr;
            int size = 0;
            m_raw->View(column, &data, &size, m_scratch);
            if (m_ascii ? MatchesBytes(data, size) : MatchesText(CsvRawRow::Decoded(data, size)))
                return true;
        }
        return false;
    }
    // A reader without a mapping reads the row whole.
    const QStringList row = good->Row();
    for (const int column : columns) {
        if (MatchesText(Good::Cell(row, column)))
            return true;
    }
    return false;
}
