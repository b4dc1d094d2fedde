#pragma once

#include <memory>

#include <QDialog>

namespace Ui {
class ChooseCategoryDialog;
}

// Picks one of an offer's raw categories and how a rule for it matches:
// the category with its subcategories, the category alone, or only what
// lies below it.
class ChooseCategoryDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit ChooseCategoryDialog(const QStringList &categories, QWidget *parent = nullptr);
    ~ChooseCategoryDialog() override;

    // The chosen rule in its text form, or an empty string.
    QString SelectedRule() const;

private:
    Q_DISABLE_COPY(ChooseCategoryDialog)

    std::unique_ptr<Ui::ChooseCategoryDialog> ui;
};
