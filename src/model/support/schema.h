#pragma once

#include <QLatin1String>

// The names that the program's files carry, spelled once: the columns of a
// feed that the catalogue reads and the columns a save computes, the keys
// of the project's option store, and the keys of the program's own settings
// on this machine. Stored projects, feeds and the site's script rely on
// these exact spellings.
namespace Schema {

// Columns of a feed's header row.
namespace Column {
constexpr QLatin1String Name("name");
constexpr QLatin1String Picture("picture");
constexpr QLatin1String Logo("logo"); // the picture, when a feed has no "picture" column
constexpr QLatin1String Price("price");
constexpr QLatin1String OldPrice("oldprice");
constexpr QLatin1String CategoryId("categoryId"); // the category's path
constexpr QLatin1String Categories("categories"); // a list of paths, when there is no "categoryId"
constexpr QLatin1String Vendor("vendor");
constexpr QLatin1String OfferName("advcampaign_name");
constexpr QLatin1String Description("description");
constexpr QLatin1String Id("id");
constexpr QLatin1String Url("url");
constexpr QLatin1String IdTpl("idTpl"); // the identity template of the row
// Written by a save after a base: what the site is to do with the row.
constexpr QLatin1String Status("status");
} // namespace Column

// Keys of the project's option store.
namespace Option {
// The filter of the window and of fidmora-cli is stored below this prefix,
// under the keys that follow (each below the prefix).
constexpr QLatin1String FilterPrefix("filter");
constexpr QLatin1String FilterPriceLow("/price/low");
constexpr QLatin1String FilterPriceHigh("/price/high");
constexpr QLatin1String FilterDiscount("/discount");
constexpr QLatin1String FilterSearch("/search");
constexpr QLatin1String FilterUnchecked("/unchecked"); // a list: category paths
constexpr QLatin1String FilterGhosts("/ghosts");       // a list: category paths
constexpr QLatin1String FilterVendors("/vendors");     // a list: vendor names

// The shop site of the exchange through the site's script.
constexpr QLatin1String ModxHost("export/modx/host");
constexpr QLatin1String ModxLogin("export/modx/login");
constexpr QLatin1String ModxPassword("export/modx/password"); // only when the user asked to keep it

// The FTP export's fields.
constexpr QLatin1String FtpProtocol("export/ftp/protocol");
constexpr QLatin1String FtpHost("export/ftp/host");
constexpr QLatin1String FtpPort("export/ftp/port");
constexpr QLatin1String FtpLogin("export/ftp/login");
constexpr QLatin1String FtpPassword("export/ftp/password"); // only when the user asked to keep it
constexpr QLatin1String FtpPath("export/ftp/path");
constexpr QLatin1String FtpMode("export/ftp/mode");
constexpr QLatin1String FtpInsecure("export/ftp/insecure");
constexpr QLatin1String FtpKeyFile("export/ftp/keyfile");
} // namespace Option

// Keys of the program's settings on this machine (QSettings), which no
// project carries.
namespace Setting {
constexpr QLatin1String InterfaceLanguage("interface/language");
constexpr QLatin1String AdmitadRelay("admitad/relay");
} // namespace Setting

} // namespace Schema
