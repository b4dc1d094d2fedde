#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Filter;
class IProgress;
class IWriter;
class Model;
struct CatModel;
struct Good;

// The one save core: writes the goods of a category (and its subtree) that
// pass a filter through any writer, re-reading every row from its source and
// mapping the source's columns onto the output columns by name. Four output
// columns are computed: "advcampaign_name", "categoryId", "idTpl" and
// "status". Runs on the saving thread, which binds every involved reader to
// itself for the time of the save.
class GoodsWriter
{
public:
    explicit GoodsWriter(Model &model) : m_model(model) {}

    bool Write(IWriter *writer, const QStringList &header, bool writeHeader, const CatModel *category,
               const Filter *filter, IProgress *progress, bool recursive);

    // The union of the columns of the selected goods' sources, each name once.
    static QStringList CollectHeader(const CatModel *category, const Filter *filter, bool recursive);
    // The goods of a category that pass a filter, in walk order.
    static QList<Good *> Select(const CatModel *category, const Filter *filter, bool recursive);
    // The file name (without extension) under which a category is saved by
    // categories: its path with "-" for "/", or with ghost ancestors, the
    // names of all its ancestors below the root and its own.
    static QString FileBaseName(const CatModel *category);

private:
    Model &m_model;
};
