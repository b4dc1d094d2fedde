#pragma once

#include <QLatin1String>

// The names that the program's files carry, spelled once: the columns of a
// feed that the catalogue reads and the columns a save computes, the keys
// of the project's option store, and the keys of the program's own settings
// on this machine. Stored projects, feeds and the site's script rely on
// these exact spellings.
namespace Schema {

// A literal as a QLatin1String, its length counted at compile time (a
// constant expression for every compiler, unlike the length of a pointer).
template<int Size>
constexpr QLatin1String Literal(const char (&text)[Size])
{
    return QLatin1String(text, Size - 1);
}

// Columns of a feed's header row.
namespace Column {
constexpr QLatin1String Name = Literal("name");
constexpr QLatin1String Picture = Literal("picture");
constexpr QLatin1String Logo = Literal("logo"); // the picture, when a feed has no "picture" column
constexpr QLatin1String Price = Literal("price");
constexpr QLatin1String OldPrice = Literal("oldprice");
constexpr QLatin1String CategoryId = Literal("categoryId"); // the category's path
constexpr QLatin1String Categories = Literal("categories"); // a list of paths, when there is no "categoryId"
constexpr QLatin1String Vendor = Literal("vendor");
constexpr QLatin1String OfferName = Literal("advcampaign_name");
constexpr QLatin1String Description = Literal("description");
constexpr QLatin1String Id = Literal("id");
constexpr QLatin1String Url = Literal("url");
constexpr QLatin1String IdTpl = Literal("idTpl"); // the identity template of the row
// Written by a save after a base: what the site is to do with the row.
constexpr QLatin1String Status = Literal("status");
} // namespace Column

// Keys of the project's option store.
namespace Option {
// The filter of the window and of fidmora-cli is stored below this prefix,
// under the keys that follow (each below the prefix).
constexpr QLatin1String FilterPrefix = Literal("filter");
constexpr QLatin1String FilterPriceLow = Literal("/price/low");
constexpr QLatin1String FilterPriceHigh = Literal("/price/high");
constexpr QLatin1String FilterDiscount = Literal("/discount");
constexpr QLatin1String FilterSearch = Literal("/search");
constexpr QLatin1String FilterUnchecked = Literal("/unchecked"); // a list: category paths
constexpr QLatin1String FilterGhosts = Literal("/ghosts");       // a list: category paths
constexpr QLatin1String FilterVendors = Literal("/vendors");     // a list: vendor names

// The shop site of the exchange through the site's script.
constexpr QLatin1String ModxHost = Literal("export/modx/host");
constexpr QLatin1String ModxLogin = Literal("export/modx/login");
constexpr QLatin1String ModxPassword = Literal("export/modx/password"); // only when the user asked to keep it
constexpr QLatin1String ModxKeyring = Literal("export/modx/keyring"); // the password's entry in the system's keyring

// The FTP export's fields.
constexpr QLatin1String FtpProtocol = Literal("export/ftp/protocol");
constexpr QLatin1String FtpHost = Literal("export/ftp/host");
constexpr QLatin1String FtpPort = Literal("export/ftp/port");
constexpr QLatin1String FtpLogin = Literal("export/ftp/login");
constexpr QLatin1String FtpPassword = Literal("export/ftp/password"); // only when the user asked to keep it
constexpr QLatin1String FtpKeyring = Literal("export/ftp/keyring"); // the password's entry in the system's keyring
constexpr QLatin1String FtpPath = Literal("export/ftp/path");
constexpr QLatin1String FtpMode = Literal("export/ftp/mode");
constexpr QLatin1String FtpInsecure = Literal("export/ftp/insecure");
constexpr QLatin1String FtpKeyFile = Literal("export/ftp/keyfile");
} // namespace Option

// The loads a project remembers, in their order: a "sources" element after
// the offers, one "source" element a load.
namespace Project {
constexpr QLatin1String Sources = Literal("sources");
constexpr QLatin1String Source = Literal("source");
constexpr QLatin1String SourceKind = Literal("kind");         // one of the kinds below
constexpr QLatin1String SourceBase = Literal("base");         // "true" for a base, else data
constexpr QLatin1String SourceLocation = Literal("location"); // path, address, site or offer name
constexpr QLatin1String SourceLogin = Literal("login");       // a site's login; its password never
constexpr QLatin1String KindFile = Literal("file");
constexpr QLatin1String KindUrl = Literal("url");
constexpr QLatin1String KindSite = Literal("site");
constexpr QLatin1String KindOffer = Literal("offer");
} // namespace Project

// Keys of the program's settings on this machine (QSettings), which no
// project carries.
namespace Setting {
constexpr QLatin1String InterfaceLanguage = Literal("interface/language");
constexpr QLatin1String AdmitadRelay = Literal("admitad/relay");
constexpr QLatin1String RecentProjects = Literal("project/recent"); // newest first
} // namespace Setting

} // namespace Schema
