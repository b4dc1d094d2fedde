#include "duplicateremover.h"

#include <QCoreApplication>

#include "catmodel.h"
#include "csvmanipulator.h"
#include "good.h"
#include "identitykey.h"
#include "iprogress.h"
#include "offer.h"
#include "source.h"

bool DuplicateRemover::Run(CatModel *root, IProgress *reportTo)
{
    processedCount = 0;
    cancelled = false;
    progress = reportTo;
    seenKeys.Reserve(root->GoodCount(true));
    root->QueryGoods(this, nullptr, true);
    return !cancelled;
}

bool DuplicateRemover::Keep(Good *good)
{
    const Source &source = *good->source;
    QString text;
    int tokens;
    const CsvRawRow *raw = nullptr;
    QStringList row;
    auto *csv = dynamic_cast<CsvManipulator *>(source.reader);
    bool rowRead = false;
    const auto readRow = [&]() {
        if (rowRead)
            return;
        rowRead = true;
        if (csv)
            raw = csv->ScanAt(good->rowOffset);
        else
            row = good->Row();
    };
    if (good->idTemplate) {
        text = good->idTemplate->text;
        tokens = good->idTemplate->tokens;
    } else if (source.idTplColumn >= 0) {
        readRow();
        text = csv ? (raw ? raw->Text(source.idTplColumn) : QString()) : Good::Cell(row, source.idTplColumn);
        tokens = IdTemplate::TokensOf(text);
    } else {
        return true; // "[p]": unique
    }
    if ((tokens & IdTemplate::AllTokens) && text.contains(QLatin1String("[p]")))
        return true; // unique, nothing to read

    if (good->offer != m_offer) {
        m_offer = good->offer;
        m_offerUtf8 = m_offer ? m_offer->name.toUtf8() : QByteArray();
    }
    readRow();
    IdentityKey::Columns columns;
    columns.url = source.urlColumn;
    columns.id = source.idColumn;
    columns.name = source.nameColumn;
    const QString offerName = good->offer ? good->offer->name : QString();
    RowHash key;
    bool digested;
    if (csv)
        digested = IdentityKey::Digest(text, tokens, RawCellView{raw}, columns, offerName, m_offerUtf8,
                                       quintptr(good), &key);
    else
        digested = IdentityKey::Digest(text, tokens, ListCellView{&row}, columns, offerName, m_offerUtf8,
                                       quintptr(good), &key);
    if (!digested)
        return true;
    bool inserted;
    DigestMap::Entry *entry = seenKeys.Insert(key, good, &inserted);
    if (!inserted)
        return false;

    if (comparedColumns) {
        RowHasher cells;
        const char *data;
        int size;
        for (int column : comparedColumns(good->source)) {
            if (csv)
                RawCellView{raw}.View(column, &data, &size, m_scratch);
            else
                ListCellView{&row}.View(column, &data, &size, m_scratch);
            cells.Add(data, size);
        }
        entry->cells = cells.Result();
    }
    return true;
}

void DuplicateRemover::AddGoods(const QList<Good *> &goods)
{
    if (goods.isEmpty())
        return;
    // Duplicates are dropped from the category in one pass: the survivors
    // keep their order, and a large category costs no more than a small one.
    CatModel *category = goods.first()->category;
    const int count = goods.size();
    bool any = false;
    QVector<bool> duplicate(count, false);
    for (int i = 0; i < count; ++i) {
        if (!Keep(goods.at(i))) {
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
    if (!Keep(good)) {
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
