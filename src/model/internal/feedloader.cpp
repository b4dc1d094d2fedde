#include "feedloader.h"

#include <limits>

#include <QCoreApplication>
#include <QSet>
#include <QUrl>

#include "catmodel.h"
#include "csvmanipulator.h"
#include "csvrowstream.h"
#include "duplicateremover.h"
#include "identitykey.h"
#include "good.h"
#include "goodarena.h"
#include "goodidentity.h"
#include "icatalogue.h"
#include "iprogress.h"
#include "offer.h"
#include "source.h"
#include "vendorregistry.h"

namespace {

// Goods found identical to a base row are marked so and swept out of their
// categories in one pass per category at the end of the load. A good a base
// row found changed is marked too, until the load ends: a good that holds
// either mark was met by the base already, which the good itself tells
// where its status is read anyway.
const qint32 kIdenticalMark = std::numeric_limits<qint32>::min();
const qint32 kChangedMark = kIdenticalMark + 1;

bool MetByBase(const Good &good)
{
    return good.status == kIdenticalMark || good.status == kChangedMark;
}

// What a row is digested as: all its cells but its category, as a base
// with the same columns compares them.
ComparedCells WholeRowBut(int categoryColumn)
{
    ComparedCells whole;
    whole.whole = true;
    whole.skipped = categoryColumn;
    return whole;
}

// A category or vendor met in the load and not yet looked up.
CatModel *const kUnresolvedNode = reinterpret_cast<CatModel *>(quintptr(1));
// A category whose path is nothing but "/": it names no category.
CatModel *const kNoPathNode = reinterpret_cast<CatModel *>(quintptr(2));
const QString *const kUnresolvedVendor = reinterpret_cast<const QString *>(quintptr(1));

// The number of the cell's text among the texts met so far, a new one (its
// text appended to fresh) for a text met first; -1 for an empty cell,
// unless empty counts too.
int NumberOf(const CsvRawRow &row, int column, ByteMap<int> &known, QStringList *fresh, bool emptyCounts,
             QByteArray &scratch)
{
    const char *data;
    int size;
    row.View(column, &data, &size, scratch);
    if (size == 0 && !emptyCounts)
        return -1;
    const quint64 hash = ByteMap<int>::HashOf(data, size);
    if (const int *number = known.Find(data, size, hash))
        return *number;
    const int number = known.Size();
    known.Insert(data, size, hash, number);
    fresh->append(CsvRawRow::Decoded(data, size));
    return number;
}

} // namespace

// The cells the load files a good by, as numbers. A category, offer or
// vendor cell becomes the number of its text among the texts met in this
// load, so that the good is filed through arrays. A base row's are worked
// out on the stream's thread while its bytes are in that thread's cache
// (a batch carries the texts it met first), with the digests of its key
// (when its url identifies it) and of its cells; its vendor is read by the
// loader, only when the row makes a good. A data row's are read by the
// loader, which reads the row anyway for its key's digest.
struct FeedLoader::RowCells
{
    qint32 price = -1;
    qint32 oldPrice = -1;
    qint32 category = -1; // -1: the cell is empty
    qint32 offer = -1;    // -1: the feed names no offer per row
    qint32 vendor = -1;   // -1: the cell is empty (or, of a base row, not read yet)
    uchar present = 0;    // which of the cells that choose a template are not empty
    uchar digested = 0;   // base rows: which digests are ready, and what their lookup found
    // A base row whose key is ready: the loaded good's entry of that key,
    // or null when no loaded good has it.
    const DigestMap::Entry *found = nullptr;

    // The prices and which of the cells that choose a template are there.
    void ReadPlain(const CsvRawRow &row, const Source &source);
};

namespace {

enum Present : uchar { HasUrl = 1, HasId = 2, HasName = 4, HasIdTpl = 8 };
enum Digested : uchar {
    KeyReady = 1,
    CellsReady = 2,
    SameCells = 4 // the found good's compared cells have the row's digest
};

} // namespace

void FeedLoader::RowCells::ReadPlain(const CsvRawRow &row, const Source &source)
{
    price = row.Price(source.priceColumn);
    oldPrice = row.Price(source.oldPriceColumn);
    present = uchar((row.IsEmpty(source.urlColumn) ? 0 : HasUrl) | (row.IsEmpty(source.idColumn) ? 0 : HasId)
                    | (row.IsEmpty(source.nameColumn) ? 0 : HasName)
                    | (row.IsEmpty(source.idTplColumn) ? 0 : HasIdTpl));
}

struct FeedLoader::PreparedRows final : CsvPreparedRows
{
    std::vector<RowCells> rows;
    std::vector<RowHash> digests; // base rows: the key and the cells of each; data rows: the cells
    bool cellsLeft = false;       // data rows: the digests of their cells are the loader's to make
    QStringList newCategories;    // texts first met in this batch, by number
    QStringList newOffers;

    // The batch's prepared rows, made at its first use.
    static PreparedRows &Of(CsvRowBatch &batch)
    {
        if (!batch.prepared)
            batch.prepared = std::make_unique<PreparedRows>();
        return static_cast<PreparedRows &>(*batch.prepared);
    }
};

