#include "filter.h"

#include "good.h"
#include "goodtextmatcher.h"

#include <memory>

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
    // Each thread keeps a matcher of the text it searched last: a walk asks
    // about every good with the same text.
    thread_local std::unique_ptr<GoodTextMatcher> matcher;
    if (!matcher || matcher->Text() != searchText)
        matcher = std::make_unique<GoodTextMatcher>(searchText);
    return matcher->Matches(good);
}
