#pragma once

#include <QMetaType>
#include <QString>
#include <QStringList>

struct CatModel;
struct IdTemplate;
struct Offer;
struct Source;
class CsvRawRow;

// Result of the comparison with a base.
enum GoodStatus { Added = 0, Changed = 1, Deleted = 2 };

// One product row of a feed. A good keeps no product text: only the byte
// offset of its row in its source's CSV file and the few values that the
// catalogue sorts, filters and compares on. The catalogue's GoodArena makes
// it; the category whose goods list holds it owns it and gives it back to
// the arena; every other pointer here is borrowed. What identifies a
// good (its key) is GoodIdentity's business.
struct Good
{
    Source *source = nullptr;
    CatModel *category = nullptr;
    Offer *offer = nullptr;
    const IdTemplate *idTemplate = nullptr; // null: the row's "idTpl" cell
    const QString *vendor = nullptr;        // the vendor registry's copy
    qint64 rowOffset = -1;
    qint32 price = -1;
    qint32 oldPrice = -1;
    qint32 status = Added;
    // The place of the good's digests among its source's (Source::digests),
    // or kNoDigests.
    quint32 digestIndex = kNoDigests;

    static const quint32 kNoDigests = 0xFFFFFFFFu;

    // The good's feed row, read through its source's reader; empty when it
    // cannot be read.
    QStringList Row() const;

    // Values of the row (null where the source has no such column).
    QString Name(const QStringList &row) const;
    QString Picture(const QStringList &row) const;
    QString Vendor(const QStringList &row) const;
    QString OfferName(const QStringList &row) const;
    QString Description(const QStringList &row) const;
    QString Id(const QStringList &row) const;
    QString Url(const QStringList &row) const;
    QString RawCategory(const QStringList &row) const;

    static QString StatusText(int status);
    static QString Cell(const QStringList &row, int column);
    static QString FirstPart(const QString &cell, const QString &separator);
};

// A million goods must fit in well under a hundred megabytes: the record
// (in its arena's block, with no allocation of its own) and its slot in a
// category's list within 72 bytes.
static_assert(sizeof(Good) <= 64, "a good grew past 64 bytes");

Q_DECLARE_METATYPE(Good *)
