#include "filteroptions.h"

#include <algorithm>

#include "catmodel.h"
#include "filter.h"
#include "icatalogue.h"
#include "schema.h"
#include "vendorregistry.h"

namespace {

using namespace Schema::Option;

qint32 BoundFromOption(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !qIsFinite(value) || value >= 2147483648.0 || value <= -2147483649.0)
        return -1;
    return qint32(value);
}

} // namespace

Filter FilterOptions::Read(ICatalogue &catalogue, const QString &prefix)
{
    Filter filter;
    filter.priceLow = BoundFromOption(catalogue.Option(prefix + FilterPriceLow));
    filter.priceHigh = BoundFromOption(catalogue.Option(prefix + FilterPriceHigh));
    filter.discountOnly = catalogue.Option(prefix + FilterDiscount) == QLatin1String("true");
    filter.searchText = catalogue.Option(prefix + FilterSearch);

    // The categories the filter names are created in the tree when no load
    // has brought them yet: empty, and unchecked or ghost as the project
    // says. The loads to come file their goods into these very nodes, so
    // that a project opened before its feeds are loaded keeps its unchecked
    // and ghost categories once the goods arrive.
    CatModel &root = catalogue.Root();
    const QStringList unchecked = catalogue.ArrayOption(prefix + FilterUnchecked);
    for (const QString &path : unchecked)
        filter.uncheckedCategories.insert(root.FindOrCreatePath(path));
    const QStringList ghosts = catalogue.ArrayOption(prefix + FilterGhosts);
    for (const QString &path : ghosts) {
        CatModel *node = root.FindOrCreatePath(path);
        if (!node->ghost)
            node->ToggleGhost();
    }

    const QStringList vendorNames = catalogue.ArrayOption(prefix + FilterVendors);
    for (const QString &name : vendorNames) {
        if (const QString *vendor = catalogue.Vendors().Insert(name))
            filter.vendors.insert(vendor);
    }
    return filter;
}

void FilterOptions::Store(ICatalogue &catalogue, const QString &prefix, const Filter &filter)
{
    QMap<QString, QString> values;
    QMap<QString, QStringList> lists;
    Entries(catalogue.Root(), prefix, filter, &values, &lists);
    catalogue.RemoveOptionsUnder(prefix);
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        catalogue.SetOption(it.key(), it.value());
    for (auto it = lists.constBegin(); it != lists.constEnd(); ++it)
        catalogue.SetArrayOption(it.key(), it.value());
}

void FilterOptions::Entries(const CatModel &root, const QString &prefix, const Filter &filter,
                            QMap<QString, QString> *values, QMap<QString, QStringList> *lists)
{
    values->insert(prefix + FilterPriceLow, QString::number(filter.priceLow));
    values->insert(prefix + FilterPriceHigh, QString::number(filter.priceHigh));
    values->insert(prefix + FilterDiscount, filter.discountOnly ? QStringLiteral("true") : QStringLiteral("false"));
    values->insert(prefix + FilterSearch, filter.searchText);

    // Only categories still in the tree are written: the filter may name
    // categories destroyed since it was made.
    QStringList uncheckedPaths;
    QStringList ghostPaths;
    const QList<CatModel *> nodes =
            filter.uncheckedCategories.isEmpty() ? QList<CatModel *>() : root.Descendants(true);
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
        uncheckedPaths.append(path);
    }
    // The vendors in order: the same filter is always written the same way.
    QStringList vendorNames;
    for (const QString *vendor : filter.vendors)
        vendorNames.append(*vendor);
    std::sort(vendorNames.begin(), vendorNames.end());

    if (!uncheckedPaths.isEmpty())
        lists->insert(prefix + FilterUnchecked, uncheckedPaths);
    if (!ghostPaths.isEmpty())
        lists->insert(prefix + FilterGhosts, ghostPaths);
    if (!vendorNames.isEmpty())
        lists->insert(prefix + FilterVendors, vendorNames);
}