// The stream's share of a base load: the rows' cells and digests, read
// where the scan has just brought the row's bytes. The loader looks the
// keys up: that needs the digests alone, and each row's bytes read again
// on the loader's core would cost more than the lookups.
class FeedLoader::Preparer final : public CsvRowPreparer
{
public:
    explicit Preparer(const Source &source)
        : m_source(source), m_byUrl(IdTemplate::FromText(QStringLiteral("[u]"))),
          m_whole(WholeRowBut(source.categoryColumn))
    {
        m_urlColumns.url = source.urlColumn;
    }

    void Begin(CsvRowBatch &batch) override
    {
        m_rows = &PreparedRows::Of(batch);
        m_rows->rows.clear();
        m_rows->digests.clear();
        // As the scanner does with its own: the room of the largest batch.
        m_rows->rows.reserve(m_mostRows);
        m_rows->digests.reserve(2 * m_mostRows);
        m_rows->newCategories.clear();
        m_rows->newOffers.clear();
    }

    void Prepare(const CsvRawRow &row, CsvRowBatch &batch) override
    {
        RowCells cells;
        cells.ReadPlain(row, m_source);
        cells.category = NumberOf(row, m_source.categoryColumn, m_categories, &m_rows->newCategories, false, m_scratch);
        if (m_source.offerColumn >= 0)
            cells.offer = NumberOf(row, m_source.offerColumn, m_offers, &m_rows->newOffers, true, m_scratch);
        // The whole row but its category (what a base with the same columns
        // compares) and the key of a row identified by its url, the usual
        // case: the loader matches the row by them.
        RowHash key;
        cells.digested = CellsReady;
        if ((cells.present & (HasUrl | HasIdTpl)) == HasUrl
                && IdentityKey::Digest(m_byUrl, RawCellView{&row, batch.IsUtf8(batch.Rows() - 1)}, m_urlColumns,
                                       QString(), QByteArray(), 0, &key))
            cells.digested |= KeyReady;
        m_rows->digests.push_back(key);
        m_rows->digests.push_back(m_whole.Digest(&row, m_scratch));
        m_rows->rows.push_back(cells);
    }

    void End(CsvRowBatch &) override { m_mostRows = std::max(m_mostRows, m_rows->rows.size()); }

private:
    const Source &m_source;
    const IdTemplate m_byUrl;
    size_t m_mostRows = 0;
    ComparedCells m_whole;
    IdentityKey::Columns m_urlColumns;
    ByteMap<int> m_categories;
    ByteMap<int> m_offers;
    QByteArray m_scratch;
    PreparedRows *m_rows = nullptr;
};

// The stream's share of a data load: the digest of each row's cells, read
// where the scan has just brought the row's bytes (a hash over the whole
// row, the longest single piece of a row's work). The rest of a data row is
// read by the loader. Which side is the slower one changes along a feed: a
// batch whose UTF-8 check the stream leaves to the loader (the loader was
// waiting on the stream) leaves the loader its digests too.
class FeedLoader::RowDigester final : public CsvRowPreparer
{
public:
    explicit RowDigester(const Source &source) : m_whole(WholeRowBut(source.categoryColumn)) {}

    void Begin(CsvRowBatch &batch) override
    {
        m_rows = &PreparedRows::Of(batch);
        m_rows->digests.clear();
        m_rows->cellsLeft = batch.utf8Deferred;
        if (!m_rows->cellsLeft)
            m_rows->digests.reserve(m_mostRows);
    }

    void Prepare(const CsvRawRow &row, CsvRowBatch &) override
    {
        if (!m_rows->cellsLeft)
            m_rows->digests.push_back(m_whole.Digest(&row, m_scratch));
    }

    void End(CsvRowBatch &) override { m_mostRows = std::max(m_mostRows, m_rows->digests.size()); }

private:
    size_t m_mostRows = 0;
    ComparedCells m_whole;
    QByteArray m_scratch;
    PreparedRows *m_rows = nullptr;
};

// The rows of the stream, with what its thread worked out for them; a row's
// own cells are found only when they are asked for.
struct FeedLoader::RawCells
{
    CsvRowStream *stream = nullptr;
    const CsvRowStream::Batch *batch = nullptr;
    PreparedRows *prepared = nullptr;
    int index = 0;
    qint64 offset = -1;

    bool Next()
    {
        if (!batch || ++index >= batch->Rows()) {
            batch = stream->Next();
            index = 0;
            if (!batch)
                return false;
            prepared = static_cast<PreparedRows *>(batch->prepared.get());
        }
        offset = batch->offsets[size_t(index)];
        return true;
    }
    // True when the batch just taken is a new one (its first row is current).
    bool BatchBegins() const { return index == 0; }
    const RowCells &Cells() const { return prepared->rows[size_t(index)]; }
    // The cells of a row further on in the batch, or null.
    const RowCells *Ahead(int rows) const
    {
        const size_t at = size_t(index + rows);
        return at < prepared->rows.size() ? &prepared->rows[at] : nullptr;
    }
    // A base row's digests: its key (0) and its cells (1).
    const RowHash &Digest(int which) const { return prepared->digests[size_t(index) * 2 + size_t(which)]; }
    // A data row's digest of its cells.
    const RowHash &CellsDigest() const { return prepared->digests[size_t(index)]; }
    // The same of a row further on (which Ahead() gave).
    const RowHash &DigestAhead(int rows, int which) const
    {
        return prepared->digests[size_t(index + rows) * 2 + size_t(which)];
    }
    // The row's own cells. Their bytes may lie where the file is mapped:
    // read them only under the mapping's guard (see LoadRows).
    const CsvRawRow &Row() const
    {
        if (m_rowOffset != offset) {
            batch->RowAt(index, m_row);
            m_rowOffset = offset;
        }
        return m_row;
    }
    QString Text(int column) const { return Row().Text(column); }
    RawCellView View() const { return RawCellView{&Row(), batch->IsUtf8(index)}; }

private:
    mutable CsvRawRow m_row;
    mutable qint64 m_rowOffset = -1;
};

