#include "comparedcells.h"

#include "csvrawrow.h"

RowHash ComparedCells::Digest(const CsvRawRow *row, QByteArray &scratch) const
{
    RowHasher hasher;
    if (!row)
        return hasher.Result();
    if (whole && row->Count() > 0) {
        // The bytes before the left-out cell and those after it, each
        // digested where it lies, without a copy; then the two digests.
        const CsvField &first = row->fields.front();
        const CsvField &last = row->fields.back();
        const char *end = last.data + last.size;
        const CsvField *left = row->Field(skipped);
        const char *gap = left ? left->data : end;
        const char *rest = left ? left->data + left->size : end;
        const RowHash before = RowHasher::Of(first.data, int(gap - first.data));
        const RowHash after = RowHasher::Of(rest, int(end - rest));
        hasher.Add(reinterpret_cast<const char *>(&before), int(sizeof before));
        hasher.Add(reinterpret_cast<const char *>(&after), int(sizeof after));
        return hasher.Result();
    }
    const char *data;
    int size;
    for (int column : columns) {
        row->View(column, &data, &size, scratch);
        hasher.Add(data, size);
    }
    return hasher.Result();
}

RowHash ComparedCells::Digest(const QStringList &row) const
{
    RowHasher hasher;
    for (int column : columns)
        hasher.Add(column >= 0 && column < row.size() ? row.at(column).toUtf8() : QByteArray());
    return hasher.Result();
}
