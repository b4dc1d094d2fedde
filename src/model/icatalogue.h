#pragma once

#include "stablelist.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

struct CatModel;
struct Offer;
struct SourceRecord;
class VendorRegistry;

// What the catalogue's own parts (the loader, the project file, the filter's
// options) reach of the model that holds them: the category tree, the offers
// and their index, the vendor registry and the option store. Model is the
// one implementation; these parts never see the model's operations, sources
// or errors. Called on the thread that owns the model, never per row.
class ICatalogue
{
public:
    virtual CatModel &Root() = 0;
    virtual const CatModel &Root() const = 0;
    virtual StableList<Offer> &Offers() = 0;
    virtual const StableList<Offer> &Offers() const = 0;
    // The offers by name, prefix and site address.
    virtual const QMap<QString, Offer *> &OfferIndex() const = 0;
    virtual VendorRegistry &Vendors() = 0;

    // The offer indexed under the key, created (named by the key) when none is.
    virtual Offer *FindOrCreateOffer(const QString &key) = 0;
    virtual void IndexOffer(const QString &key, Offer *offer) = 0;
    // Removes the offers from the given place of the list to its end, with
    // their entries in the index: offers a load created and then gave up.
    virtual void RemoveOffersFrom(int first) = 0;

    // The option store of the project: values and lists by key.
    virtual QString Option(const QString &key, const QString &defaultValue = QString()) const = 0;
    virtual void SetOption(const QString &key, const QString &value) = 0;
    virtual void RemoveOption(const QString &key) = 0;
    virtual QStringList ArrayOption(const QString &key) const = 0;
    virtual void SetArrayOption(const QString &key, const QStringList &values) = 0;
    virtual void AppendArrayOption(const QString &key, const QString &value) = 0;
    // Removes every value and list whose key lies below the prefix
    // ("filter" takes "filter/..." but not "filters").
    virtual void RemoveOptionsUnder(const QString &prefix) = 0;
    // The whole store, read-only, as the project file writes it.
    virtual const QMap<QString, QString> &Options() const = 0;
    virtual const QMap<QString, QStringList> &ArrayOptions() const = 0;

    // The loads the project remembers, in their order.
    virtual QList<SourceRecord> &SourceRecords() = 0;
    virtual const QList<SourceRecord> &SourceRecords() const = 0;

    // Gives back the pages of the feeds that a walk over their rows read in.
    virtual void ReleaseMappedPages() = 0;

protected:
    ~ICatalogue() = default;
};
