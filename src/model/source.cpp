#include "source.h"

#include "csvmanipulator.h"

// Out of line: the reader's class is complete only here.
Source::Source() = default;
Source::~Source() = default;
Source::Source(Source &&) noexcept = default;
Source &Source::operator=(Source &&) noexcept = default;

void Source::FindColumns()
{
    const auto column = [this](const char *name) { return int(header.indexOf(QLatin1String(name))); };
    nameColumn = column("name");
    pictureColumn = column("picture");
    if (pictureColumn < 0)
        pictureColumn = column("logo");
    priceColumn = column("price");
    oldPriceColumn = column("oldprice");
    categoryColumn = column("categoryId");
    categoryIsList = categoryColumn < 0;
    if (categoryIsList)
        categoryColumn = column("categories");
    vendorColumn = column("vendor");
    offerColumn = column("advcampaign_name");
    descriptionColumn = column("description");
    idColumn = column("id");
    urlColumn = column("url");
    idTplColumn = column("idTpl");
}

const IdTemplate *Source::InternTemplate(const IdTemplate &tpl)
{
    return &*idTemplates.insert(tpl).first;
}
