#pragma once

#include "igoodqueryobject.h"

#include <QHash>
#include <QString>

class IProgress;
struct CatModel;

// Removes every good whose identity key equals that of a good met earlier in
// a walk of the category tree: the first good met survives. One remover
// serves one run; afterwards seenKeys maps every key to its surviving good,
// which the base load uses to match base rows.
class DuplicateRemover final : public IGoodQueryObject
{
public:
    DuplicateRemover() = default;
    virtual ~DuplicateRemover() = default;

    // Walks the tree from root; false when a progress report asked to stop
    // (the walk still runs to its end).
    bool Run(CatModel *root, IProgress *progress);

    void AddGoods(const QList<Good *> &goods) override;
    void AddGood(Good *good) override;

    QHash<QString, Good *> seenKeys;
    IProgress *progress = nullptr;
    bool cancelled = false;
    qint32 processedCount = 0;

private:
    void ReportProgress();
};