FeedLoader::FeedLoader(ICatalogue &catalogue, bool isBase, IProgress *progress)
    : m_catalogue(catalogue), m_isBase(isBase), m_progress(progress)
{
}

FeedLoader::~FeedLoader()
{
    for (Good *good : m_unfiled)
        GoodArena::Release(good);
    delete m_newTree;
}

void FeedLoader::PrepareBase(const Source &base)
{
    Source columns;
    columns.header = base.reader->Header();
    columns.FindColumns();
    m_baseHeader = columns.header;
    m_baseCategoryColumn = columns.categoryColumn;

    // Duplicates of the tree go first; the survivors' keys are what the base
    // rows are matched against, and the digests of their compared cells tell
    // identical goods without reading their rows again.
    DuplicateRemover remover;
    remover.comparedCells = [this](const Source *other) -> const ComparedCells & {
        return PairsWith(other).other;
    };
    remover.Run(&m_catalogue.Root(), m_progress);
    m_keyMap.Swap(remover.seenKeys);
    // Large enough to be mapped on its own from the start (its pages arrive
    // only as they are touched): a table grown through the allocator's
    // mid-sized blocks raises, once they are freed, the allocator's mapping
    // threshold, and the rest of a million-row base load ran a fifth slower.
    m_deletedKeys.Reserve(1 << 17);
    if (remover.removedCount > 0) {
        m_result.warnings.append(tr("Перед сравнением с базой %1 из данных убраны повторы: %2 товаров с ключом, "
                                    "который уже был у товара выше (остался первый)")
                                         .arg(base.name)
                                         .arg(remover.removedCount));
    }
}

FeedLoader::Result FeedLoader::Failed(const QString &error)
{
    m_result.finished = false;
    m_result.error = error;
    return std::move(m_result);
}

FeedLoader::Result FeedLoader::Run(Source *source)
{
    m_source = source;
    m_offerCount = m_catalogue.Offers().size();
    if (m_progress && !m_progress->Report(0, 0, tr("Старт загрузки %1").arg(source->name)))
        return Failed(tr("Загрузка %1 отменена").arg(source->name));

    CsvManipulator *reader = source->reader.get();
    source->header = reader->Header();
    source->FindColumns();
    WarnOfRepeatedColumns();
    m_newTree = new CatModel(QStringLiteral("new"));

    // The rows are found on a thread of their own while this one files the
    // goods of the rows found before.
    // The sources whose goods' compared cells are digested whole, for the
    // base rows' lookups.
    if (m_isBase) {
        for (auto it = m_pairs.cbegin(); it != m_pairs.cend(); ++it) {
            if (it.value().base.whole)
                m_wholeSources.insert(it.key());
        }
    }
    // A base row's cells and digests are worked out on the stream's thread;
    // of a data row, the digest of its cells.
    Preparer preparer(*source);
    RowDigester digester(*source);
    m_byUrlTemplate = IdTemplate::FromText(QStringLiteral("[u]"));
    m_byUrl = &m_byUrlTemplate;
    m_urlColumns.url = source->urlColumn;
    m_wholeRow = WholeRowBut(source->categoryColumn);
    CsvRowStream stream(reader->FilePath(), reader->DataStart(), source->header.size(), reader->CrLineEnds(),
                        m_isBase ? static_cast<CsvRowPreparer *>(&preparer) : &digester,
                        CsvRowScanner::Mode::Mapped, true);
    RawCells cells;
    cells.stream = &stream;
    // The goods are filed from the rows where the feed is mapped (a data
    // good's digests, a base row's cells): under the mapping's guard. A
    // feed that shrinks meanwhile ends the load as a failure.
    bool finished = true;
    if (!MappedFile::Guarded([&]() { finished = LoadRows(cells); }))
        m_readFailed = true;
    if (finished && (!stream.ReadWhole() || m_readFailed)) {
        Revert();
        return Failed(tr("Файл %1 изменился во время загрузки: загрузите его заново").arg(source->name));
    }
    const qint64 skipped = finished ? stream.SkippedRows() : 0;

    // Changed goods had their rows read for the exact comparison; the pages
    // that brought in are given back.
    if (m_isBase)
        m_catalogue.ReleaseMappedPages();
    // A load that does not finish leaves the catalogue as it was.
    if (!finished) {
        Revert();
        return Failed(tr("Загрузка %1 отменена").arg(source->name));
    }
    if (m_rowCount == 0 && skipped > 0) {
        Revert();
        return Failed(tr("В файле %1 не найдено ни одной строки товаров: пропущено строк, не читаемых как "
                         "запись (неверное число полей, незакрытая кавычка, поле больше 64 МБ): %2 (%3)")
                              .arg(source->name)
                              .arg(skipped)
                              .arg(LineList(stream.FirstSkipped(), skipped)));
    }
    FileGoods();
    if (m_isBase) {
        // A good a later repeat found identical after all leaves with the
        // others in Finish(): only the goods still changed keep their row.
        for (const ChangedGoods::Entry &entry : m_changed) {
            if (entry.good->status == kChangedMark) {
                const_cast<Good *>(entry.good)->status = Changed; // a good of this catalogue
                m_result.changed.push_back(entry);
            }
        }
        m_changed.clear();
    }
    Finish();
    if (m_isBase) {
        // A repeat is no good of the site's of its own: the share a delta
        // deletes is taken of the rows without them.
        m_result.baseRows = m_rowCount - m_repeats;
        m_result.baseRepeats = m_repeats;
        for (size_t slot = 0; slot < m_baseGoods.size(); ++slot) {
            const Offer *offer = m_fileOffer ? m_fileOffer : (slot < m_offerOf.size() ? m_offerOf[slot] : nullptr);
            if (offer && m_baseGoods[slot] > 0)
                m_result.baseGoodsOfOffer[offer] += m_baseGoods[slot];
        }
        if (m_repeats > 0) {
            m_result.warnings.append(tr("Файл %1: в базе повторов: %2 (строки с ключом, который уже был в базе выше, "
                                        "пропущены и не удаляются)")
                                             .arg(source->name)
                                             .arg(m_repeats));
        }
    }

    QString done = tr("Выполнено");
    if (skipped > 0) {
        m_result.skippedRows = skipped;
        m_result.warnings.append(tr("В файле %1 пропущено строк, не читаемых как запись (неверное число полей, "
                                    "незакрытая кавычка, поле больше 64 МБ): %2 (%3)")
                                         .arg(source->name)
                                         .arg(skipped)
                                         .arg(LineList(stream.FirstSkipped(), skipped)));
        done = tr("Выполнено, пропущено строк: %1").arg(skipped);
    } else if (m_rowCount == 0) {
        m_result.warnings.append(tr("В файле %1 нет товаров: только заголовок").arg(source->name));
    }
    m_result.withoutCategory = m_withoutCategory;
    if (m_withoutCategory > 0 && !source->uncategorizedTold) {
        m_result.warnings.append(
                tr("В файле %1 не загружено строк без категории: %2").arg(source->name).arg(m_withoutCategory));
    }
    if (const qint64 invalid = stream.InvalidUtf8Rows()) {
        m_result.invalidUtf8Rows = invalid;
        m_result.warnings.append(
                tr("В файле %1 строк с байтами не в кодировке UTF-8: %2 (%3); такие байты читаются как "
                   "знак замены «�»")
                        .arg(source->name)
                        .arg(invalid)
                        .arg(LineList(stream.FirstInvalidUtf8(), invalid)));
    }
    // The work is done: a cancel pressed now changes nothing.
    if (m_progress)
        m_progress->Report(m_rowCount, m_rowCount, done);
    m_result.finished = true;
    return std::move(m_result);
}

