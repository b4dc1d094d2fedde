#include "catmodel.h"

#include <functional>

#include "filter.h"
#include "good.h"
#include "goodarena.h"
#include "igoodqueryobject.h"

namespace {

// Below this many children a linear search is cheaper than keeping an index.
const int kIndexThreshold = 8;

QString NameOf(const QString &path)
{
    const QStringList parts = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return parts.isEmpty() ? QStringLiteral("No name") : parts.last();
}

} // namespace

CatModel::CatModel(const QString &categoryPath)
    : name(NameOf(categoryPath)), path(categoryPath)
{
}

CatModel::~CatModel()
{
    qDeleteAll(children);
    for (Good *good : qAsConst(goods))
        GoodArena::Release(good);
}

void CatModel::DeleteGood(Good *good)
{
    GoodArena::Release(good);
}

void CatModel::ForgetGoods()
{
    goods.clear();
    for (CatModel *child : qAsConst(children))
        child->ForgetGoods();
}

CatModel *CatModel::Root()
{
    CatModel *node = this;
    while (node->parent)
        node = node->parent;
    return node;
}

const CatModel *CatModel::Root() const
{
    const CatModel *node = this;
    while (node->parent)
        node = node->parent;
    return node;
}

CatModel *CatModel::FindChild(const QString &childName) const
{
    if (!m_childIndex.isEmpty())
        return m_childIndex.value(childName);
    for (CatModel *child : children) {
        if (child->name == childName)
            return child;
    }
    return nullptr;
}

void CatModel::AppendChild(CatModel *child)
{
    child->parent = this;
    children.append(child);
    if (!m_childIndex.isEmpty()) {
        if (m_childIndex.contains(child->name))
            m_duplicateNames = true;
        else
            m_childIndex.insert(child->name, child);
    } else if (children.size() > kIndexThreshold) {
        RebuildChildIndex();
    }
}

void CatModel::UnindexChild(CatModel *child)
{
    if (m_childIndex.isEmpty())
        return;
    if (children.size() <= kIndexThreshold) {
        m_childIndex.clear();
        return;
    }
    const auto it = m_childIndex.find(child->name);
    if (it == m_childIndex.end() || it.value() != child)
        return;
    m_childIndex.erase(it);
    if (!m_duplicateNames)
        return;
    for (CatModel *c : qAsConst(children)) {
        if (c->name == child->name) {
            m_childIndex.insert(c->name, c);
            break;
        }
    }
}

void CatModel::DetachChild(CatModel *child)
{
    const int at = children.indexOf(child);
    if (at < 0)
        return;
    children.removeAt(at);
    UnindexChild(child);
    child->parent = nullptr;
}

CatModel *CatModel::FindOrCreatePath(const QString &categoryPath)
{
    CatModel *node = Root();
    const QString text = categoryPath.isEmpty() ? QStringLiteral("No name") : categoryPath;
    const QStringList parts = text.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString prefix;
    for (const QString &part : parts) {
        prefix += part;
        CatModel *child = node->FindChild(part);
        if (!child) {
            child = new CatModel(prefix);
            node->AppendChild(child);
        }
        node = child;
        prefix += QLatin1Char('/');
    }
    return node;
}

CatModel *CatModel::MoveInto(CatModel *newParent)
{
    if (!newParent)
        return this;
    if (parent)
        parent->DetachChild(this);
    CatModel *same = newParent->FindChild(name);
    if (!same) {
        newParent->AppendChild(this);
        return this;
    }
    for (Good *good : qAsConst(goods))
        good->category = same;
    same->goods.append(goods);
    same->offers.unite(offers);
    goods.clear();
    offers.clear();
    while (!children.isEmpty())
        children.first()->MoveInto(same);
    delete this;
    return same;
}

