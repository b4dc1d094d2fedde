#include "goodsearch.h"

#include <algorithm>
#include <functional>

#include <QElapsedTimer>
#include <QSet>

#include "catmodel.h"
#include "good.h"
#include "goodtextmatcher.h"
#include "igoodqueryobject.h"

namespace {

// Collects a walk's goods into a vector sized for the whole tree.
class Collector final : public IGoodQueryObject
{
public:
    explicit Collector(QVector<Good *> *target) : m_target(target) {}
    virtual ~Collector() = default;
    void AddGoods(const QList<Good *> &goods) override
    {
        for (Good *good : goods)
            m_target->append(good);
    }
    void AddGood(Good *good) override { m_target->append(good); }

private:
    QVector<Good *> *m_target;
};

// Goods tested between two looks at the clock.
const int kGoodsPerLook = 512;

} // namespace

GoodSearch::GoodSearch() = default;
GoodSearch::~GoodSearch() = default;

void GoodSearch::Clear()
{
    m_candidates.clear();
    m_order.clear();
    m_matched.clear();
    m_found.clear();
    m_next = 0;
    m_matcher.reset();
}

void GoodSearch::Start(CatModel *root, const Filter &filter)
{
    Clear();
    if (!root)
        return;
    Filter rest = filter;
    rest.searchText.clear();
    m_candidates.reserve(root->GoodCount(true));
    Collector collector(&m_candidates);
    root->QueryGoods(&collector, &rest, true);
    if (filter.searchText.isEmpty()) {
        m_found = m_candidates;
        m_next = m_candidates.size();
        return;
    }
    m_matcher = std::make_unique<GoodTextMatcher>(filter.searchText);
    // The rows are read in the order they lie in their files, not in the
    // order of the tree: the reads then run along the mapping instead of
    // jumping about it, a page at a time instead of a page per good.
    struct Place
    {
        const Source *source;
        qint64 offset;
        int index;
    };
    std::vector<Place> places(size_t(m_candidates.size()));
    for (int i = 0; i < m_candidates.size(); ++i) {
        const Good *good = m_candidates.at(i);
        places[size_t(i)] = Place{good->source, good->rowOffset, i};
    }
    std::sort(places.begin(), places.end(), [](const Place &a, const Place &b) {
        return a.source != b.source ? std::less<const Source *>()(a.source, b.source) : a.offset < b.offset;
    });
    m_order.resize(places.size());
    for (size_t i = 0; i < places.size(); ++i)
        m_order[i] = places[i].index;
    m_matched.assign(size_t(m_candidates.size()), 0);
}

bool GoodSearch::Step(int milliseconds)
{
    // Nothing left to test: done at the start, or done before.
    if (!m_matcher)
        return true;
    QElapsedTimer clock;
    clock.start();
    const int total = m_candidates.size();
    while (m_next < total) {
        const int end = qMin(total, m_next + kGoodsPerLook);
        for (; m_next < end; ++m_next) {
            const int index = m_order[size_t(m_next)];
            m_matched[size_t(index)] = m_matcher->Matches(m_candidates.at(index)) ? 1 : 0;
        }
        if (clock.elapsed() >= milliseconds)
            break;
    }
    if (IsDone()) {
        // The found goods in the order of the walk; the rest are not needed
        // any more.
        for (int i = 0; i < total; ++i) {
            if (m_matched[size_t(i)])
                m_found.append(m_candidates.at(i));
        }
        m_candidates = QVector<Good *>();
        m_order = std::vector<int>();
        m_matched = std::vector<char>();
        m_next = 0;
        m_matcher.reset();
    }
    return IsDone();
}

QHash<const CatModel *, int> GoodSearch::SubtreeCounts() const
{
    QHash<const CatModel *, int> own;
    const CatModel *last = nullptr;
    int run = 0;
    // The walk hands a category's goods out together: count runs, not goods.
    for (const Good *good : m_found) {
        if (good->category != last) {
            if (last)
                own[last] += run;
            last = good->category;
            run = 0;
        }
        ++run;
    }
    if (last)
        own[last] += run;
    QHash<const CatModel *, int> counts;
    for (auto it = own.cbegin(); it != own.cend(); ++it) {
        for (const CatModel *node = it.key(); node; node = node->parent)
            counts[node] += it.value();
    }
    return counts;
}

QVector<Good *> GoodSearch::Below(const CatModel *category) const
{
    if (!category || !category->parent)
        return m_found;
    QSet<const CatModel *> subtree;
    subtree.insert(category);
    const QList<CatModel *> below = category->Descendants(true);
    for (const CatModel *node : below)
        subtree.insert(node);
    QVector<Good *> goods;
    for (Good *good : m_found) {
        if (subtree.contains(good->category))
            goods.append(good);
    }
    return goods;
}

QVector<Good *> GoodSearch::WithStatus(const QVector<Good *> &goods, unsigned statusMask)
{
    if (statusMask == kEveryStatus)
        return goods;
    QVector<Good *> kept;
    for (Good *good : goods) {
        if (good->status >= 0 && good->status < 32 && (statusMask & StatusBit(good->status)))
            kept.append(good);
    }
    return kept;
}
