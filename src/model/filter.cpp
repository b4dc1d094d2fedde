#include "filter.h"

#include "catmodel.h"
#include "good.h"
#include "model.h"

namespace {

// The option keys of a filter, each below the prefix it is stored under.
const QLatin1String kPriceLow("/price/low");
const QLatin1String kPriceHigh("/price/high");
const QLatin1String kDiscount("/discount");
const QLatin1String kSearch("/search");
const QLatin1String kUnchecked("/unchecked");
const QLatin1String kGhosts("/ghosts");
const QLatin1String kVendors("/vendors");

qint32 BoundFromOption(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !qIsFinite(value) || value >= 2147483648.0 || value <= -2147483649.0)
        return -1;
    return qint32(value);
}

} // namespace

Filter::Filter(Model &model, const QString &prefix)
{
    priceLow = BoundFromOption(model.Option(prefix + kPriceLow));
    priceHigh = BoundFromOption(model.Option(prefix + kPriceHigh));
    discountOnly = model.Option(prefix + kDiscount) == QLatin1String("true");
    searchText = model.Option(prefix + kSearch);
    const QStringList unchecked = model.ArrayOption(prefix + kUnchecked);
    for (const QString &path : unchecked)
        uncheckedCategories.insert(model.Root().FindOrCreatePath(path));
    const QStringList ghosts = model.ArrayOption(prefix + kGhosts);
    for (const QString &path : ghosts) {
        CatModel *node = model.Root().FindOrCreatePath(path);
        if (!node->ghost)
            node->ToggleGhost();
    }
    const QStringList vendorNames = model.ArrayOption(prefix + kVendors);
    for (const QString &name : vendorNames) {
        if (const QString *vendor = model.Vendors().Insert(name))
            vendors.insert(vendor);
    }
}

void Filter::Store(Model &model, const QString &prefix) const
{
    const QString start = prefix + QLatin1Char('/');
    for (auto it = model.options.begin(); it != model.options.end();) {
        if (it.key().startsWith(start))
            it = model.options.erase(it);
        else
            ++it;
    }
    for (auto it = model.arrayOptions.begin(); it != model.arrayOptions.end();) {
        if (it.key().startsWith(start))
            it = model.arrayOptions.erase(it);
        else
            ++it;
    }
    model.SetOption(prefix + kPriceLow, QString::number(priceLow));
    model.SetOption(prefix + kPriceHigh, QString::number(priceHigh));
    model.SetOption(prefix + kDiscount, discountOnly ? QStringLiteral("true") : QStringLiteral("false"));
    model.SetOption(prefix + kSearch, searchText);

    // Only categories still in the tree are written: the filter may name
    // categories destroyed since it was made.
    QStringList ghostPaths;
    const QList<CatModel *> nodes = model.Root().Descendants(true);
    for (const CatModel *node : nodes) {
        if (!uncheckedCategories.contains(node))
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
        model.AppendArrayOption(prefix + kUnchecked, path);
    }
    for (const QString &path : qAsConst(ghostPaths))
        model.AppendArrayOption(prefix + kGhosts, path);
    for (const QString *vendor : vendors)
        model.AppendArrayOption(prefix + kVendors, *vendor);
}

bool Filter::IsActive() const
{
    return !searchText.isEmpty() || !vendors.isEmpty() || priceHigh != -1 || priceLow != -1 || discountOnly;
}

bool Filter::Accepts(const Good *good) const
{
    if (priceLow != -1 && (good->price == -1 || good->price < priceLow))
        return false;
    if (priceHigh != -1 && (good->price == -1 || good->price > priceHigh))
        return false;
    // A discount means the old price was higher than the price now.
    if (discountOnly && (good->oldPrice == -1 || good->price == -1 || good->oldPrice <= good->price))
        return false;
    if (!vendors.isEmpty() && (!good->vendor || !vendors.contains(good->vendor)))
        return false;
    if (searchText.isEmpty())
        return true;
    const QStringList row = good->Row();
    return good->Name(row).contains(searchText) || good->Vendor(row).contains(searchText)
            || good->Description(row).contains(searchText);
}