QString FeedLoader::LineList(const std::vector<qint64> &offsets, qint64 skipped) const
{
    QStringList lines;
    const std::vector<qint64> numbers = m_source->reader->LineNumbers(offsets);
    for (const qint64 line : numbers)
        lines.append(QString::number(line));
    QString text = (lines.size() == 1 ? tr("строка %1") : tr("строки %1")).arg(lines.join(QStringLiteral(", ")));
    if (skipped > qint64(lines.size()))
        text += QStringLiteral(", …");
    return text;
}

void FeedLoader::WarnOfRepeatedColumns()
{
    // The first column of a name is the one read and written; a later one
    // of the same name is left out, and said so.
    QSet<QString> seen;
    QStringList repeated;
    for (const QString &column : qAsConst(m_source->header)) {
        if (seen.contains(column)) {
            if (!repeated.contains(column))
                repeated.append(column);
        } else {
            seen.insert(column);
        }
    }
    if (!repeated.isEmpty()) {
        m_result.warnings.append(tr("В файле %1 повторяются столбцы %2: читается только первый из одноимённых")
                                         .arg(m_source->name, repeated.join(QStringLiteral(", "))));
    }
}

Offer *FeedLoader::Touch(Offer *offer)
{
    // What the load changes in an offer it did not create, to be put back
    // when the load does not finish.
    if (m_catalogue.Offers().indexOf(offer) < m_offerCount && !m_snapshots.contains(offer)) {
        OfferSnapshot snapshot;
        snapshot.hasGoods = offer->hasGoods;
        snapshot.categories = offer->categories;
        snapshot.droppedCategories = offer->droppedCategories;
        snapshot.priceInfo = offer->priceInfo;
        m_snapshots.insert(offer, snapshot);
    }
    return offer;
}

void FeedLoader::Revert()
{
    for (auto it = m_statusChanges.rbegin(); it != m_statusChanges.rend(); ++it)
        it->first->status = it->second;
    m_statusChanges.clear();
    m_changed.clear();
    m_touched.clear();
    for (auto it = m_snapshots.begin(); it != m_snapshots.end(); ++it) {
        it.key()->hasGoods = it.value().hasGoods;
        it.key()->categories = it.value().categories;
        it.key()->droppedCategories = it.value().droppedCategories;
        it.key()->priceInfo = it.value().priceInfo;
    }
    // Offers the load created hold no goods now: they go.
    m_catalogue.RemoveOffersFrom(m_offerCount);
    for (Good *good : m_unfiled)
        GoodArena::Release(good);
    m_unfiled.clear();
    delete m_newTree;
    m_newTree = nullptr;
}

