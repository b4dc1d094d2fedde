#include "filter.h"

#include "catmodel.h"
#include "good.h"
#include "model.h"

namespace {

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
    priceLow = BoundFromOption(model.Option(prefix + QLatin1String("/price/low")));
    priceHigh = BoundFromOption(model.Option(prefix + QLatin1String("/price/high")));
    discountOnly = model.Option(prefix + QLatin1String("/discount")) == QLatin1String("true");
    searchText = model.Option(prefix + QLatin1String("/search"));
    const QStringList unchecked = model.ArrayOption(prefix + QLatin1String("/unchecked"));
    for (const QString &path : unchecked)
        uncheckedCategories.insert(model.Root().FindOrCreatePath(path));
    const QStringList ghosts = model.ArrayOption(prefix + QLatin1String("/ghosts"));
    for (const QString &path : ghosts) {
        CatModel *node = model.Root().FindOrCreatePath(path);
        if (!node->ghost)
            node->ToggleGhost();
    }
    const QStringList vendorNames = model.ArrayOption(prefix + QLatin1String("/vendors"));
    for (const QString &name : vendorNames) {
        if (const QString *vendor = model.Vendors().Insert(name))
            vendors.insert(vendor);
    }
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
