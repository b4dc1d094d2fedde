#include "model.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>

#include "csvmanipulator.h"
#include "dccatalogconverter.h"
#include "duplicateremover.h"
#include "feeddownload.h"
#include "feedloader.h"
#include "filter.h"
#include "good.h"
#include "goodswriter.h"
#include "iprogress.h"
#include "projectfile.h"
#include "ymlconverter.h"

namespace {

// The document type declaration of a dc_catalog catalogue; newer generators
// write its address with https.
const char kDcCatalogMarker[] = "!DOCTYPE dc_catalog SYSTEM \"http://www.delivery-club.ru/xml/dc.dtd\"";
const char kDcCatalogMarkerHttps[] = "!DOCTYPE dc_catalog SYSTEM \"https://www.delivery-club.ru/xml/dc.dtd\"";

// Where the CSV converted from a catalogue file goes: the temporary folder,
// the file's base name and a random number.
QString ConvertedCsvPath(const QString &path)
{
    return QDir::tempPath() + QDir::separator() + QFileInfo(path).completeBaseName() + QLatin1Char('_')
            + QString::number(QRandomGenerator::global()->bounded(1 << 30)) + QLatin1String(".csv");
}

} // namespace

Model::Model(QObject *parent) : QObject(parent), m_root(QStringLiteral("Root"))
{
    qRegisterMetaType<Good *>("Good *");
}

Model::~Model()
{
    for (Source &source : m_sources)
        source.DestroyReader();
}

Offer *Model::FindOrCreateOffer(const QString &key)
{
    if (Offer *offer = m_offerIndex.value(key))
        return offer;
    Offer created;
    created.name = key;
    m_offers.append(created);
    Offer *offer = &m_offers.last();
    m_offerIndex.insert(key, offer);
    return offer;
}

void Model::IndexOffer(const QString &key, Offer *offer)
{
    m_offerIndex.insert(key, offer);
}

void Model::IndexEditedOffer(Offer *offer)
{
    IndexOffer(offer->name, offer);
    if (!offer->prefix.isEmpty())
        IndexOffer(offer->prefix, offer);
    if (!offer->url.isEmpty())
        IndexOffer(offer->url, offer);
}

QString Model::Option(const QString &key, const QString &defaultValue) const
{
    return options.value(key, defaultValue);
}

void Model::SetOption(const QString &key, const QString &value)
{
    options.insert(key, value);
}

QStringList Model::ArrayOption(const QString &key) const
{
    return arrayOptions.value(key);
}

void Model::SetArrayOption(const QString &key, const QStringList &values)
{
    arrayOptions.insert(key, values);
}

void Model::AppendArrayOption(const QString &key, const QString &value)
{
    arrayOptions[key].append(value);
}

bool Model::AddFile(const QString &path, bool isBase, IProgress *progress)
{
    m_lastError.clear();
    m_warnings.clear();
    QString readPath = path;
    QFile file(path);
    int withoutCategory = 0;
    if (file.open(QIODevice::ReadOnly)) {
        const QString firstLine = QString::fromUtf8(file.readLine(2049));
        file.close();
        if (firstLine.contains(QLatin1String(kDcCatalogMarker))
                || firstLine.contains(QLatin1String(kDcCatalogMarkerHttps))) {
            const QString csvPath = ConvertedCsvPath(path);
            if (DcCatalogConverter::Convert(path, csvPath, progress))
                readPath = csvPath;
        } else if (YmlConverter::IsYmlCatalog(path)) {
            // A catalogue that cannot be converted loads nothing at all.
            const QString csvPath = ConvertedCsvPath(path);
            YmlConverter converter;
            if (!converter.Convert(path, csvPath, progress)) {
                SetError(converter.ErrorText());
                return false;
            }
            readPath = csvPath;
            withoutCategory = converter.OffersWithoutCategory();
        }
    }

    Source source;
    source.name = QFileInfo(path).completeBaseName();
    source.path = readPath;
    source.feedPath = path;
    source.reader = OpenCsvReader(readPath);
    if (!source.reader) {
        if (!QFileInfo::exists(readPath))
            SetError(tr("Файл %1 не найден").arg(QDir::toNativeSeparators(path)));
        else if (!QFile(readPath).open(QIODevice::ReadOnly))
            SetError(tr("Не удалось прочитать файл %1").arg(QDir::toNativeSeparators(path)));
        else
            SetError(tr("В файле %1 нет заголовка: первая строка пуста").arg(QDir::toNativeSeparators(path)));
        return false;
    }
    // Told before the load, kept after it: the load starts a warning list of its own.
    QString warning;
    if (withoutCategory > 0) {
        warning = tr("Каталог %1: товаров без категории или с категорией, которой в нём нет: %2; они не загружены")
                          .arg(QFileInfo(path).fileName())
                          .arg(withoutCategory);
        if (progress)
            progress->Report(0, 0, warning);
    }
    const bool ok = LoadFromReader(source, isBase, progress);
    if (!warning.isEmpty())
        AddWarning(warning);
    return ok;
}

