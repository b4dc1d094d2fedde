#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

class Filter;
class ICatalogue;
struct CatModel;

// A filter as the project keeps it: values and lists in the catalogue's
// option store, below a prefix ("filter" for the window's and the command
// line's). Reading resolves the categories and vendors the options name in
// the catalogue; storing writes the paths and names back. Called on the
// thread that owns the catalogue.
class FilterOptions
{
public:
    // The filter stored under the prefix. The categories it names are found
    // in the tree, or created there (see the .cpp), and its vendors
    // registered.
    static Filter Read(ICatalogue &catalogue, const QString &prefix);
    // Writes the filter under the prefix, replacing whatever was stored
    // there before.
    static void Store(ICatalogue &catalogue, const QString &prefix, const Filter &filter);
    // What Store() writes, without writing it: the values and the non-empty
    // lists by key. Only categories still in the tree below root are named.
    static void Entries(const CatModel &root, const QString &prefix, const Filter &filter,
                        QMap<QString, QString> *values, QMap<QString, QStringList> *lists);
};
