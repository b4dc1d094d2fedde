#pragma once

#include "good.h"

#include <QtGlobal>

class Filter;
struct CatModel;

// How many goods a base marked added, changed and deleted: of a list the
// window shows, or of a walk of the tree with or without a filter. The one
// count of the status bar, fidmora-cli's --summary and the benchmarks.
struct StatusCounts
{
    qint64 goods = 0;   // all counted
    qint64 added = 0;   // goods the site lacks (every good before a base)
    qint64 changed = 0; // goods the site holds otherwise
    qint64 deleted = 0; // goods only the site holds
    qint64 other = 0;   // a status none of these (shown as an error)

    void Count(const Good *good)
    {
        ++goods;
        switch (good->status) {
        case Added:
            ++added;
            break;
        case Changed:
            ++changed;
            break;
        case Deleted:
            ++deleted;
            break;
        default:
            ++other;
            break;
        }
    }

    // The goods of a list (any container of Good pointers).
    template<typename Goods>
    static StatusCounts Of(const Goods &list)
    {
        StatusCounts counts;
        for (const Good *good : list)
            counts.Count(good);
        return counts;
    }
    // The goods a walk of the subtree hands out: all of them, or those that
    // pass the filter (as the goods list and a save take them).
    static StatusCounts Of(const CatModel &category, const Filter *filter = nullptr);
};