bool Model::LoadFromReader(Source source, bool isBase, IProgress *progress)
{
    m_lastError.clear();
    m_warnings.clear();
    FeedLoader loader(*this, isBase, progress);
    if (isBase)
        loader.PrepareBase(source);
    m_sources.append(source);
    return loader.Run(&m_sources.last());
}

bool Model::RemoveDuplicates(IProgress *progress)
{
    m_lastError.clear();
    m_warnings.clear();
    DuplicateRemover remover;
    const bool finished = remover.Run(&m_root, progress);
    if (!finished)
        SetError(tr("Удаление дублей отменено"));
    return finished;
}

void Model::DropSource(Source *source)
{
    for (int i = 0; i < m_sources.size(); ++i) {
        if (&m_sources[i] == source) {
            m_sources[i].DestroyReader();
            m_sources.removeAt(i);
            return;
        }
    }
}

void Model::Clear(bool onlyData)
{
    m_root.Clear();
    for (Offer &offer : m_offers) {
        if (offer.exportLoaded && !offer.exportFile.isEmpty() && QFileInfo::exists(offer.exportFile))
            QFile::remove(offer.exportFile);
        offer.exportLoaded = false;
        offer.hasGoods = false;
        // The price range described goods that are gone now.
        offer.priceInfo.Reset();
    }
    for (Source &source : m_sources)
        source.DestroyReader();
    m_sources.clear();
    m_vendors.Clear();
    if (onlyData)
        return;
    m_offerIndex.clear();
    m_offers.clear();
    options.clear();
    // The list options hold only the filter's lists; a project opened next
    // must not inherit them.
    arrayOptions.clear();
}

void Model::StoreFilter(const QString &prefix, const Filter &filter)
{
    const QString start = prefix + QLatin1Char('/');
    for (auto it = options.begin(); it != options.end();) {
        if (it.key().startsWith(start))
            it = options.erase(it);
        else
            ++it;
    }
    for (auto it = arrayOptions.begin(); it != arrayOptions.end();) {
        if (it.key().startsWith(start))
            it = arrayOptions.erase(it);
        else
            ++it;
    }
    SetOption(prefix + QLatin1String("/price/low"), QString::number(filter.priceLow));
    SetOption(prefix + QLatin1String("/price/high"), QString::number(filter.priceHigh));
    SetOption(prefix + QLatin1String("/discount"),
              filter.discountOnly ? QStringLiteral("true") : QStringLiteral("false"));
    SetOption(prefix + QLatin1String("/search"), filter.searchText);

    // Only categories still in the tree are written: the filter may name
    // categories destroyed since it was made.
    QStringList ghostPaths;
    const QList<CatModel *> nodes = m_root.Descendants(true);
    for (const CatModel *node : nodes) {
        if (!filter.uncheckedCategories.contains(node))
            continue;
        QString path;
        const QList<CatModel *> above = node->Ancestors(true);
        for (int i = 1; i < above.size(); ++i) {
            path += above.at(i)->name;
            if (above.at(i)->ghost && !ghostPaths.contains(path))
                ghostPaths.append(path);
            path += QLatin1Char('/');
        }
        path += node->name;
        AppendArrayOption(prefix + QLatin1String("/unchecked"), path);
    }
    for (const QString &path : qAsConst(ghostPaths))
        AppendArrayOption(prefix + QLatin1String("/ghosts"), path);
    for (const QString *vendor : filter.vendors)
        AppendArrayOption(prefix + QLatin1String("/vendors"), *vendor);
}

