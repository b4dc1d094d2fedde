#include "ymlconverter.h"

#include <cstring>
#include <limits>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <libxml/parser.h>

#include "blockwriter.h"
#include "csvmanipulator.h"
#include "csvrowparser.h"
#include "csvrawrow.h"
#include "feedformat.h"
#include "iprogress.h"
#include "ymlcategories.h"
#include "ymlpass.h"

namespace {

const CsvRowParser::Limits kNoLimits{std::numeric_limits<int>::max(), std::numeric_limits<int>::max()};

void InitLibrary()
{
    static const bool done = (xmlInitParser(), true);
    Q_UNUSED(done)
}

// Writes the file again under the whole header when columns appeared after
// it was written; the rows written before get the empty cells they lack.
bool AddColumns(const QString &csvPath, const QStringList &header, qint64 headerSize, qint64 shortRowsEnd)
{
    const QString partPath = csvPath + QLatin1String(".part");
    QFile old(csvPath);
    if (!old.open(QIODevice::ReadOnly) || !old.seek(headerSize))
        return false;
    bool ok;
    {
        CsvManipulator csv;
        if (!csv.Open(partPath, false))
            return false;
        csv.WriteHeader(header);
        const int columns = header.size();
        QByteArray buffer;
        QByteArray padded;
        CsvRawRow row;
        qint64 left = shortRowsEnd - headerSize;
        ok = true;
        while (ok && left > 0) {
            const QByteArray more = old.read(qMin<qint64>(left, YmlPass::kBlockSize));
            ok = !more.isEmpty();
            left -= more.size();
            buffer += more;
            const char *begin = buffer.constData();
            const char *end = begin + buffer.size();
            const char *rowEnd = nullptr;
            padded.resize(0);
            // The rows are this program's own: none is held back for its size
            // here (the load skips and counts those over the limits).
            while (CsvRowParser::Parse(begin, end, left == 0, false, row, &rowEnd, kNoLimits) == CsvRowParser::Result::Row) {
                padded.append(begin, int(rowEnd - begin) - 2); // without its "\r\n"
                for (int i = row.Count(); i < columns; ++i)
                    padded.append(';');
                padded.append("\r\n", 2);
                begin = rowEnd;
            }
            csv.WriteRaw(padded.constData(), padded.size());
            buffer.remove(0, int(begin - buffer.constData()));
        }
        QByteArray block(YmlPass::kBlockSize, Qt::Uninitialized);
        for (qint64 got = 1; ok && got > 0;) {
            got = old.read(block.data(), block.size());
            ok = got >= 0;
            if (got > 0)
                csv.WriteRaw(block.constData(), int(got));
        }
        ok = csv.Close() && ok;
    }
    old.close();
    if (!ok || !QFile::remove(csvPath) || !QFile::rename(partPath, csvPath)) {
        QFile::remove(partPath);
        return false;
    }
    return true;
}

} // namespace

bool YmlConverter::IsYmlCatalog(const QString &path)
{
    return FeedFormat::OfFile(path).kind == FeedFormat::Yml;
}

bool YmlConverter::Convert(const QString &xmlPath, const QString &csvPath, IProgress *progress)
{
    m_error.clear();
    m_shopName.clear();
    m_offers = 0;
    m_categories = 0;
    m_withoutCategory = 0;
    InitLibrary();
    const QString fileName = QFileInfo(xmlPath).fileName();
    if (progress && !progress->Report(0, 0, tr("Обработка каталога YML %1").arg(fileName))) {
        m_error = tr("Загрузка %1 отменена").arg(fileName);
        return false;
    }
    // A pipe would block the open and a device never end: only files are read.
    const QFileInfo info(xmlPath);
    if (info.exists() && !info.isFile()) {
        m_error = tr("%1 не является обычным файлом").arg(xmlPath);
        return false;
    }
    QFile xml(xmlPath);
    if (!xml.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        m_error = tr("Не удалось прочитать файл %1").arg(xmlPath);
        return false;
    }

    YmlCategories categories;
    YmlPass head(YmlPass::HeadPass, &categories, fileName);
    if (!head.Run(xml, progress)) {
        m_error = head.Error();
        return false;
    }
    categories.Resolve();

    QFile csv(csvPath);
    if (!csv.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        m_error = tr("Не удалось создать файл %1").arg(csvPath);
        return false;
    }
    bool ok;
    int offers = 0;
    int withoutCategory = 0;
    qint64 shortRowsEnd = -1;
    qint64 headerSize = 0;
    QStringList header;
    QString shopName;
    {
        BlockWriter writer(&csv, YmlPass::kBlockSize);
        YmlPass offerPass(YmlPass::OfferPass, &categories, fileName, &writer, csvPath);
        offerPass.TakeColumns(head);
        ok = offerPass.Run(xml, progress);
        if (!ok)
            m_error = offerPass.Error();
        if (!writer.Finish() && ok) {
            m_error = tr("Не удалось записать файл %1").arg(csvPath);
            ok = false;
        }
        offers = offerPass.OfferCount();
        withoutCategory = offerPass.WithoutCategory();
        shortRowsEnd = offerPass.ShortRowsEnd();
        headerSize = offerPass.HeaderSize();
        header = offerPass.Header();
        shopName = QString::fromStdString(offerPass.ShopName()).simplified();
    }
    csv.close();
    if (ok && csv.error() != QFileDevice::NoError) {
        m_error = tr("Не удалось записать файл %1").arg(csvPath);
        ok = false;
    }
    if (ok && shortRowsEnd >= 0 && !AddColumns(csvPath, header, headerSize, shortRowsEnd)) {
        m_error = tr("Не удалось записать файл %1").arg(csvPath);
        ok = false;
    }
    if (!ok) {
        QFile::remove(csvPath);
        return false;
    }
    m_offers = offers;
    m_categories = categories.Count();
    m_withoutCategory = withoutCategory;
    m_shopName = shopName;
    return true;
}
