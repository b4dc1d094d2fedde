#pragma once

#include "rowhash.h"

#include <QByteArray>
#include <QStringList>
#include <QVector>

class CsvRawRow;

// The cells of a row that a base load compares with a loaded good's row,
// and their digest. When the two feeds have the same columns in the same
// order (the usual case: a base exported in the feed's own format), the
// digest covers the row's bytes whole but for the one cell left out, which
// costs far less than cell by cell; both sides are digested the same way.
struct ComparedCells
{
    QVector<int> columns; // the compared columns, in comparison order
    bool whole = false;   // columns are all of the row's but skipped, in order
    int skipped = -1;

    RowHash Digest(const CsvRawRow *row, QByteArray &scratch) const;
    RowHash Digest(const QStringList &row) const;
};