bool FeedLoader::LoadRows(RawCells &cells)
{
    bool hasRow = cells.Next();

    // The offer of the whole file, unless the file names one per row.
    if (m_source->offerColumn >= 0 || !hasRow) {
        m_source->offerName = QString::fromUtf8(Source::kMixedOffers);
    } else {
        // (The first row is read again through the reader, which reads the
        // mapping under its guard.)
        const QStringList first = m_source->reader->RowAt(cells.offset);
        m_fileOffer = Touch(OfferOfFile(QStringList() << Good::Cell(first, m_source->urlColumn)));
        m_source->offerName = m_fileOffer->name;
    }

    if (hasRow)
        ReserveForRows(cells);
    while (hasRow) {
        if (m_isBase && cells.BatchBegins()) {
            PreparedRows &prepared = *cells.prepared;
            m_categoryTexts += prepared.newCategories;
            m_offerTexts += prepared.newOffers;
            LookUpKeys(prepared);
        }
        FetchAhead(cells);
        LoadRow(cells, cells.offset);
        ++m_rowCount;
        if (m_progress && m_rowCount % 50 == 0) {
            const QString text = tr("Загрузка %1: загружено %2 товаров.").arg(m_source->name).arg(m_rowCount);
            if (!m_progress->Report(0, 0, text))
                return false;
        }
        hasRow = cells.Next();
    }
    return true;
}

void FeedLoader::ReserveForRows(const RawCells &cells)
{
    // What grows by a row is given its room once, from the rows the file
    // will hold at the first batch's bytes a row: grown by doubling, it
    // would be copied and its fresh pages zeroed again and again. Room
    // never used costs no memory where pages are never touched; a guess
    // too low only leaves the rest to grow as usual. A feed that begins
    // with short rows and goes on with long ones would be guessed far too
    // many: the room is held to a bound (about 340 MB of addresses at most).
    const qint64 kMostRows = qint64(1) << 23;
    const CsvRowStream::Batch &batch = *cells.batch;
    const qint64 bytes = batch.ends.back() - batch.offsets.front();
    if (bytes <= 0)
        return;
    const qint64 rest = cells.stream->FileSize() - batch.offsets.front();
    const qint64 rows =
            qMin<qint64>(kMostRows, rest / bytes * batch.Rows() + rest % bytes * batch.Rows() / bytes);
    const size_t expected = size_t(rows + rows / 16 + 1024);
    if (m_isBase) {
        // Every good of the data that a base row matches is marked once.
        m_statusChanges.reserve(size_t(m_keyMap.Size()));
        return;
    }
    Source::Digests &digests = m_source->digests;
    digests.keys.reserve(digests.keys.size() + expected);
    digests.rows.reserve(digests.rows.size() + expected);
    digests.keyReady.reserve(digests.keyReady.size() + expected);
    m_unfiled.reserve(expected);
}

void FeedLoader::LookUpKeys(PreparedRows &prepared)
{
    // The lookups among a million loaded goods, a miss of the cache each,
    // for a stretch of the batch at once: the table's entries of the keys a
    // few rows on are fetched while a row's are compared, so that the
    // misses overlap (one lookup after each row's digests waited for its
    // entry every time).
    std::vector<RowCells> &rows = prepared.rows;
    const std::vector<RowHash> &digests = prepared.digests;
    const size_t count = rows.size();
    const size_t kAhead = 8;
    for (size_t i = 0; i < count && i < kAhead; ++i) {
        if (rows[i].digested & KeyReady)
            m_keyMap.Prefetch(digests[2 * i]);
    }
    for (size_t i = 0; i < count; ++i) {
        if (i + kAhead < count && (rows[i + kAhead].digested & KeyReady))
            m_keyMap.Prefetch(digests[2 * (i + kAhead)]);
        RowCells &cells = rows[i];
        if (!(cells.digested & KeyReady))
            continue;
        cells.found = m_keyMap.Find(digests[2 * i]);
        if (cells.found && m_keyMap.Cells(cells.found) == digests[2 * i + 1]
                && m_wholeSources.contains(cells.found->Value()->source))
            cells.digested |= SameCells;
    }
}

void FeedLoader::FetchAhead(const RawCells &cells)
{
    // A data row's bytes were last read by the stream's thread, on the
    // other core: those of a row two on are asked for while this one is
    // worked on, all of them (a line in two: the processor brings the line
    // beside), since its digests read it whole.
    if (!m_isBase) {
        const CsvRowStream::Batch &batch = *cells.batch;
        const size_t ahead = size_t(cells.index) + 2;
        if (ahead < batch.offsets.size()) {
            const char *begin = batch.fields[size_t(batch.firstFields[ahead])].data;
            const char *end = begin + (batch.ends[ahead] - batch.offsets[ahead]);
            for (const char *p = begin; p < end; p += 128)
                __builtin_prefetch(p);
        }
        return;
    }
    // A base row's key, looked up when its batch came in a table of a
    // million, leads to a good anywhere in memory: the entry of a row a
    // few rows on is fetched ahead, then its good, whose status tells
    // whether the base met it before.
    {
        const RowCells *row = cells.Ahead(8);
        if (row && row->found)
            __builtin_prefetch(row->found);
        row = cells.Ahead(4);
        if (row && row->found)
            __builtin_prefetch(row->found->Value());
    }
}