void CatModel::MergeLoad(CatModel *newTree, const QString &offerName)
{
    CatModel *target = this;
    if (newTree->children.size() >= 2) {
        target = FindOrCreatePath(offerName);
        if (!target->ghost) {
            // Goods already below an existing node lose its name from their
            // paths once it becomes the offer's ghost.
            target->ghost = true;
            target->UpdatePath(true);
        }
    }
    while (!newTree->children.isEmpty()) {
        CatModel *moved = newTree->children.first()->MoveInto(target);
        moved->UpdatePath(true);
    }
}

void CatModel::UpdatePath(bool recursive)
{
    QString prefix;
    const QList<CatModel *> above = Ancestors(true);
    // The tree's root is never named in a path.
    for (int i = 1; i < above.size(); ++i) {
        if (!above.at(i)->ghost)
            prefix += above.at(i)->name + QLatin1Char('/');
    }
    UpdatePath(prefix, recursive);
}

void CatModel::UpdatePath(const QString &prefix, bool recursive)
{
    path = parent ? prefix + name : name;
    if (!recursive)
        return;
    const QString below = (!parent || ghost) ? prefix : prefix + name + QLatin1Char('/');
    for (CatModel *child : qAsConst(children))
        child->UpdatePath(parent ? below : QString(), true);
}

void CatModel::ToggleGhost()
{
    ghost = !ghost;
    UpdatePath(true);
}

void CatModel::PruneChildren()
{
    int kept = 0;
    const int count = children.size();
    bool removedAny = false;
    for (int i = 0; i < count; ++i) {
        CatModel *child = children.at(i);
        child->PruneChildren();
        if (child->children.isEmpty() && child->goods.isEmpty()) {
            delete child;
            removedAny = true;
            continue;
        }
        children[kept++] = child;
    }
    if (!removedAny)
        return;
    children.erase(children.begin() + kept, children.end());
    RebuildChildIndex();
}

void CatModel::RebuildChildIndex()
{
    m_childIndex.clear();
    m_duplicateNames = false;
    if (children.size() <= kIndexThreshold)
        return;
    for (CatModel *c : qAsConst(children)) {
        if (m_childIndex.contains(c->name))
            m_duplicateNames = true;
        else
            m_childIndex.insert(c->name, c);
    }
}

void CatModel::Prune()
{
    PruneChildren();
    if (parent && children.isEmpty() && goods.isEmpty())
        Destroy();
}

void CatModel::RemoveGoodsOfSource(const Source *source)
{
    RemoveGoodsWhere([source](const Good *good) { return good->source == source; }, nullptr);
}

void CatModel::RemoveGoodsOfOffer(Offer *offer)
{
    RemoveGoodsWhere([offer](const Good *good) { return good->offer == offer; }, offer);
}

void CatModel::RemoveGoodsWhere(const std::function<bool(const Good *)> &doomed, Offer *offer)
{
    if (!RemoveGoodsBelow(doomed, offer) && parent)
        Destroy();
}

bool CatModel::RemoveGoodsBelow(const std::function<bool(const Good *)> &doomed, Offer *offer)
{
    // Children left empty are dropped in one pass over the list.
    int kept = 0;
    const int count = children.size();
    for (int i = 0; i < count; ++i) {
        CatModel *child = children.at(i);
        if (!child->RemoveGoodsBelow(doomed, offer)) {
            delete child;
            continue;
        }
        children[kept++] = child;
    }
    if (kept != count) {
        children.erase(children.begin() + kept, children.end());
        RebuildChildIndex();
    }
    RemoveGoodsIf([&doomed](const Good *good) { return doomed(good); });
    if (offer)
        offers.remove(offer);
    return !children.isEmpty() || !goods.isEmpty();
}

void CatModel::RebuildOffers(bool recursive)
{
    offers.clear();
    // The goods of a category come in runs of one offer: one insertion a run.
    const Offer *last = nullptr;
    for (const Good *good : qAsConst(goods)) {
        if (good->offer != last) {
            last = good->offer;
            offers.insert(good->offer);
        }
    }
    if (!recursive)
        return;
    for (CatModel *child : qAsConst(children))
        child->RebuildOffers(true);
}

