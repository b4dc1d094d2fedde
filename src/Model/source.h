#pragma once

#include "idtemplate.h"

#include <set>

#include <QString>
#include <QStringList>

class IReader;

// One loaded feed. It owns its open reader; the goods read from it keep only
// the byte offsets of their rows and read them back through that reader, so
// a source must outlive its goods. The model keeps sources at stable
// addresses and destroys their readers itself (DestroyReader()).
struct Source
{
    IReader *reader = nullptr;
    QString name;      // file name without folder and last extension
    QString offerName; // offer of the whole file, or "Разные офферы"
    QStringList header;
    QString path;      // the CSV file actually read
    QString feedPath;  // the file loaded: for a converted catalogue its XML file
    std::set<IdTemplate> idTemplates; // interned templates of the goods

    int nameColumn = -1;
    int pictureColumn = -1;
    int priceColumn = -1;
    int oldPriceColumn = -1;
    int vendorColumn = -1;
    int categoryColumn = -1;
    bool categoryIsList = false;
    int offerColumn = -1;
    int descriptionColumn = -1;
    int idColumn = -1;
    int urlColumn = -1;
    int idTplColumn = -1;

    // Takes the column indexes from the header.
    void FindColumns();
    // The source's copy of a template; all goods with the same one share it.
    const IdTemplate *InternTemplate(const IdTemplate &tpl);
    void DestroyReader();
};
