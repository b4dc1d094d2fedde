#include "source.h"

#include "csvmanipulator.h"
#include "schema.h"

// Out of line: the reader's class is complete only here.
Source::Source() = default;
Source::~Source() = default;
Source::Source(Source &&) noexcept = default;
Source &Source::operator=(Source &&) noexcept = default;

void Source::FindColumns()
{
    using namespace Schema::Column;
    const auto column = [this](QLatin1String name) { return int(header.indexOf(name)); };
    nameColumn = column(Name);
    pictureColumn = column(Picture);
    if (pictureColumn < 0)
        pictureColumn = column(Logo);
    priceColumn = column(Price);
    oldPriceColumn = column(OldPrice);
    categoryColumn = column(CategoryId);
    categoryIsList = categoryColumn < 0;
    if (categoryIsList)
        categoryColumn = column(Categories);
    vendorColumn = column(Vendor);
    offerColumn = column(OfferName);
    descriptionColumn = column(Description);
    idColumn = column(Id);
    urlColumn = column(Url);
    idTplColumn = column(IdTpl);
}

const IdTemplate *Source::InternTemplate(const IdTemplate &tpl)
{
    return &*idTemplates.insert(tpl).first;
}