void CatModel::Destroy()
{
    if (parent)
        parent->DetachChild(this);
    delete this;
}

void CatModel::Clear()
{
    const QList<CatModel *> doomed = children;
    children.clear();
    RebuildChildIndex();
    qDeleteAll(doomed);
    for (Good *good : qAsConst(goods))
        GoodArena::Release(good);
    goods.clear();
    offers.clear();
}

QList<CatModel *> CatModel::Ancestors(bool all) const
{
    QList<CatModel *> result;
    if (!all) {
        if (parent)
            result.append(parent);
        return result;
    }
    for (CatModel *node = parent; node; node = node->parent)
        result.prepend(node);
    return result;
}

QList<CatModel *> CatModel::Descendants(bool recursive) const
{
    if (!recursive)
        return children;
    QList<CatModel *> result;
    for (CatModel *child : children) {
        result.append(child);
        result.append(child->Descendants(true));
    }
    return result;
}

bool CatModel::IsBelow(const CatModel *other) const
{
    for (const CatModel *node = parent; node; node = node->parent) {
        if (node == other)
            return true;
    }
    return false;
}

int CatModel::GoodCount(bool recursive) const
{
    int count = goods.size();
    if (recursive) {
        for (const CatModel *child : children)
            count += child->GoodCount(true);
    }
    return count;
}

Good *CatModel::FirstGood() const
{
    if (!goods.isEmpty())
        return goods.first();
    for (const CatModel *child : children) {
        if (Good *good = child->FirstGood())
            return good;
    }
    return nullptr;
}

Good *CatModel::FirstGood(const Filter *filter) const
{
    if (!filter)
        return FirstGood();
    if (!filter->uncheckedCategories.contains(this)) {
        if (!filter->IsActive()) {
            if (!goods.isEmpty())
                return goods.first();
        } else {
            for (Good *good : goods) {
                if (filter->Accepts(good))
                    return good;
            }
        }
    }
    for (const CatModel *child : children) {
        if (Good *good = child->FirstGood(filter))
            return good;
    }
    return nullptr;
}

int CatModel::CountWithGoods(const Filter *filter) const
{
    int count = (!goods.isEmpty() && !(filter && filter->uncheckedCategories.contains(this))) ? 1 : 0;
    for (const CatModel *child : children)
        count += child->CountWithGoods(filter);
    return count;
}

QString CatModel::NamePath() const
{
    QStringList names;
    for (const CatModel *node = this; node->parent; node = node->parent)
        names.prepend(node->name);
    return names.join(QLatin1Char('/'));
}

void CatModel::QueryGoods(IGoodQueryObject *query, const Filter *filter, bool recursive)
{
    if (!filter) {
        query->AddGoods(goods);
    } else if (!filter->uncheckedCategories.contains(this)) {
        if (!filter->IsActive()) {
            query->AddGoods(goods);
        } else {
            // The visitor may remove goods from this list: walk a copy.
            const QList<Good *> own = goods;
            for (Good *good : own) {
                if (filter->Accepts(good))
                    query->AddGood(good);
            }
        }
    }
    if (!recursive)
        return;
    const QList<CatModel *> copy = children;
    for (CatModel *child : copy)
        child->QueryGoods(query, filter, true);
}

QList<CatModel *> CatModel::TopMost(const QList<CatModel *> &nodes, CatModel *root)
{
    if (nodes.contains(nullptr))
        return QList<CatModel *>() << root;
    QList<CatModel *> result;
    for (CatModel *node : nodes) {
        bool below = false;
        for (const CatModel *other : nodes) {
            if (other != node && node->IsBelow(other)) {
                below = true;
                break;
            }
        }
        if (!below)
            result.append(node);
    }
    return result;
}
