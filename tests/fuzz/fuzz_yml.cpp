// The YML conversion on any document: it converts whole or fails with a
// reason and leaves no file, and what it writes is a CSV feed with one
// well-formed row per offer it counts.
#include <cstdint>
#include <memory>

#include "csvmanipulator.h"
#include "fuzzfiles.h"
#include "ymlconverter.h"

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
    YmlConverter::IsYmlCatalog(xml);
    YmlConverter converter;
    if (!converter.Convert(xml, csv, nullptr)) {
        Require(!converter.ErrorText().isEmpty(), "a failed conversion says why");
        Require(!QFile::exists(csv), "a failed conversion leaves no file");
        return 0;
    }
    std::unique_ptr<CsvManipulator> reader(OpenCsvReader(csv));
    Require(reader != nullptr, "the converted feed opens");
    const int columns = reader->Header().size();
    int rows = 0;
    for (QStringList row = reader->NextRow(); !row.isEmpty(); row = reader->NextRow()) {
        Require(row.size() == columns, "every converted row has the header's cells");
        ++rows;
    }
    Require(reader->SkippedRows() == 0, "no converted row is malformed");
    Require(rows == converter.Offers(), "one row per offer");
    return 0;
}