void FeedLoader::FileGoods()
{
    // Each list is given its room first, from the goods counted by offer
    // and category as they were made (a list grown by doubling is copied
    // again and again), and each category of the load learns its offers
    // from the same counts, without a good read.
    QHash<CatModel *, int> counts;
    for (size_t slot = 0; slot < m_nodes.size(); ++slot) {
        Offer *offer = m_fileOffer ? m_fileOffer : (slot < m_offerOf.size() ? m_offerOf[slot] : nullptr);
        for (const NodeOf &place : m_nodes[slot]) {
            if (place.goods == 0)
                continue;
            counts[place.node] += place.goods;
            if (offer)
                place.node->offers.insert(offer);
        }
    }
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        it.key()->goods.reserve(it.key()->goods.size() + it.value());
    // The goods join their categories' lists after the rows, in one tight
    // pass in the rows' order: appended row by row, amid the work on each
    // row, the ends of two thousand lists cost a miss of the cache and of
    // the address cache each, which here overlap.
    for (Good *good : m_unfiled)
        good->category->goods.append(good);
    m_unfiled = std::vector<Good *>();
}

void FeedLoader::LoadRow(const RawCells &cells, qint64 offset)
{
    RowCells row;
    if (m_isBase) {
        row = cells.Cells();
    } else {
        const CsvRawRow &raw = cells.Row();
        row.ReadPlain(raw, *m_source);
        row.category =
                NumberOf(raw, m_source->categoryColumn, m_categoryNumbers, &m_categoryTexts, false, m_scratch);
        if (m_source->offerColumn >= 0)
            row.offer = NumberOf(raw, m_source->offerColumn, m_offerNumbers, &m_offerTexts, true, m_scratch);
        row.vendor = NumberOf(raw, m_source->vendorColumn, m_vendorNumbers, &m_vendorTexts, false, m_scratch);
    }
    Offer *offer = m_fileOffer;
    if (!offer) {
        if (size_t(row.offer) >= m_offerOf.size())
            m_offerOf.resize(size_t(row.offer) + 1, nullptr);
        Offer *&known = m_offerOf[size_t(row.offer)];
        if (!known)
            known = Touch(m_catalogue.FindOrCreateOffer(m_offerTexts.at(row.offer)));
        offer = known;
    }
    offer->hasGoods = true;
    // A row without a category is never loaded, whatever the rules say;
    // it is counted, and the load says how many.
    if (row.category < 0) {
        ++m_withoutCategory;
        return;
    }

    // The node of the row's category for its offer: most rows repeat a
    // category already met in this load.
    const size_t slot = m_fileOffer ? 0 : size_t(row.offer);
    if (slot >= m_nodes.size())
        m_nodes.resize(slot + 1);
    std::vector<NodeOf> &nodes = m_nodes[slot];
    if (size_t(row.category) >= nodes.size())
        nodes.resize(size_t(row.category) + 1, NodeOf{kUnresolvedNode, 0});
    NodeOf &place = nodes[size_t(row.category)];
    CatModel *&node = place.node;
    if (node == kUnresolvedNode) {
        QString raw = m_categoryTexts.at(row.category);
        if (m_source->categoryIsList)
            raw = Good::FirstPart(raw, QStringLiteral(", "));
        const QString mapped = offer->MapCategory(raw);
        node = mapped.isNull() ? nullptr : m_newTree->FindOrCreatePath(mapped);
        if (!m_isBase)
            (node ? offer->categories : offer->droppedCategories).insert(raw);
        // A good filed at the top of the load's own tree would be lost
        // without a word when the tree is merged: a path of nothing but "/"
        // counts as no category at all.
        if (node == m_newTree)
            node = kNoPathNode;
    }
    if (node == kNoPathNode) {
        ++m_withoutCategory;
        return;
    }
    if (!node)
        return;

    Good candidate;
    candidate.rowOffset = offset;
    candidate.source = m_source;
    candidate.category = node;
    candidate.offer = offer;
    candidate.status = Added;
    candidate.price = row.price;
    candidate.oldPrice = row.oldPrice;
    offer->priceInfo.Include(&candidate);

    // The identity template: none when the row's own "idTpl" cell names one.
    if (!(row.present & HasIdTpl)) {
        const GoodIdentity::Default which =
                GoodIdentity::DefaultFor(row.present & HasUrl, row.present & HasId, row.present & HasName);
        if (!m_templates[which])
            m_templates[which] = m_source->InternTemplate(GoodIdentity::DefaultTemplate(which));
        candidate.idTemplate = m_templates[which];
    }

    // A base row that matches a loaded good leaves no good of its own, nor
    // does a repeat of a key met before in the base.
    RowHash key;
    bool keyed = false;
    if (m_isBase) {
        const BaseMatch match = MatchBase(candidate, cells, &key, &keyed);
        if (match == BaseMatch::Repeat) {
            ++m_repeats;
            return;
        }
        if (slot >= m_baseGoods.size())
            m_baseGoods.resize(slot + 1, 0);
        ++m_baseGoods[slot];
        if (match == BaseMatch::Matched)
            return;
        candidate.status = Deleted;
        ++m_result.deleted;
        // Only now that the row makes a good is its vendor read: most base
        // rows match a loaded good, and a vendor no good has would only
        // join the registry's names.
        row.vendor = NumberOf(cells.Row(), m_source->vendorColumn, m_vendorNumbers, &m_vendorTexts, false, m_scratch);
    }
    if (row.vendor >= 0) {
        if (size_t(row.vendor) >= m_vendorOf.size())
            m_vendorOf.resize(size_t(row.vendor) + 1, kUnresolvedVendor);
        const QString *&vendor = m_vendorOf[size_t(row.vendor)];
        if (vendor == kUnresolvedVendor)
            vendor = m_catalogue.Vendors().Insert(m_vendorTexts.at(row.vendor));
        candidate.vendor = vendor;
    }
    // The good's digests, for the duplicate removals and base loads to
    // come: a base row has them from the stream's thread, which digested
    // it; a data row has the digest of its cells from there too, and its
    // key's is made here, with the UTF-8 verdict the key needs.
    Source::Digests &digests = m_source->digests;
    candidate.digestIndex = quint32(digests.keys.size());
    if (m_isBase) {
        digests.keys.push_back(cells.Digest(0));
        digests.rows.push_back(cells.Digest(1));
        digests.keyReady.push_back(row.digested & KeyReady);
    } else {
        RowHash key;
        const bool keyReady = (row.present & (HasUrl | HasIdTpl)) == HasUrl
                && IdentityKey::Digest(*m_byUrl, cells.View(), m_urlColumns, QString(), QByteArray(), 0, &key);
        digests.keys.push_back(key);
        digests.rows.push_back(cells.prepared->cellsLeft ? m_wholeRow.Digest(&cells.Row(), m_scratch)
                                                         : cells.CellsDigest());
        digests.keyReady.push_back(keyReady);
    }
    Good *good = m_catalogue.Arena().New(candidate);
    m_unfiled.push_back(good);
    ++place.goods;
    // Another base row with this key repeats this one.
    if (keyed) {
        bool inserted;
        m_deletedKeys.Insert(key, good, &inserted);
    }
}

