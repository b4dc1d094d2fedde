#pragma once

#include <QCoreApplication>

#include <QString>

class IProgress;

// Converts a dc_catalog XML catalogue into a CSV feed with the columns id,
// name, description, price, picture and categoryId, so that the rest of the
// catalogue only ever reads CSV. The document is read as a stream: only one
// product and the category table are held in memory. A document with an
// error converts to nothing: a catalogue half read is no catalogue.
class DcCatalogConverter
{
    Q_DECLARE_TR_FUNCTIONS(DcCatalogConverter)

public:
    // True when the whole catalogue was converted. A file that cannot be
    // read or written, a malformed document and a cancel give false, the
    // reason in *error, and no CSV file.
    static bool Convert(const QString &xmlPath, const QString &csvPath, IProgress *progress,
                        QString *error = nullptr);
};

// The name the catalogue's code knows the conversion by.
inline bool ConvertDcCatalog(const QString &xmlPath, const QString &csvPath, IProgress *progress,
                             QString *error = nullptr)
{
    return DcCatalogConverter::Convert(xmlPath, csvPath, progress, error);
}