QString Model::DefaultProjectPath()
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    if (QFileInfo(programFolder).isWritable())
        return QDir::cleanPath(programFolder + QDir::separator() + QLatin1String("last.fdm"));
    // Installed system-wide: the program's folder is not ours to write.
    const QString dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dataFolder);
    return QDir::cleanPath(dataFolder + QDir::separator() + QLatin1String("last.fdm"));
}

bool Model::SaveProject(const QString &path) const
{
    return ProjectFile::Save(*this, path.isNull() ? DefaultProjectPath() : path);
}

bool Model::LoadProject(const QString &path)
{
    m_lastError.clear();
    m_warnings.clear();
    const QString file = path.isNull() ? DefaultProjectPath() : path;
    QString error;
    const bool ok = ProjectFile::Load(*this, file, &error);
    if (!ok)
        SetError(error);
    return ok;
}

bool Model::WriteGoods(IWriter *writer, const QStringList &header, bool writeHeader, const CatModel *category,
                       const Filter *filter, IProgress *progress, bool recursive)
{
    GoodsWriter goodsWriter(*this);
    const bool ok = goodsWriter.Write(writer, header, writeHeader, category ? category : &m_root, filter, progress,
                                      recursive);
    if (!ok)
        SetError(tr("Сохранение отменено"));
    return ok;
}

QStringList Model::CollectHeader(const CatModel *category, const Filter *filter, bool recursive)
{
    return GoodsWriter::CollectHeader(category ? category : &m_root, filter, recursive);
}

bool Model::SaveToFile(const QString &file, const CatModel *category, const QStringList *header,
                       const Filter *filter, IProgress *progress)
{
    m_lastError.clear();
    m_warnings.clear();
    IWriter *writer = CreateCsvWriter(file);
    if (!writer) {
        SetError(tr("Не удалось создать файл %1").arg(QDir::toNativeSeparators(file)));
        return false;
    }
    const CatModel *from = category ? category : &m_root;
    const QStringList columns = header ? *header : CollectHeader(from, filter, true);
    bool ok = WriteGoods(writer, columns, true, from, filter, progress, true);
    auto *csv = static_cast<CsvManipulator *>(writer);
    if (!csv->Close() && ok) {
        SetError(tr("Не удалось записать файл %1").arg(QDir::toNativeSeparators(file)));
        ok = false;
    }
    delete writer;
    return ok;
}

bool Model::SaveToFilesByCats(const QString &folder, const CatModel *category, const QStringList *header,
                              const Filter *filter, IProgress *progress)
{
    m_lastError.clear();
    m_warnings.clear();
    const CatModel *from = category ? category : &m_root;
    QList<const CatModel *> listed;
    listed.append(from);
    const QList<CatModel *> below = from->Descendants(true);
    for (const CatModel *node : below)
        listed.append(node);

    for (const CatModel *node : qAsConst(listed)) {
        if (node->goods.isEmpty())
            continue;
        const QString file = QDir::cleanPath(folder + QDir::separator() + GoodsWriter::FileBaseName(node)
                                             + QLatin1String(".csv"));
        IWriter *writer = CreateCsvWriter(file);
        if (!writer) {
            SetError(tr("Не удалось создать файл %1").arg(QDir::toNativeSeparators(file)));
            return false;
        }
        const QStringList columns = header ? *header : CollectHeader(node, filter, false);
        bool ok = WriteGoods(writer, columns, true, node, filter, progress, false);
        if (!static_cast<CsvManipulator *>(writer)->Close() && ok) {
            SetError(tr("Не удалось записать файл %1").arg(QDir::toNativeSeparators(file)));
            ok = false;
        }
        delete writer;
        if (!ok) {
            ReleaseMappedPages();
            return false;
        }
    }
    ReleaseMappedPages();
    return true;
}

