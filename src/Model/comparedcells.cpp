#include "comparedcells.h"

#include "csvrawrow.h"

RowHash ComparedCells::Digest(const CsvRawRow *row, QByteArray &scratch) const
{
    RowHasher hasher;
    if (!row)
        return hasher.Result();
    if (whole && row->Count() > 0) {
        const CsvField &first = row->fields.front();
        const CsvField &last = row->fields.back();
        const char *end = last.data + last.size;
        const CsvField *left = row->Field(skipped);
        if (left) {
            hasher.Append(first.data, int(left->data - first.data));
            hasher.Append(left->data + left->size, int(end - (left->data + left->size)));
        } else {
            hasher.Append(first.data, int(end - first.data));
        }
        hasher.EndString();
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
