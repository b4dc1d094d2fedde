#include "duplicateremover.h"

#include <QCoreApplication>

#include "catmodel.h"
#include "good.h"
#include "iprogress.h"

bool DuplicateRemover::Run(CatModel *root, IProgress *reportTo)
{
    processedCount = 0;
    cancelled = false;
    progress = reportTo;
    root->QueryGoods(this, nullptr, true);
    return !cancelled;
}

void DuplicateRemover::AddGoods(const QList<Good *> &goods)
{
    if (goods.isEmpty())
        return;
    // Duplicates are dropped from the category in one pass: the survivors
    // keep their order, and a large category costs no more than a small one.
    CatModel *category = goods.first()->category;
    const int count = goods.size();
    if (seenKeys.capacity() < seenKeys.size() + count)
        seenKeys.reserve(seenKeys.size() + count);
    bool any = false;
    QVector<bool> duplicate(count, false);
    for (int i = 0; i < count; ++i) {
        Good *good = goods.at(i);
        const QString key = good->Key();
        auto it = seenKeys.find(key);
        if (it == seenKeys.end()) {
            seenKeys.insert(key, good);
        } else {
            duplicate[i] = true;
            any = true;
        }
    }
    if (any) {
        int i = 0;
        category->RemoveGoodsIf([&duplicate, &i](const Good *) { return duplicate.at(i++); });
    }
    processedCount += count;
    ReportProgress();
}

void DuplicateRemover::AddGood(Good *good)
{
    const QString key = good->Key();
    if (!seenKeys.contains(key)) {
        seenKeys.insert(key, good);
    } else {
        CatModel *category = good->category;
        category->RemoveGoodsIf([good](const Good *g) { return g == good; });
    }
    ++processedCount;
    ReportProgress();
}

void DuplicateRemover::ReportProgress()
{
    if (!progress)
        return;
    const QString text = QCoreApplication::translate("DuplicateRemover", "Удаление дублей. Обработано ")
            + QString::number(processedCount) + QCoreApplication::translate("DuplicateRemover", " товаров");
    if (!progress->Report(0, 0, text))
        cancelled = true;
}