void Model::ReleaseMappedPages()
{
    for (const Source &source : qAsConst(m_sources)) {
        if (auto *csv = dynamic_cast<CsvManipulator *>(source.reader))
            csv->ReleaseMapped();
    }
}

bool Model::AddUrl(const QString &url, bool isBase, IProgress *progress, QString *tempFile)
{
    m_lastError.clear();
    m_warnings.clear();
    if (progress && !progress->Report(0, 0, tr("Загрузка файла ") + url)) {
        SetError(tr("Загрузка %1 отменена").arg(url));
        return false;
    }
    FeedDownload download(url, progress);
    if (!download.Run()) {
        SetError(download.ErrorText());
        return false;
    }
    if (tempFile)
        *tempFile = download.FilePath();
    return AddFile(download.FilePath(), isBase, progress);
}

bool Model::LoadOffer(Offer *offer, IProgress *progress)
{
    if (offer->exportUrl.isEmpty() || offer->exportLoaded)
        return true;
    offer->exportLoaded = AddUrl(offer->exportUrl, false, progress, &offer->exportFile);
    return offer->exportLoaded;
}

bool Model::LoadAllOffers(IProgress *progress)
{
    // Offers created while loading are appended to the list: they are
    // visited too, and have no feed address of their own.
    for (int i = 0; i < m_offers.size(); ++i) {
        if (!LoadOffer(&m_offers[i], progress))
            return false;
    }
    return true;
}

bool Model::ReloadOffer(Offer *offer, IProgress *progress)
{
    UnloadOffer(offer, progress);
    if (!offer->exportFile.isEmpty())
        AddFile(offer->exportFile, false, progress);
    else
        AddUrl(offer->exportUrl, false, progress, &offer->exportFile);
    return true;
}

bool Model::UnloadOffer(Offer *offer, IProgress *progress)
{
    if (progress && !progress->Report(0, 0, tr("Удаление старых данных"))) {
        SetError(tr("Операция отменена"));
        return false;
    }
    m_root.RemoveGoodsOfOffer(offer);
    if (!offer->exportFile.isEmpty()) {
        for (int i = m_sources.size() - 1; i >= 0; --i) {
            Source *source = &m_sources[i];
            // A converted catalogue's source reads another file than the download.
            if (source->path != offer->exportFile && source->feedPath != offer->exportFile)
                continue;
            m_root.RemoveGoodsOfSource(source);
            DropSource(source);
        }
    }
    offer->exportLoaded = false;
    offer->hasGoods = false;
    offer->priceInfo.Reset();
    return true;
}

bool Model::DeleteOffer(Offer *offer, IProgress *progress)
{
    if (progress && !progress->Report(0, 0, tr("Удаление оффера"))) {
        SetError(tr("Операция отменена"));
        return false;
    }
    // An offer whose goods could not be taken out stays: they point at it.
    if (offer->hasGoods && !UnloadOffer(offer, progress))
        return false;
    for (auto it = m_offerIndex.begin(); it != m_offerIndex.end();) {
        if (it.value() == offer)
            it = m_offerIndex.erase(it);
        else
            ++it;
    }
    for (int i = 0; i < m_offers.size(); ++i) {
        if (&m_offers[i] == offer) {
            m_offers.removeAt(i);
            break;
        }
    }
    return true;
}

void Model::DeleteUnusedOffers()
{
    QList<Offer *> unused;
    for (Offer &offer : m_offers) {
        if (!offer.hasGoods && offer.HasNoRules())
            unused.append(&offer);
    }
    for (Offer *offer : qAsConst(unused))
        DeleteOffer(offer, nullptr);
}
