#pragma once

#include <QCoreApplication>

#include <QString>

class IProgress;

// Converts a dc_catalog XML catalogue into a CSV feed with the columns id,
// name, description, price, picture and categoryId, so that the rest of the
// catalogue only ever reads CSV. The document is read as a stream: only one
// product and the category table are held in memory.
class DcCatalogConverter
{
    Q_DECLARE_TR_FUNCTIONS(DcCatalogConverter)

public:
    // True when the XML file was opened and read (a malformed document ends
    // the walk; what was complete before stays in the CSV file); false when
    // a file cannot be opened or created, or the user cancelled.
    static bool Convert(const QString &xmlPath, const QString &csvPath, IProgress *progress);
};

// The name the catalogue's code knows the conversion by.
inline bool ConvertDcCatalog(const QString &xmlPath, const QString &csvPath, IProgress *progress)
{
    return DcCatalogConverter::Convert(xmlPath, csvPath, progress);
}
