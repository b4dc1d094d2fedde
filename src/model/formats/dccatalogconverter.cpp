#include "dccatalogconverter.h"

#include <memory>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QStringList>

#include "csvmanipulator.h"
#include "xmlelementwalker.h"
#include "iprogress.h"
#include "schema.h"

namespace {

const int kReportEvery = 1000;

enum Field { IdField, NameField, DescriptionField, PriceField, PictureField, CategoryField, FieldCount };

} // namespace

bool DcCatalogConverter::Convert(const QString &xmlPath, const QString &csvPath, IProgress *progress,
                                 QString *error)
{
    std::unique_ptr<CsvManipulator> writer;
    const auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        // Closed first: Windows removes no file that is still open.
        writer.reset();
        QFile::remove(csvPath);
        return false;
    };
    const QString status = tr("Обработка dc_catalog");
    if (progress && !progress->Report(0, 0, status))
        return fail(tr("Обработка %1 отменена").arg(QDir::toNativeSeparators(xmlPath)));
    // A pipe would block the open and a device never end: only files are read.
    const QFileInfo info(xmlPath);
    if (info.exists() && !info.isFile())
        return fail(tr("%1 не является обычным файлом").arg(QDir::toNativeSeparators(xmlPath)));
    writer.reset(CreateCsvWriter(csvPath));
    if (!writer)
        return fail(tr("Не удалось создать файл %1").arg(QDir::toNativeSeparators(csvPath)));
    using namespace Schema::Column;
    writer->WriteHeader(QStringList() << Id << Name << Description << Price << Picture << CategoryId);
    QFile file(xmlPath);
    if (!file.open(QIODevice::ReadOnly))
        return fail(tr("Не удалось прочитать файл %1").arg(QDir::toNativeSeparators(xmlPath)));

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
    const auto act = [&](const QString &path, const QXmlStreamAttributes &attributes, const QString &text) {
        if (path == QLatin1String("/dc_catalog/delivery_service/categories/category")) {
            const QString parent = attributes.value(QLatin1String("parentId")).toString();
            QString categoryPath = text;
            if (attributes.hasAttribute(QLatin1String("parentId")) && categories.contains(parent))
                categoryPath = categories.value(parent) + QLatin1Char('/') + text;
            categories.insert(attributes.value(QLatin1String("id")).toString(), categoryPath);
        } else if (path == productPath) {
            const bool go = writeProduct();
            for (QString &value : product)
                value.clear();
            product[IdField] = attributes.value(QLatin1String("id")).toString();
            return go;
        } else if (path.startsWith(productPath) && path.at(productPath.size()) == QLatin1Char('/')) {
            const QStringView leaf = QStringView(path).mid(productPath.size() + 1);
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
        return true;
    };

    XmlElementWalker walker;
    if (!walker.Walk(&file, act)) {
        if (walker.Stopped())
            return fail(tr("Обработка %1 отменена").arg(QDir::toNativeSeparators(xmlPath)));
        return fail(tr("Файл %1 повреждён: %2").arg(QDir::toNativeSeparators(xmlPath), walker.ErrorText()));
    }
    // The last product is complete when the document ends.
    if (!writeProduct())
        return fail(tr("Обработка %1 отменена").arg(QDir::toNativeSeparators(xmlPath)));
    if (!writer->Close())
        return fail(tr("Не удалось записать файл %1").arg(QDir::toNativeSeparators(csvPath)));
    return true;
}
