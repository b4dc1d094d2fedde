#include "good.h"

#include <QCoreApplication>

#include "csvmanipulator.h"
#include "source.h"

QString Good::Cell(const QStringList &row, int column)
{
    if (column < 0 || column >= row.size())
        return QString();
    return row.at(column);
}

QString Good::FirstPart(const QString &cell, const QString &separator)
{
    if (cell.isNull())
        return QString();
    const int at = cell.indexOf(separator);
    return at < 0 ? cell : cell.left(at);
}

QStringList Good::Row() const
{
    if (!source || !source->reader)
        return QStringList();
    return source->reader->RowAt(rowOffset);
}

QString Good::Name(const QStringList &row) const
{
    return Cell(row, source->nameColumn);
}

QString Good::Picture(const QStringList &row) const
{
    return FirstPart(Cell(row, source->pictureColumn), QStringLiteral(" "));
}

QString Good::Vendor(const QStringList &row) const
{
    return Cell(row, source->vendorColumn);
}

QString Good::OfferName(const QStringList &row) const
{
    if (source->offerColumn >= 0)
        return Cell(row, source->offerColumn);
    return source->offerName;
}

QString Good::Description(const QStringList &row) const
{
    return Cell(row, source->descriptionColumn);
}

QString Good::Id(const QStringList &row) const
{
    return Cell(row, source->idColumn);
}

QString Good::Url(const QStringList &row) const
{
    return Cell(row, source->urlColumn);
}

QString Good::RawCategory(const QStringList &row) const
{
    const QString cell = Cell(row, source->categoryColumn);
    return source->categoryIsList ? FirstPart(cell, QStringLiteral(", ")) : cell;
}

QString Good::StatusText(int status)
{
    switch (status) {
    case Added:
        return QCoreApplication::translate("Good", "Добавлен");
    case Changed:
        return QCoreApplication::translate("Good", "Изменён");
    case Deleted:
        return QCoreApplication::translate("Good", "Удалён");
    }
    return QCoreApplication::translate("Good", "Ошибка");
}
