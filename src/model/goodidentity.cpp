#include "goodidentity.h"

#include "csvmanipulator.h"

GoodIdentity::Default GoodIdentity::DefaultFor(bool hasUrl, bool hasId, bool hasName)
{
    if (hasUrl)
        return ByUrl;
    if (hasId)
        return ByOfferAndId;
    if (hasName)
        return ByOfferAndName;
    return ByOfferAndGood;
}

IdTemplate GoodIdentity::DefaultTemplate(Default which)
{
    static const char *const texts[DefaultCount] = {"[u]", "[a][i]", "[a][n]", "[a][p]"};
    return IdTemplate::FromText(QLatin1String(texts[which]));
}

const IdTemplate &GoodIdentity::UniqueTemplate()
{
    static const IdTemplate unique = IdTemplate::FromText(QStringLiteral("[p]"));
    return unique;
}

QString GoodIdentity::Key(const Good &good)
{
    // Only the cells the key needs are decoded.
    CsvManipulator *csv = good.source ? good.source->reader.get() : nullptr;
    if (!csv)
        return RowKey(good, good.Row());
    const CsvRawRow *raw = nullptr;
    bool read = false;
    return Key(good, [&](int column) {
        if (!read) {
            raw = csv->ScanAt(good.rowOffset);
            read = true;
        }
        return raw ? raw->Text(column) : QString();
    });
}

QString GoodIdentity::RowKey(const Good &good, const QStringList &row)
{
    return Key(good, [&row](int column) { return Good::Cell(row, column); });
}

QString GoodIdentity::RowTemplateText(const Good &good, const QStringList &row)
{
    IdTemplate storage;
    return TemplateOf(good, [&]() { return Good::Cell(row, good.source->idTplColumn); }, &storage)->text;
}