FeedLoader::BaseMatch FeedLoader::MatchBase(const Good &candidate, const RawCells &cells, RowHash *key,
                                            bool *keyed)
{
    const Source &source = *m_source;
    IdTemplate storage;
    const IdTemplate *tpl =
            GoodIdentity::TemplateOf(candidate, [&]() { return cells.Text(source.idTplColumn); }, &storage);
    IdentityKey::Columns columns;
    columns.url = source.urlColumn;
    columns.id = source.idColumn;
    columns.name = source.nameColumn;
    const DigestMap::Entry *found;
    const uchar digested = cells.Cells().digested;
    if (tpl->shape == IdTemplate::UrlOnly && (digested & KeyReady)) {
        *key = cells.Digest(0);
        *keyed = true;
        found = cells.Cells().found; // looked up when the batch came
    } else {
        if (candidate.offer != m_offerOfUtf8) {
            m_offerOfUtf8 = candidate.offer;
            m_offerUtf8 = candidate.offer->name.toUtf8();
        }
        // A key with the row's own number ("[p]") is met by no other row.
        *keyed = IdentityKey::Digest(*tpl, cells.View(), columns, candidate.offer->name, m_offerUtf8,
                                     quintptr(&candidate), key);
        if (!*keyed)
            return BaseMatch::Alone;
        found = m_keyMap.Find(*key);
    }
    if (!found)
        return m_deletedKeys.Find(*key) ? BaseMatch::Repeat : BaseMatch::Alone;

    Good *existing = found->Value();
    if (MetByBase(*existing)) {
        // The site holds the key more than once. The first of its rows
        // decided, and a repeat deletes nothing; only a loaded good that the
        // first found changed is left alone when a repeat holds exactly its
        // text: the site has that row already (a feed loaded as data and as
        // base leaves nothing, whichever of its repeats the data kept).
        if (existing->status == kChangedMark && SameAsLoaded(*existing, found, cells)) {
            m_statusChanges.emplace_back(existing, existing->status);
            existing->status = kIdenticalMark;
            m_touched.insert(existing->category);
        }
        return BaseMatch::Repeat;
    }
    quint64 differing = 0;
    const bool same = SameAsLoaded(*existing, found, cells, &differing);
    m_statusChanges.emplace_back(existing, existing->status);
    if (same) {
        existing->status = kIdenticalMark;
        m_touched.insert(existing->category);
    } else {
        existing->status = kChangedMark;
        // What the good's card and the change report show of the base.
        ChangedGoods::Entry entry;
        entry.good = existing;
        entry.place = quint64(cells.offset);
        entry.columns = differing;
        entry.oldPrice = cells.Cells().price;
        m_changed.push_back(entry);
    }
    return BaseMatch::Matched;
}

