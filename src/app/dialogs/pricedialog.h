#pragma once

#include <memory>

#include <QDialog>

class Filter;
class Model;
class QLabel;
class QSpinBox;

namespace Ui {
class PriceDialog;
}

// Asks for a price range. The caller presets it from the loaded offers and
// the current filter and reads the two spin boxes after exec(). A lower
// bound above the upper one keeps the dialog open with a warning.
class PriceDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit PriceDialog(QWidget *parent = nullptr);
    ~PriceDialog() override;

    // Offers the price range of the offers that hold goods (shown in the
    // range label), else the filter's bounds; the filter's bounds, when it
    // has both, are then the shown values. Either argument may be null.
    void Preset(const Model *model, const Filter *filter);

    void accept() override;

    QSpinBox *lowSpin;
    QSpinBox *highSpin;
    QLabel *rangeLabel;

private:
    Q_DISABLE_COPY(PriceDialog)

    std::unique_ptr<Ui::PriceDialog> ui;
};
