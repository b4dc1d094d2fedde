#include "good.h"

#include <QCoreApplication>

#include "csvmanipulator.h"
#include "idtemplate.h"
#include "offer.h"
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

QString Good::TemplateText(const QStringList &row) const
{
    if (idTemplate)
        return idTemplate->text;
    if (source->idTplColumn >= 0)
        return Cell(row, source->idTplColumn);
    return QStringLiteral("[p]");
}

QString Good::ResolveTemplate(const QString &text, int tokens, const QStringList &row) const
{
    return IdTemplate::Resolve(text, tokens, Url(row), offer ? offer->name : QString(), Id(row), Name(row),
                               quintptr(this));
}

QString Good::Key(const QStringList &row) const
{
    if (idTemplate)
        return ResolveTemplate(idTemplate->text, idTemplate->tokens, row);
    if (source->idTplColumn >= 0) {
        const QString text = Cell(row, source->idTplColumn);
        return ResolveTemplate(text, IdTemplate::TokensOf(text), row);
    }
    return ResolveTemplate(QStringLiteral("[p]"), IdTemplate::AllTokens, row);
}

QString Good::Key() const
{
    CsvManipulator *csv = source ? source->reader.get() : nullptr;
    if (!csv)
        return Key(Row());
    QString text;
    int tokens;
    const CsvRawRow *raw = nullptr;
    if (idTemplate) {
        text = idTemplate->text;
        tokens = idTemplate->tokens;
    } else if (source->idTplColumn >= 0) {
        raw = csv->ScanAt(rowOffset);
        text = raw ? raw->Text(source->idTplColumn) : QString();
        tokens = IdTemplate::TokensOf(text);
    } else {
        text = QStringLiteral("[p]");
        tokens = IdTemplate::AllTokens;
    }
    const int needsRow = tokens & (IdTemplate::Url | IdTemplate::Id | IdTemplate::Name);
    if (needsRow && !raw)
        raw = csv->ScanAt(rowOffset);
    const auto cell = [raw](int column, int token, int tokens) {
        return raw && (tokens & token) ? raw->Text(column) : QString();
    };
    return IdTemplate::Resolve(text, tokens, cell(source->urlColumn, IdTemplate::Url, tokens),
                               offer ? offer->name : QString(), cell(source->idColumn, IdTemplate::Id, tokens),
                               cell(source->nameColumn, IdTemplate::Name, tokens), quintptr(this));
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
