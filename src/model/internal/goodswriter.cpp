#include "goodswriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QSet>
#include <QThread>
#include <QVector>

#include <atomic>
#include <cstring>
#include <vector>

#include "catmodel.h"
#include "csvmanipulator.h"
#include "csvrowbuilder.h"
#include "defaultgoodqueryobject.h"
#include "filter.h"
#include "good.h"
#include "goodidentity.h"
#include "helperthread.h"
#include "idtemplate.h"
#include "iprogress.h"
#include "offer.h"
#include "pipeline.h"
#include "schema.h"
#include "source.h"

namespace {

const int kReleaseAfter = 100000;

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

bool GoodsWriter::AnySelected(const CatModel *category, const Filter *filter)
{
    // The rules of the tree's walk, stopping at the first good it would take.
    if (category->goods.isEmpty())
        return false;
    if (!filter)
        return true;
    if (filter->uncheckedCategories.contains(category))
        return false;
    if (!filter->IsActive())
        return true;
    for (const Good *good : category->goods) {
        if (filter->Accepts(good))
            return true;
    }
    return false;
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

QString GoodsWriter::TemplateCell(const Good *good, const CsvRawRow *raw, const QStringList *row, int exported)
{
    // The template of "idTpl": kept as it is when every column it names is
    // exported; otherwise the values of the other columns are put in.
    const auto text = [raw, row](int column) { return raw ? raw->Text(column) : Good::Cell(*row, column); };
    IdTemplate storage;
    const IdTemplate *tpl = GoodIdentity::TemplateOf(
            *good, [&]() { return text(good->source->idTplColumn); }, &storage);
    if ((tpl->tokens & exported) == tpl->tokens)
        return tpl->text;
    return GoodIdentity::Resolve(*good, *tpl, tpl->tokens & ~exported, text);
}

bool GoodsWriter::CopyWhole(const Plan &plan, const CsvRawRow &raw, const Memo &memo, QByteArray *out)
{
    if (raw.Count() == 0)
        return false;
    const char *start = raw.fields.front().data;
    const CsvField &last = raw.fields.back();
    const char *end = last.data + last.size;
    const int size = int(end - start);
    // The writer would quote a cell with a lone "\r" and write invalid UTF-8
    // with replacement characters: such rows go cell by cell.
    if (std::memchr(start, '\r', size_t(size)) || !CsvRawRow::IsValidUtf8(start, size))
        return false;
    for (const CsvField &field : raw.fields) {
        if (!field.quoted)
            continue;
        // Quoted the writer's way: one section holding the whole cell, with
        // something in it that needs the quotes.
        if (field.size < 2 || field.data[0] != '"' || field.data[field.size - 1] != '"')
            return false;
        const char *inside = field.data + 1;
        const char *stop = field.data + field.size - 1;
        bool needed = false;
        for (const char *p = inside; p < stop;) {
            const char *quote = static_cast<const char *>(std::memchr(p, '"', size_t(stop - p)));
            if (!quote)
                break;
            if (quote + 1 >= stop || quote[1] != '"')
                return false;
            needed = true;
            p = quote + 2;
        }
        if (!needed)
            needed = std::memchr(inside, ';', size_t(stop - inside)) || std::memchr(inside, '\n', size_t(stop - inside));
        if (!needed)
            return false;
    }
    const CsvField *category = raw.Field(plan.categoryAt);
    if (category) {
        out->append(start, int(category->data - start));
        out->append(memo.escaped);
        out->append(category->data + category->size, int(end - (category->data + category->size)));
    } else {
        out->append(start, size);
    }
    out->append("\r\n", 2);
    return true;
}

void GoodsWriter::FormatRow(const Plan &plan, const Good *good, const SourcePlan &sourcePlan, const CsvRawRow &raw,
                            CsvRowBuilder &builder, Memo &memo, QByteArray *out)
{
    const Source &source = *good->source;
    const QVector<int> &map = sourcePlan.map;
    // Goods come category by category: the path is encoded once.
    if (plan.categoryAt >= 0 && good->category != memo.category) {
        memo.category = good->category;
        memo.path = good->category->path.toUtf8();
        memo.escaped.clear();
        CsvRowBuilder escaping(&memo.escaped);
        escaping.Begin();
        escaping.Field(memo.path);
    }
    if (sourcePlan.whole && CopyWhole(plan, raw, memo, out))
        return;
    builder.Begin(raw);
    for (int c = 0; c < plan.columns; ++c) {
        if (c == plan.offerAt) {
            if (source.offerColumn >= 0)
                builder.Field(raw, source.offerColumn);
            else
                builder.Field(source.offerName);
        } else if (c == plan.categoryAt) {
            builder.Field(memo.path);
        } else if (c == plan.templateAt) {
            builder.Field(TemplateCell(good, &raw, nullptr, plan.exported));
        } else if (c == plan.statusAt) {
            builder.Field(StatusMark(good->status));
        } else {
            builder.Field(raw, map.at(c));
        }
    }
    builder.End();
}

QStringList GoodsWriter::RowOf(const Plan &plan, const Good *good, const QVector<int> &map, const QStringList &row)
{
    const Source &source = *good->source;
    QStringList out;
    out.reserve(plan.columns);
    for (int c = 0; c < plan.columns; ++c) {
        if (c == plan.offerAt)
            out.append(source.offerColumn >= 0 ? Good::Cell(row, source.offerColumn) : source.offerName);
        else if (c == plan.categoryAt)
            out.append(good->category->path);
        else if (c == plan.templateAt)
            out.append(TemplateCell(good, nullptr, &row, plan.exported));
        else if (c == plan.statusAt)
            out.append(StatusMark(good->status));
        else
            out.append(Good::Cell(row, map.at(c)));
    }
    return out;
}

bool GoodsWriter::Write(IWriter *writer, const QStringList &header, bool writeHeader, const CatModel *category,
                        const Filter *filter, IProgress *progress, bool recursive)
{
    return WriteTo(writer, nullptr, header, writeHeader, category, filter, progress, recursive);
}

bool GoodsWriter::Write(CsvManipulator *writer, const QStringList &header, bool writeHeader,
                        const CatModel *category, const Filter *filter, IProgress *progress, bool recursive)
{
    return WriteTo(writer, writer, header, writeHeader, category, filter, progress, recursive);
}

bool GoodsWriter::WriteTo(IWriter *writer, CsvManipulator *csvWriter, const QStringList &header, bool writeHeader,
                          const CatModel *category, const Filter *filter, IProgress *progress, bool recursive)
{
    const QList<Good *> goods = Select(category, filter, recursive);
    const int total = goods.size();

    Plan plan;
    plan.columns = header.size();
    const QList<const Source *> sources = DistinctSources(goods);
    bool allMapped = true;
    for (const Source *source : sources) {
        SourcePlan sourcePlan;
        sourcePlan.map.resize(header.size());
        for (int i = 0; i < header.size(); ++i)
            sourcePlan.map[i] = source->header.indexOf(header.at(i));
        plan.sources.insert(source, sourcePlan);
        allMapped = allMapped && source->reader->IsMapped();
    }

    if (writeHeader)
        writer->WriteHeader(header);

    plan.offerAt = header.indexOf(Schema::Column::OfferName);
    plan.categoryAt = header.indexOf(Schema::Column::CategoryId);
    plan.templateAt = header.indexOf(Schema::Column::IdTpl);
    plan.statusAt = header.indexOf(Schema::Column::Status);
    if (header.contains(Schema::Column::Url))
        plan.exported |= IdTemplate::Url;
    if (plan.offerAt >= 0)
        plan.exported |= IdTemplate::OfferName;
    if (header.contains(Schema::Column::Id))
        plan.exported |= IdTemplate::Id;
    if (header.contains(Schema::Column::Name))
        plan.exported |= IdTemplate::Name;
    for (auto it = plan.sources.begin(); it != plan.sources.end(); ++it) {
        SourcePlan &sourcePlan = it.value();
        bool whole = plan.templateAt < 0 && plan.statusAt < 0 && it.key()->header.size() == header.size();
        for (int i = 0; whole && i < header.size(); ++i)
            whole = sourcePlan.map.at(i) == i;
        sourcePlan.whole = whole;
    }

    // A feed changed on disk since it was loaded no longer holds the rows
    // its goods point at.
    for (const Source *source : sources) {
        if (!source->reader->Unchanged()) {
            m_error = tr("Файл %1 изменился после загрузки: загрузите его заново")
                              .arg(QDir::toNativeSeparators(source->path));
            return false;
        }
    }
    for (const Source *source : sources)
        source->reader->SetOwnerThread(QThread::currentThread());

    m_unreadRows = 0;
    // The root's name is the tree's own, never shown to the user.
    const QString saving =
            category->parent ? tr("Сохранение %1").arg(category->name) : tr("Сохранение каталога");
    const bool finished = csvWriter && allMapped ? WriteInParallel(csvWriter, plan, goods, progress, saving)
                                                 : WriteEachRow(writer, csvWriter, plan, goods, progress, saving);

    for (const Source *source : sources)
        source->reader->SetOwnerThread(nullptr);
    // A large save has read its feeds' pages in; they are given back (a
    // small one, such as one category of a save by categories, leaves that
    // to its caller: the release walks the whole mapping). The system goes
    // over every page mapped: a helper gives back the second half of each
    // mapping meanwhile.
    if (total >= kReleaseAfter) {
        HelperThread helper([&sources]() {
            for (const Source *source : sources)
                source->reader->ReleaseMappedHalf(1);
        });
        for (const Source *source : sources)
            source->reader->ReleaseMappedHalf(0);
    }
    if (!finished) {
        m_error = tr("Сохранение отменено");
        return false;
    }
    if (m_unreadRows > 0) {
        QStringList files;
        for (const Source *source : sources)
            files.append(QDir::toNativeSeparators(source->path));
        m_error = tr("Не удалось прочитать строк: %1 из %2: файл %3 изменился после загрузки")
                          .arg(m_unreadRows)
                          .arg(total)
                          .arg(files.join(QStringLiteral(", ")));
        return false;
    }
    const QString saved = category->parent ? tr("Сохранено %1").arg(category->name) : tr("Каталог сохранён");
    if (progress && !progress->Report(total, total, saved)) {
        m_error = tr("Сохранение отменено");
        return false;
    }
    return true;
}

bool GoodsWriter::WriteEachRow(IWriter *writer, CsvManipulator *csvWriter, const Plan &plan,
                               const QList<Good *> &goods, IProgress *progress, const QString &saving)
{
    const int total = goods.size();
    QByteArray formatted;
    CsvRowBuilder builder(&formatted);
    Memo memo;
    const Source *mapSource = nullptr;
    const SourcePlan *sourcePlan = nullptr;
    CsvManipulator *csvReader = nullptr;
    for (int i = 0; i < total; ++i) {
        if (progress && i % 50 == 0 && !progress->Report(i, total, saving))
            return false;
        const Good *good = goods.at(i);
        if (good->source != mapSource) {
            mapSource = good->source;
            sourcePlan = &plan.sources.find(mapSource).value();
            csvReader = mapSource->reader.get();
        }
        if (csvWriter) {
            // Cells are copied from the source's bytes; only computed ones are built.
            const CsvRawRow *raw = csvReader->ScanAt(good->rowOffset);
            if (!raw) {
                ++m_unreadRows;
                continue;
            }
            formatted.clear();
            FormatRow(plan, good, *sourcePlan, *raw, builder, memo, &formatted);
            csvWriter->WriteRaw(formatted.constData(), formatted.size());
            continue;
        }
        const QStringList row = mapSource->reader->RowAt(good->rowOffset);
        if (row.isEmpty())
            ++m_unreadRows;
        else
            writer->WriteRow(RowOf(plan, good, sourcePlan->map, row));
    }
    return true;
}

bool GoodsWriter::WriteInParallel(CsvManipulator *writer, const Plan &plan, const QList<Good *> &goods,
                                  IProgress *progress, const QString &saving)
{
    // The goods go in chunks, formatted on two processors into buffers of
    // their own; this thread writes the chunks in order and reports as the
    // rows are written, so that a cancel stops the file exactly where it
    // would stop row by row. Chunks small enough that a category of a few
    // hundred goods (a file of a save by categories) is still shared
    // between the two threads.
    const int total = goods.size();
    const int kChunk = qBound(64, total / 8, 2048);
    const int kRing = 6;
    const int chunks = (total + kChunk - 1) / kChunk;

    struct Chunk
    {
        QByteArray bytes;
        std::vector<int> ends; // where each good's row ends in bytes
    };
    std::vector<Chunk> ring{size_t(kRing)};
    // What each formatting thread keeps from row to row, on cache lines of
    // its own: the two threads write theirs at every row.
    struct alignas(64) Formatter
    {
        CsvRawRow raw;
        QByteArray buffer;
        Memo memo;
    };
    Formatter formatters[2];
    std::atomic<int> unread{0};

    const auto format = [&](int chunk, int worker) {
        Formatter &formatter = formatters[worker];
        Chunk &out = ring[size_t(chunk % kRing)];
        out.bytes.clear();
        out.ends.clear();
        CsvRowBuilder builder(&out.bytes);
        const int first = chunk * kChunk;
        const int last = qMin(total, first + kChunk);
        const Source *mapSource = nullptr;
        const SourcePlan *sourcePlan = nullptr;
        const CsvManipulator *reader = nullptr;
        for (int i = first; i < last; ++i) {
            // Goods and rows lie all over memory: the good is fetched ahead,
            // and its row once the good is at hand.
            if (i + 32 < last)
                __builtin_prefetch(goods.at(i + 32));
            if (i + 16 < last) {
                const Good *ahead = goods.at(i + 16);
                ahead->source->reader->Prefetch(ahead->rowOffset);
            }
            const Good *good = goods.at(i);
            if (good->source != mapSource) {
                mapSource = good->source;
                sourcePlan = &plan.sources.find(mapSource).value();
                reader = mapSource->reader.get();
            }
            if (reader->ReadMappedRow(good->rowOffset, formatter.raw, formatter.buffer))
                FormatRow(plan, good, *sourcePlan, formatter.raw, builder, formatter.memo, &out.bytes);
            else
                ++unread;
            out.ends.push_back(out.bytes.size());
        }
    };
    const auto write = [&](int chunk) {
        const Chunk &out = ring[size_t(chunk % kRing)];
        const int first = chunk * kChunk;
        int from = 0;
        for (int j = 0; j < int(out.ends.size()); ++j) {
            const int i = first + j;
            if (progress && i % 50 == 0) {
                const int upTo = j == 0 ? 0 : out.ends[size_t(j - 1)];
                writer->WriteRaw(out.bytes.constData() + from, upTo - from);
                from = upTo;
                if (!progress->Report(i, total, saving))
                    return false;
            }
        }
        writer->WriteRaw(out.bytes.constData() + from, out.bytes.size() - from);
        return true;
    };
    const bool finished = Pipeline::Run(chunks, kRing, format, write);
    m_unreadRows += unread;
    return finished;
}
