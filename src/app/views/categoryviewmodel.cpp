#include "categoryviewmodel.h"

#include "catmodel.h"
#include "filter.h"
#include "source.h"

#include <QGuiApplication>
#include <QPalette>

CategoryViewModel::CategoryViewModel(CatModel *root, Filter *filter)
    : m_root(root)
    , m_filter(filter)
    , m_mixedOffers(QString::fromUtf8(Source::kMixedOffers))
    , m_mixedOffersShown(QCoreApplication::translate("Source", Source::kMixedOffers))
{
}

CatModel *CategoryViewModel::NodeAt(const QModelIndex &index) const
{
    if (index.isValid() && index.internalPointer())
        return static_cast<CatModel *>(index.internalPointer());
    return m_root;
}

QModelIndex CategoryViewModel::index(int row, int column, const QModelIndex &parent) const
{
    const CatModel *node = NodeAt(parent);
    if (!node || row < 0 || column != 0 || row >= node->children.size())
        return QModelIndex();
    return createIndex(row, column, node->children.at(row));
}

QModelIndex CategoryViewModel::parent(const QModelIndex &index) const
{
    const CatModel *node = NodeAt(index);
    CatModel *up = node ? node->parent : nullptr;
    if (!up || up == m_root)
        return QModelIndex();
    const int row = up->parent ? up->parent->children.indexOf(up) : -1;
    return createIndex(row, 0, up);
}

int CategoryViewModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0)
        return 0;
    const CatModel *node = NodeAt(parent);
    return node ? node->children.size() : 0;
}

int CategoryViewModel::columnCount(const QModelIndex &) const
{
    return 1;
}

int CategoryViewModel::CountSubtrees(const CatModel *node) const
{
    int count = node->goods.size();
    for (const CatModel *child : node->children)
        count += CountSubtrees(child);
    m_counts.insert(node, count);
    return count;
}

int CategoryViewModel::SubtreeCount(const CatModel *node) const
{
    if (!m_countsGiven && m_counts.isEmpty())
        CountSubtrees(m_root);
    return m_counts.value(node);
}

void CategoryViewModel::SetCounts(const QHash<const CatModel *, int> &counts)
{
    m_counts = counts;
    m_countsGiven = true;
    const int rows = rowCount();
    // The view repaints whatever it shows, the rows below the top ones too.
    if (rows > 0)
        emit dataChanged(index(0, 0), index(rows - 1, 0), {Qt::DisplayRole});
}

bool CategoryViewModel::FindUncheckedBelow(const CatModel *node) const
{
    // Every child is visited: the walk records each subtree on its way.
    bool below = false;
    for (const CatModel *child : node->children) {
        if (FindUncheckedBelow(child) || m_filter->uncheckedCategories.contains(child))
            below = true;
    }
    if (below)
        m_uncheckedBelow.insert(node);
    return below;
}

bool CategoryViewModel::HasUncheckedBelow(const CatModel *node) const
{
    if (!m_uncheckedKnown) {
        m_uncheckedBelow.clear();
        FindUncheckedBelow(m_root);
        m_uncheckedKnown = true;
    }
    return m_uncheckedBelow.contains(node);
}

QVariant CategoryViewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return QVariant();
    const CatModel *node = NodeAt(index);
    switch (role) {
    case Qt::DisplayRole: {
        const bool mixedOffers = node->ghost && node->parent == m_root && node->name == m_mixedOffers;
        return QString((mixedOffers ? m_mixedOffersShown : node->name) + QLatin1String(" (")
                       + QString::number(SubtreeCount(node)) + QLatin1Char(')'));
    }
    case Qt::ForegroundRole:
        // A ghost is dimmed with the palette's colour, so that a dark theme
        // stays readable; a real category has the usual text colour.
        return node->ghost ? QVariant(QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text))
                           : QVariant();
    case Qt::CheckStateRole:
        if (!m_filter || m_filter->uncheckedCategories.isEmpty())
            return Qt::Checked;
        if (m_filter->uncheckedCategories.contains(node))
            return Qt::Unchecked;
        return HasUncheckedBelow(node) ? Qt::PartiallyChecked : Qt::Checked;
    default:
        return QVariant();
    }
}

void CategoryViewModel::ApplyCheck(const QModelIndex &index, const CatModel *node, bool checked)
{
    if (checked)
        m_filter->uncheckedCategories.remove(node);
    else
        m_filter->uncheckedCategories.insert(node);
    m_uncheckedKnown = false;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    for (int row = 0; row < node->children.size(); ++row)
        ApplyCheck(this->index(row, 0, index), node->children.at(row), checked);
}

bool CategoryViewModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole)
        return QAbstractItemModel::setData(index, value, role);
    // The root has no check box of its own.
    if (!index.isValid() || !m_filter)
        return false;

    const int state = value.toInt();
    ApplyCheck(index, NodeAt(index), state != Qt::Unchecked);
    // Checking a category inside an unchecked subtree re-checks the way up
    // to it; unchecking leaves the ancestors as they are. Either way their
    // partial state is repainted.
    for (QModelIndex up = parent(index); up.isValid(); up = parent(up)) {
        if (state == Qt::Checked) {
            m_filter->uncheckedCategories.remove(NodeAt(up));
            m_uncheckedKnown = false;
        }
        emit dataChanged(up, up, {Qt::CheckStateRole});
    }
    emit GoodSetChanged();
    return true;
}

QVariant CategoryViewModel::headerData(int, Qt::Orientation, int) const
{
    return QVariant();
}

bool CategoryViewModel::removeRows(int row, int count, const QModelIndex &parent)
{
    CatModel *node = NodeAt(parent);
    if (!node || row < 0 || count <= 0 || row + count > node->children.size())
        return false;

    beginRemoveRows(parent, row, row + count - 1);
    m_counts.clear();
    m_countsGiven = false;
    m_uncheckedKnown = false;
    for (int i = 0; i < count && row < node->children.size(); ++i) {
        CatModel *doomed = node->children.at(row);
        // The set never mistakes a destroyed node for a new one, but entries
        // of a whole destroyed subtree would only pile up.
        if (m_filter) {
            m_filter->uncheckedCategories.remove(doomed);
            const QList<CatModel *> below = doomed->Descendants(true);
            for (const CatModel *category : below)
                m_filter->uncheckedCategories.remove(category);
        }
        doomed->Destroy();
    }
    endRemoveRows();

    // The ancestors' good counts and partial states may have changed.
    for (QModelIndex up = parent; up.isValid(); up = this->parent(up))
        emit dataChanged(up, up, {Qt::DisplayRole, Qt::CheckStateRole});
    return true;
}

Qt::ItemFlags CategoryViewModel::flags(const QModelIndex &index) const
{
    // Nothing can be done with the invisible root item.
    if (!index.isValid())
        return Qt::NoItemFlags;
    return QAbstractItemModel::flags(index) | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled;
}

bool CategoryViewModel::ToggleGhost(const QModelIndex &index)
{
    // The root is never a ghost: it is not part of any path.
    if (!index.isValid())
        return false;
    NodeAt(index)->ToggleGhost();
    emit dataChanged(index, index, {Qt::ForegroundRole});
    return true;
}
