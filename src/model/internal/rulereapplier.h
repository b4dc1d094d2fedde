#pragma once

#include <QCoreApplication>
#include <QString>
#include <QStringList>

class IProgress;
struct CatModel;
struct Offer;

// Places the goods of one offer again under its edited category rules,
// without reading the feeds in order: each good's raw category is read
// back through its row offset (in file order, on two processors), every
// distinct raw category is mapped once, and the goods move or go in bulk,
// as a load under the new rules would have filed them. Nothing of the tree
// changes until every row has been read, so a cancel or a feed changed
// meanwhile leaves the catalogue as it was. Used only from Model, on the
// operation's thread.
class RuleReapplier
{
    Q_DECLARE_TR_FUNCTIONS(RuleReapplier)

public:
    struct Result
    {
        bool finished = false;
        QString error;
        QStringList warnings;
        qint64 goods = 0;   // goods of the offer placed again
        qint64 moved = 0;   // of them, filed under another category
        qint64 dropped = 0; // of them, left out by the new rules
    };

    RuleReapplier(CatModel &root, Offer *offer, IProgress *progress);
    Result Run();

private:
    RuleReapplier(const RuleReapplier &) = delete;
    RuleReapplier &operator=(const RuleReapplier &) = delete;

    CatModel &m_root;
    Offer *m_offer;
    IProgress *m_progress;
};