bool FeedLoader::SameAsLoaded(const Good &existing, const DigestMap::Entry *found, const RawCells &cells,
                              quint64 *columns)
{
    const RowCells &row = cells.Cells();
    // The lookup of the batch compared the digests of the entry it found.
    if ((row.digested & SameCells) && found == row.found)
        return true;
    const ColumnPairs &pairs = PairsWith(existing.source);
    const RowHash &foundCells = m_keyMap.Cells(found);
    if (pairs.base.whole && (row.digested & CellsReady)
            ? cells.Digest(1) == foundCells
            : pairs.base.Digest(&cells.Row(), m_scratch) == foundCells)
        return true;
    // Digests differ when the bytes do; the texts may still be equal
    // (quoting, invalid UTF-8), so the rows are compared cell by cell.
    // These rows lie all over the feed: they are read from the file, not
    // from its mapping, whose pages would pile up in memory.
    CsvManipulator *other = existing.source->reader.get();
    static const CsvRawRow s_emptyRow;
    const CsvRawRow *otherRow = other->ReadAt(existing.rowOffset);
    if (!otherRow)
        otherRow = &s_emptyRow;
    quint64 differing = 0;
    for (int i = 0; i < pairs.base.columns.size(); ++i) {
        if (CsvRawRow::SameText(cells.Row(), pairs.base.columns.at(i), *otherRow, pairs.other.columns.at(i)))
            continue;
        if (!columns)
            return false;
        differing |= quint64(1) << ChangedGoods::ColumnBit(pairs.base.columns.at(i));
    }
    if (columns)
        *columns = differing;
    return differing == 0;
}

const FeedLoader::ColumnPairs &FeedLoader::PairsWith(const Source *other)
{
    auto it = m_pairs.find(other);
    if (it != m_pairs.end())
        return it.value();
    ColumnPairs pairs;
    for (int column = 0; column < m_baseHeader.size(); ++column) {
        if (column == m_baseCategoryColumn)
            continue;
        const int otherColumn = other->header.indexOf(m_baseHeader.at(column));
        if (otherColumn >= 0) {
            pairs.base.columns.append(column);
            pairs.other.columns.append(otherColumn);
        }
    }
    // The same columns in the same order: the rows are digested whole.
    bool whole = other->header.size() == m_baseHeader.size()
            && pairs.base.columns.size() == m_baseHeader.size() - (m_baseCategoryColumn >= 0 ? 1 : 0);
    for (int i = 0; whole && i < pairs.base.columns.size(); ++i)
        whole = pairs.base.columns.at(i) == pairs.other.columns.at(i);
    pairs.base.whole = pairs.other.whole = whole;
    pairs.base.skipped = pairs.other.skipped = m_baseCategoryColumn;
    return m_pairs.insert(other, pairs).value();
}

Offer *FeedLoader::OfferOfFile(const QStringList &firstRow)
{
    m_source->offerName.clear();

    // A domain from file names such as "www_myshop.example_2015_04".
    QString domain;
    const QStringList parts = m_source->name.split(QLatin1Char('_'), Qt::SkipEmptyParts);
    if (parts.size() >= 3 && parts.size() <= 5 && parts.at(1) != QLatin1String("admitad"))
        domain = parts.at(0) == QLatin1String("www") ? parts.at(1) : parts.at(0);

    // The shop's own site from the "ulp" parameter of an affiliate link.
    QString siteRoot;
    if (m_source->urlColumn >= 0) {
        const QString query = QUrl(firstRow.value(0)).query(QUrl::FullyEncoded);
        if (query.contains(QLatin1String("ulp="))) {
            const QStringList items = query.split(QLatin1Char('&'));
            for (const QString &item : items) {
                const QString decoded = QUrl::fromPercentEncoding(item.toLatin1());
                if (!decoded.startsWith(QLatin1String("ulp=")))
                    continue;
                const QUrl target(decoded.mid(4));
                if (target.isValid() && !target.host().isEmpty())
                    siteRoot = target.scheme() + QLatin1String("://") + target.host(QUrl::FullyDecoded);
                break;
            }
        }
    }

    const QMap<QString, Offer *> &index = m_catalogue.OfferIndex();
    Offer *offer = nullptr;
    if (!domain.isEmpty())
        offer = index.value(domain);
    if (!offer && !siteRoot.isEmpty()) {
        offer = index.value(siteRoot);
        if (!offer)
            offer = index.value(siteRoot + QLatin1Char('/'));
    }
    // A catalogue whose file's name says nothing names its offer after its
    // shop, unless the project already knows an offer by the file's name:
    // that one keeps its goods and rules.
    if (!offer && !m_source->shopOffer.isEmpty() && !index.contains(m_source->name))
        offer = m_catalogue.FindOrCreateOffer(m_source->shopOffer);
    if (!offer)
        offer = m_catalogue.FindOrCreateOffer(m_source->name);

    if (offer->prefix.isEmpty() && !domain.isEmpty()) {
        m_catalogue.IndexOffer(domain, offer);
        offer->prefix = domain;
    }
    if (offer->url.isEmpty() && !siteRoot.isEmpty()) {
        m_catalogue.IndexOffer(siteRoot, offer);
        offer->url = siteRoot;
    }
    return offer;
}

void FeedLoader::Finish()
{
    for (CatModel *node : qAsConst(m_touched)) {
        node->RemoveGoodsIf([this](const Good *good) {
            if (good->status != kIdenticalMark)
                return false;
            ++m_result.unchanged;
            ++m_result.unchangedOfOffer[good->offer];
            return true;
        });
    }
    CatModel &root = m_catalogue.Root();
    if (m_isBase)
        root.Prune();
    // The catalogue's own categories learn their offers from their goods
    // before the load's categories join them: those have theirs from
    // FileGoods, and one merged into a category of the same name adds them
    // to that one's.
    root.RebuildOffers(true);
    root.MergeLoad(m_newTree, m_source->offerName);
}
