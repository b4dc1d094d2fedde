#pragma once

#include <memory>
#include <vector>

#include <QString>
#include <QStringList>
#include <QtGlobal>

struct CatModel;
struct Good;
struct Source;

// What each changed good was compared with: the base row that found it
// changed, the columns in which the two differed and the base's price. A
// side table of the model, kept only for changed goods, so that a catalogue
// without a base, and every good that is not changed, costs nothing more;
// a changed good costs one entry of 32 bytes (the table is a sorted array,
// looked up by the good's address).
//
// Entries are written by a base load that finishes, a later base's entry
// replacing an earlier one. A good that leaves the catalogue (duplicate
// removal, an offer unloaded, a category deleted) may leave its entry
// behind until the next Sweep(); an entry is therefore only believed for a
// good that is in the catalogue and changed now (Find's callers hold such a
// good), and nothing walks the entries' goods. The model keeps every base
// source an entry names until the entry is gone (see Model::DropSource).
// Interface thread, or the operation's worker while it owns the model.
class ChangedGoods final
{
public:
    // A bit for each of the base's first 63 columns; the last bit stands
    // for every column after those.
    static constexpr int kColumnBits = 64;

    struct Entry
    {
        const Good *good = nullptr;
        quint64 place = 0;    // the base row's offset, and in the top 16 bits the base's number
        quint64 columns = 0;  // the compared base columns that differ (see ColumnBit)
        qint32 oldPrice = -1; // the base row's price, -1 for none
    };
    // The base a good was compared with, and its row there.
    struct BaseRow
    {
        const Source *base = nullptr;
        qint64 offset = -1;
        quint64 columns = 0;
        qint32 oldPrice = -1;
    };
    // One column in which a changed good differs from its base row.
    struct Difference
    {
        QString column; // the base's name of the column
        QString oldValue;
        QString newValue;
    };

    static int ColumnBit(int baseColumn) { return baseColumn < kColumnBits - 1 ? baseColumn : kColumnBits - 1; }

    ChangedGoods();
    ~ChangedGoods();

    // The entry of a changed good, or a BaseRow without a base.
    BaseRow Find(const Good *good) const;
    // Takes the entries of a finished base load (in any order) from that
    // base; they replace the older entries of the same goods.
    void Record(const Source *base, std::vector<Entry> entries);
    // Drops the entries of goods no longer in the tree or no longer changed.
    void Sweep(const CatModel &root);
    bool Refers(const Source *source) const;
    void Clear();
    qint64 Size() const { return qint64(m_entries.size()); }

    // The compared columns in which the good's row differs from its base
    // row, in the base's column order; read from both feeds, so the same
    // cost as opening the good's card. Empty when the good has no entry or
    // a row cannot be read.
    QList<Difference> Differences(const Good *good) const;
    // The base's names of the columns an entry's bits stand for.
    static QStringList ColumnNames(const QStringList &baseHeader, quint64 columns);

private:
    ChangedGoods(const ChangedGoods &) = delete;
    ChangedGoods &operator=(const ChangedGoods &) = delete;

    static constexpr int kOffsetBits = 48;
    static constexpr quint64 kOffsetMask = (quint64(1) << kOffsetBits) - 1;

    std::vector<Entry> m_entries;        // sorted by good
    std::vector<const Source *> m_bases; // by number; null once no entry names it
};

static_assert(sizeof(ChangedGoods::Entry) == 32, "a changed good's entry grew past 32 bytes");
