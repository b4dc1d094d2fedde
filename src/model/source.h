#pragma once

#include "idtemplate.h"
#include "rowhash.h"
#include "temporaryfolder.h"

#include <memory>
#include <set>
#include <vector>

#include <QCoreApplication>
#include <QString>
#include <QStringList>

class CsvManipulator;

// One loaded feed. It owns its open reader; the goods read from it keep only
// the byte offsets of their rows and read them back through that reader, so
// a source must outlive its goods. Every feed is read as a CSV file (other
// formats are converted into one first), so the reader is the CSV reader
// itself. The model keeps sources at stable addresses (see StableList).
struct Source
{
    Source();
    ~Source();
    Source(Source &&) noexcept;
    Source &operator=(Source &&) noexcept;

    std::unique_ptr<CsvManipulator> reader;
    QString name;      // file name without folder and last extension
    QString offerName; // offer of the whole file, or kMixedOffers
    QStringList header;
    QString path;      // the CSV file actually read
    OwnedFile ownedFile; // a download or conversion read only by this source
    QString feedPath;  // the file loaded: for a converted catalogue its XML file
    // The offer a catalogue names itself (its shop's name) when the file's
    // name says nothing of it; empty otherwise. Names a new offer only:
    // an offer the project already knows for the file keeps it.
    QString shopOffer;
    std::set<IdTemplate> idTemplates; // interned templates of the goods
    // The rows without a category were already told of by the conversion,
    // which says why they have none: the load counts them but says no more.
    bool uncategorizedTold = false;

    // What the load worked out for each good while its row was in the cache,
    // by the good's digestIndex: the digest of its identity key when its url
    // alone identifies it, and of its row whole but for the category cell
    // (what a base with the same columns compares). Duplicate removal and
    // the base load take them instead of reading the feed again.
    struct Digests
    {
        std::vector<RowHash> keys;
        std::vector<RowHash> rows;
        std::vector<uchar> keyReady;
    };
    Digests digests;

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

    // The offerName of a file that names its offers row by row. It names the
    // ghost node its goods land below, whose path a project's filter keeps:
    // it stays the same in every interface language, so that a project
    // means the same to the window and to fidmora-cli whatever language
    // each speaks. Only the category tree shows it translated.
    static constexpr char kMixedOffers[] = QT_TRANSLATE_NOOP("Source", "Разные офферы");

    // Takes the column indexes from the header.
    void FindColumns();
    // The source's copy of a template; all goods with the same one share it.
    const IdTemplate *InternTemplate(const IdTemplate &tpl);

private:
    Source(const Source &) = delete;
    Source &operator=(const Source &) = delete;
};
