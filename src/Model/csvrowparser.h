#pragma once

#include "csvrawrow.h"

// Finds the fields of one row of the catalogue's CSV dialect in a stretch of
// bytes, without decoding anything: the bottom of the reading layers (the
// scanner, the stream and the reader stack on it). Rows end with "\n" or
// "\r\n"; a lone "\r" is an ordinary character, except in a file whose
// lines all end with "\r" alone, which is read with "\r" as the line end.
class CsvRowParser
{
public:
    enum class Result { Row, NeedMore, Nothing };

    // Finds the fields of the row that begins at begin. NeedMore when the
    // bytes up to end do not hold the whole row and more may follow; with
    // atEnd set, end is the end of the file. rowEnd receives where the next
    // row begins. The field count is not checked here.
    static Result Parse(const char *begin, const char *end, bool atEnd, bool crLineEnds, CsvRawRow &row,
                        const char **rowEnd);

    // True when a file that begins with these bytes ends its lines with "\r"
    // alone, as far as they tell: a "\r" and no "\n". The caller confirms
    // with HasLineFeed over the whole file.
    static bool LooksCrOnly(const char *data, qint64 size);
    static bool HasLineFeed(const char *data, qint64 size);
};
