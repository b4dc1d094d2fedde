#pragma once

#include <QCoreApplication>

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

class CsvManipulator;
class CsvRawRow;
class CsvRowBuilder;
class Filter;
class IProgress;
class IWriter;
struct CatModel;
struct Good;
struct Source;

// The one save core: writes the goods of a category (and its subtree) that
// pass a filter through any writer, re-reading every row from its source and
// mapping the source's columns onto the output columns by name. Four output
// columns are computed: "advcampaign_name", "categoryId", "idTpl" and
// "status". Runs on the saving thread, which binds every involved reader to
// itself for the time of the save. When both the feeds and the output are
// CSV files, the rows are formatted on two processors and their cells copied
// as bytes.
class GoodsWriter
{
    Q_DECLARE_TR_FUNCTIONS(GoodsWriter)

public:
    bool Write(IWriter *writer, const QStringList &header, bool writeHeader, const CatModel *category,
               const Filter *filter, IProgress *progress, bool recursive);
    // A CSV file takes rows already in the dialect: cells are copied as
    // bytes and rows formatted on two processors.
    bool Write(CsvManipulator *writer, const QStringList &header, bool writeHeader, const CatModel *category,
               const Filter *filter, IProgress *progress, bool recursive);

    // Why the last Write() failed.
    QString ErrorText() const { return m_error; }

    // The union of the columns of the selected goods' sources, each name once.
    static QStringList CollectHeader(const CatModel *category, const Filter *filter, bool recursive);
    // The goods of a category that pass a filter, in walk order.
    static QList<Good *> Select(const CatModel *category, const Filter *filter, bool recursive);
    // Whether any good of the category's own passes the filter.
    static bool AnySelected(const CatModel *category, const Filter *filter);
    // The file name (without extension) under which a category is saved by
    // categories: its path with "-" for "/", or with ghost ancestors, the
    // names of all its ancestors below the root and its own.
    static QString FileBaseName(const CatModel *category);

private:
    // Where each output column comes from.
    struct SourcePlan
    {
        QVector<int> map; // the source's column of each output column, or -1
        // The output columns are the source's own, in its order, and only
        // "categoryId" is computed differently from the row: a row is then
        // copied whole but for that cell (when its cells are written the way
        // the writer would write them).
        bool whole = false;
    };
    struct Plan
    {
        QHash<const Source *, SourcePlan> sources;
        int offerAt = -1;
        int categoryAt = -1;
        int templateAt = -1;
        int statusAt = -1;
        int exported = 0; // token bits of the exported columns
        int columns = 0;
    };

    static QString TemplateCell(const Good *good, const CsvRawRow *raw, const QStringList *row, int exported);
    // What one formatting thread remembers from row to row.
    struct Memo
    {
        const CatModel *category = nullptr;
        QByteArray path;    // the category's path in UTF-8
        QByteArray escaped; // and as a cell of a row
    };
    static void FormatRow(const Plan &plan, const Good *good, const SourcePlan &source, const CsvRawRow &raw,
                          CsvRowBuilder &builder, Memo &memo, QByteArray *out);
    static bool CopyWhole(const Plan &plan, const CsvRawRow &raw, const Memo &memo, QByteArray *out);
    static QStringList RowOf(const Plan &plan, const Good *good, const QVector<int> &map, const QStringList &row);
    bool WriteTo(IWriter *writer, CsvManipulator *csvWriter, const QStringList &header, bool writeHeader,
                 const CatModel *category, const Filter *filter, IProgress *progress, bool recursive);
    bool WriteEachRow(IWriter *writer, CsvManipulator *csvWriter, const Plan &plan, const QList<Good *> &goods,
                      IProgress *progress, const QString &saving);
    bool WriteInParallel(CsvManipulator *writer, const Plan &plan, const QList<Good *> &goods, IProgress *progress,
                         const QString &saving);

    QString m_error;
    int m_unreadRows = 0; // rows of goods that could not be read back
};
