#pragma once

#include <memory>

#include <QDialog>
#include <QStringList>

class IncludeCatViewModel;
class QAbstractItemView;
class ReplaceCatViewModel;
struct Offer;

namespace Ui {
class EditOfferDialog;
}

// Edits one offer: its name and feed addresses and its category rules. The
// dialog works on copies; ApplyToOffer() writes them into the offer once the
// dialog has been accepted.
class EditOfferDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit EditOfferDialog(Offer *offer, QWidget *parent = nullptr);
    ~EditOfferDialog() override;

    // Writes the edited values into the offer; true when its rules changed,
    // so that its feed must be loaded again.
    bool ApplyToOffer();

public slots:
    void accept() override;
    void showOfferContextMenu(const QPoint &pos);

private:
    Q_DISABLE_COPY(EditOfferDialog)

    static void AppendEmptyRow(QAbstractItemView *view);
    // "…" under a table: a rule for a category chosen from the offer's.
    void AddChosenRow(QAbstractItemView *view);
    // The categories with every parent level of theirs, sorted.
    static QStringList WithParents(const QStringList &categories);

    Offer *m_offer;
    QStringList m_categories; // the offer's raw categories and their parents, sorted; the delegates point here
    std::unique_ptr<Ui::EditOfferDialog> ui;
    IncludeCatViewModel *m_includeModel;
    IncludeCatViewModel *m_excludeModel;
    ReplaceCatViewModel *m_replaceModel;
};
