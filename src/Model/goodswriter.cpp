#include "goodswriter.h"

#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <QThread>
#include <QVector>

#include "catmodel.h"
#include "csvmanipulator.h"
#include "defaultgoodqueryobject.h"
#include "good.h"
#include "idtemplate.h"
#include "iprogress.h"
#include "offer.h"
#include "source.h"

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("Model", text);
}

QList<const Source *> DistinctSources(const QList<Good *> &goods)
{
    QList<const Source *> sources;
    QSet<const Source *> seen;
    const Source *last = nullptr;
    for (const Good *good : goods) {
        if (good->source == last)
            continue;
        last = good->source;
        if (!seen.contains(last)) {
            seen.insert(last);
            sources.append(last);
        }
    }
    return sources;
}

QString StatusMark(int status)
{
    switch (status) {
    case Changed:
        return QStringLiteral("~");
    case Deleted:
        return QStringLiteral("-");
    }
    return QStringLiteral("+");
}

} // namespace

QList<Good *> GoodsWriter::Select(const CatModel *category, const Filter *filter, bool recursive)
{
    QList<Good *> goods;
    DefaultGoodQueryObject query(&goods);
    // The walk does not change the tree when the visitor only collects.
    const_cast<CatModel *>(category)->QueryGoods(&query, filter, recursive);
    return goods;
}

QStringList GoodsWriter::CollectHeader(const CatModel *category, const Filter *filter, bool recursive)
{
    QStringList header;
    QSet<QString> seen;
    const QList<const Source *> sources = DistinctSources(Select(category, filter, recursive));
    for (const Source *source : sources) {
        for (const QString &column : source->header) {
            if (!seen.contains(column)) {
                seen.insert(column);
                header.append(column);
            }
        }
    }
    return header;
}

QString GoodsWriter::FileBaseName(const CatModel *category)
{
    const QList<CatModel *> above = category->Ancestors(true);
    bool ghostAbove = false;
    for (const CatModel *node : above)
        ghostAbove = ghostAbove || node->ghost;
    if (!ghostAbove)
        return QString(category->path).replace(QLatin1Char('/'), QLatin1Char('-'));
    QStringList names;
    for (int i = 1; i < above.size(); ++i)
        names.append(above.at(i)->name);
    names.append(category->name);
    return names.join(QLatin1Char('-'));
}

bool GoodsWriter::Write(IWriter *writer, const QStringList &header, bool writeHeader, const CatModel *category,
                        const Filter *filter, IProgress *progress, bool recursive)
{
    Q_UNUSED(m_model)
    const QList<Good *> goods = Select(category, filter, recursive);
    const int total = goods.size();

    const QList<const Source *> sources = DistinctSources(goods);
    QHash<const Source *, QVector<int>> columnMaps;
    for (const Source *source : sources) {
        QVector<int> map(header.size());
        for (int i = 0; i < header.size(); ++i)
            map[i] = source->header.indexOf(header.at(i));
        columnMaps.insert(source, map);
    }

    if (writeHeader)
        writer->WriteHeader(header);

    const int offerAt = header.indexOf(QStringLiteral("advcampaign_name"));
    const int categoryAt = header.indexOf(QStringLiteral("categoryId"));
    const int templateAt = header.indexOf(QStringLiteral("idTpl"));
    const int statusAt = header.indexOf(QStringLiteral("status"));
    int exported = 0;
    if (header.contains(QStringLiteral("url")))
        exported |= IdTemplate::Url;
    if (offerAt >= 0)
        exported |= IdTemplate::OfferName;
    if (header.contains(QStringLiteral("id")))
        exported |= IdTemplate::Id;
    if (header.contains(QStringLiteral("name")))
        exported |= IdTemplate::Name;

    for (const Source *source : sources)
        source->reader->SetOwnerThread(QThread::currentThread());
    const auto unbind = [&sources]() {
        for (const Source *source : sources)
            source->reader->SetOwnerThread(nullptr);
    };

    auto *csvWriter = dynamic_cast<CsvManipulator *>(writer);
    const QString saving = tr("Сохранение ") + category->name;
    const Source *mapSource = nullptr;
    const QVector<int> *map = nullptr;
    CsvManipulator *csvReader = nullptr;

    for (int i = 0; i < total; ++i) {
        if (progress && i % 50 == 0 && !progress->Report(i, total, saving)) {
            unbind();
            return false;
        }
        const Good *good = goods.at(i);
        if (good->source != mapSource) {
            mapSource = good->source;
            map = &columnMaps[mapSource];
            csvReader = dynamic_cast<CsvManipulator *>(mapSource->reader);
        }
        const Source &source = *mapSource;

        // The template of "idTpl": kept as it is when every column it names is
        // exported; otherwise the values of the other columns are put in.
        const auto templateCell = [&](const auto &text) {
            QString tpl;
            int tokens;
            if (good->idTemplate) {
                tpl = good->idTemplate->text;
                tokens = good->idTemplate->tokens;
            } else if (source.idTplColumn >= 0) {
                tpl = text(source.idTplColumn);
                tokens = IdTemplate::TokensOf(tpl);
            } else {
                tpl = QStringLiteral("[p]");
                tokens = IdTemplate::AllTokens;
            }
            if ((tokens & exported) == tokens)
                return tpl;
            const int rest = tokens & ~exported;
            return IdTemplate::Resolve(tpl, rest, (rest & IdTemplate::Url) ? text(source.urlColumn) : QString(),
                                       good->offer ? good->offer->name : QString(),
                                       (rest & IdTemplate::Id) ? text(source.idColumn) : QString(),
                                       (rest & IdTemplate::Name) ? text(source.nameColumn) : QString(),
                                       quintptr(good));
        };

        if (csvWriter && csvReader) {
            // Cells are copied from the source's bytes; only computed ones are built.
            const CsvRawRow *raw = csvReader->ScanAt(good->rowOffset);
            if (!raw)
                continue;
            const auto text = [raw](int column) { return raw->Text(column); };
            csvWriter->BeginRow();
            for (int c = 0; c < header.size(); ++c) {
                if (c == offerAt) {
                    if (source.offerColumn >= 0)
                        csvWriter->AppendField(*raw, source.offerColumn);
                    else
                        csvWriter->AppendField(source.offerName);
                } else if (c == categoryAt) {
                    csvWriter->AppendField(good->category->path);
                } else if (c == templateAt) {
                    csvWriter->AppendField(templateCell(text));
                } else if (c == statusAt) {
                    csvWriter->AppendField(StatusMark(good->status));
                } else {
                    csvWriter->AppendField(*raw, map->at(c));
                }
            }
            csvWriter->EndRow();
            continue;
        }

        const QStringList row = source.reader->RowAt(good->rowOffset);
        if (row.isEmpty())
            continue;
        const auto text = [&row](int column) { return Good::Cell(row, column); };
        QStringList out;
        out.reserve(header.size());
        for (int c = 0; c < header.size(); ++c) {
            if (c == offerAt)
                out.append(source.offerColumn >= 0 ? text(source.offerColumn) : source.offerName);
            else if (c == categoryAt)
                out.append(good->category->path);
            else if (c == templateAt)
                out.append(templateCell(text));
            else if (c == statusAt)
                out.append(StatusMark(good->status));
            else
                out.append(map->at(c) >= 0 ? text(map->at(c)) : QString());
        }
        writer->WriteRow(out);
    }
    unbind();
    if (progress)
        return progress->Report(total, total, tr("Сохранено ") + category->name);
    return true;
}
