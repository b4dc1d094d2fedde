#pragma once

#include <QString>

// Whether the name of a feed's file tells whose goods it holds. The offer of
// a file without an offer column is named after the file; a catalogue whose
// file is called "export.xml" or "feed.yml", or a download named after its
// address's host and a number, names its offer better itself, by its shop's
// name. Pure functions; any thread.
class FeedName final
{
public:
    // True when the file's name says nothing of its offer: its base name
    // (the name without its last extension) is made only of generic words
    // (export, feed, yml, yandex, market, catalog, price, products, offers,
    // goods, data and the like, in English or Russian), digits and
    // separators, case aside; or the file is a download that was named
    // after its address's host and a number ("127_0_0_1_920254905.csv").
    static bool SaysNothing(const QString &fileName, bool downloaded);

    // The offer name a shop's name gives: a "/" would split the offer's
    // node in the category tree in two, so it becomes "-"; empty when the
    // name is empty.
    static QString OfferNameOf(const QString &shopName);
};
