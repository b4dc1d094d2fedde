// The dc_catalog conversion on any document: it converts whole or fails
// with a reason and leaves no file, and what it writes is a CSV feed whose
// every row has the six columns of its header.
#include <cstdint>
#include <memory>

#include "csvmanipulator.h"
#include "dccatalogconverter.h"
#include "fuzzfiles.h"

using FuzzFiles::Require;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzFiles::Application();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString xml = FuzzFiles::Write("catalog.xml", data, size);
    const QString csv = FuzzFiles::Folder().filePath(QStringLiteral("catalog.csv"));
    QFile::remove(csv); // the last input's
    QString error;
    if (!DcCatalogConverter::Convert(xml, csv, nullptr, &error)) {
        Require(!error.isEmpty(), "a failed conversion says why");
        Require(!QFile::exists(csv), "a failed conversion leaves no file");
        return 0;
    }
    std::unique_ptr<CsvManipulator> reader(OpenCsvReader(csv));
    Require(reader && reader->Header().size() == 6, "the converted feed has its six columns");
    for (QStringList row = reader->NextRow(); !row.isEmpty(); row = reader->NextRow())
        Require(row.size() == 6, "every converted row has six cells");
    Require(reader->SkippedRows() == 0, "no converted row is malformed");
    return 0;
}
