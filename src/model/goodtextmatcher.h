#pragma once

#include <memory>

#include <QByteArray>
#include <QString>

class CsvRawRow;
struct Good;

// Whether a text occurs, case aside, in a good's name, vendor or id: the
// search of the goods list and of the filter. A million goods are tested
// in well under a second: the three cells are read from the row's bytes
// without decoding the rest of it, and a text of ASCII letters alone is
// looked for in the bytes themselves. Each object keeps its own buffers,
// so one object serves one thread.
class GoodTextMatcher final
{
public:
    explicit GoodTextMatcher(const QString &text);
    ~GoodTextMatcher();

    const QString &Text() const { return m_text; }
    // An empty text matches every good.
    bool Matches(const Good *good);

private:
    Q_DISABLE_COPY(GoodTextMatcher)

    bool MatchesBytes(const char *data, int size) const;
    bool MatchesText(const QString &cell) const;

    QString m_text;
    QByteArray m_asciiLower; // the text in small letters, when it is ASCII alone
    bool m_ascii = false;
    std::unique_ptr<CsvRawRow> m_raw;
    QByteArray m_buffer;
    QByteArray m_scratch;
};
