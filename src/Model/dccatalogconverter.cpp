#include "dccatalogconverter.h"

#include <memory>

#include <QCoreApplication>
#include <QFile>
#include <QMap>
#include <QStringList>
#include <QXmlStreamReader>

#include "csvmanipulator.h"
#include "iprogress.h"

namespace {

const int kMaxDepth = 256;
const int kReportEvery = 1000;

enum Field { IdField, NameField, DescriptionField, PriceField, PictureField, CategoryField, FieldCount };

} // namespace

bool DcCatalogConverter::Convert(const QString &xmlPath, const QString &csvPath, IProgress *progress)
{
    const QString status = tr("Обработка dc_catalog");
    if (progress && !progress->Report(0, 0, status))
        return false;
    std::unique_ptr<IWriter> writer(CreateCsvWriter(csvPath));
    if (!writer)
        return false;
    writer->WriteHeader(QStringList() << QStringLiteral("id") << QStringLiteral("name")
                                      << QStringLiteral("description") << QStringLiteral("price")
                                      << QStringLiteral("picture") << QStringLiteral("categoryId"));
    QFile file(xmlPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;

    QMap<QString, QString> categories;
    QStringList product;
    for (int i = 0; i < FieldCount; ++i)
        product.append(QString());
    int written = 0;
    const auto writeProduct = [&]() {
        for (const QString &value : qAsConst(product)) {
            if (value.isEmpty())
                return true;
        }
        writer->WriteRow(product);
        ++written;
        if (progress && written % kReportEvery == 0)
            return progress->Report(0, 0, status);
        return true;
    };

    const QString productPath = QStringLiteral("/dc_catalog/delivery_service/products/product");
    bool cancelled = false;
    const auto act = [&](const QString &path, const QXmlStreamAttributes &attributes, const QString &text) {
        if (path == QLatin1String("/dc_catalog/delivery_service/categories/category")) {
            const QString parent = attributes.value(QLatin1String("parentId")).toString();
            QString categoryPath = text;
            if (attributes.hasAttribute(QLatin1String("parentId")) && categories.contains(parent))
                categoryPath = categories.value(parent) + QLatin1Char('/') + text;
            categories.insert(attributes.value(QLatin1String("id")).toString(), categoryPath);
        } else if (path == productPath) {
            if (!writeProduct())
                cancelled = true;
            for (QString &value : product)
                value.clear();
            product[IdField] = attributes.value(QLatin1String("id")).toString();
        } else if (path.startsWith(productPath) && path.at(productPath.size()) == QLatin1Char('/')) {
            const QStringRef leaf = path.midRef(productPath.size() + 1);
            if (leaf == QLatin1String("name"))
                product[NameField] = text;
            else if (leaf == QLatin1String("description"))
                product[DescriptionField] = text;
            else if (leaf == QLatin1String("price"))
                product[PriceField] = text;
            else if (leaf == QLatin1String("picture"))
                product[PictureField] = text;
            else if (leaf == QLatin1String("category_id"))
                product[CategoryField] = categories.value(text);
        }
    };

    QXmlStreamReader xml(&file);
    QStringList open;
    bool pending = false;
    QString pendingPath;
    QXmlStreamAttributes pendingAttributes;
    QString pendingText;
    const auto flush = [&]() {
        if (pending)
            act(pendingPath, pendingAttributes, pendingText.trimmed());
        pending = false;
    };
    while (!xml.atEnd() && !cancelled) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::Characters) {
            if (pending)
                pendingText += xml.text();
            continue;
        }
        flush();
        if (token == QXmlStreamReader::StartElement) {
            if (open.size() >= kMaxDepth)
                break;
            const QString path = (open.isEmpty() ? QString() : open.last()) + QLatin1Char('/')
                    + xml.name().toString();
            open.append(path);
            pending = true;
            pendingPath = path;
            pendingAttributes = xml.attributes();
            pendingText.clear();
        } else if (token == QXmlStreamReader::EndElement) {
            if (!open.isEmpty())
                open.removeLast();
        }
    }
    flush();
    if (cancelled)
        return false;
    // The last product is complete when the document ends.
    return writeProduct();
}
