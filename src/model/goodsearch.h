#pragma once

#include "filter.h"
#include "statuscounts.h"

#include <memory>
#include <vector>

#include <QHash>
#include <QVector>

class GoodTextMatcher;
struct CatModel;
struct Good;
struct Source;

// The goods of the tree that pass a filter, found a slice at a time. Every
// test of the filter but the search text costs nothing per good; the search
// reads each good's row, which for a million goods takes a while. So the
// walk takes the goods that pass the other tests at once, and Step() tests
// them against the search text for a bounded time, leaving the interface
// thread free to paint and take keys between slices. The goods are
// borrowed from the tree: a search must be cleared before goods are
// destroyed, and is run on the thread that owns the catalogue.
class GoodSearch final
{
public:
    GoodSearch();
    ~GoodSearch();

    // Starts over with the goods of the tree below root, in the order of
    // the tree walk. Done at once when the filter has no search text.
    void Start(CatModel *root, const Filter &filter);
    // Tests goods for about the given time; true once every good is tested.
    bool Step(int milliseconds);
    bool IsDone() const { return m_next >= m_candidates.size(); }
    void Clear();

    // How far the search got, for its progress.
    int Tested() const { return m_next; }
    int Total() const { return m_candidates.size(); }

    // The goods found, in the order of the walk, once the search is done.
    const QVector<Good *> &Found() const { return m_found; }
    // How many of them each category's subtree holds; a category without
    // any is left out.
    QHash<const CatModel *, int> SubtreeCounts() const;
    // The goods found in a category's subtree (null: the whole tree).
    QVector<Good *> Below(const CatModel *category) const;

    // The statuses a list may be narrowed to, as a mask.
    static constexpr unsigned kEveryStatus = 0;
    static unsigned StatusBit(int status) { return 1u << unsigned(status); }
    // The goods of a list whose status is in the mask (kEveryStatus: all).
    static QVector<Good *> WithStatus(const QVector<Good *> &goods, unsigned statusMask);

private:
    Q_DISABLE_COPY(GoodSearch)

    QVector<Good *> m_candidates;
    std::vector<int> m_order;    // the candidates in the order of their rows in the files
    std::vector<char> m_matched; // by candidate: whether it matched
    QVector<Good *> m_found;
    int m_next = 0;
    std::unique_ptr<GoodTextMatcher> m_matcher;
};
