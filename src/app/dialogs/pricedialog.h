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
// the current filter and reads the bounds after exec(). Only the bounds the
// filter had or the user changed are bounds: "from" changed alone leaves
// the upper end open, so that dearer goods of a later feed still pass. A
// lower bound above the upper one keeps the dialog open with a warning.
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

    // The bounds to keep: -1 for one neither the filter had nor the user set.
    qint32 Low() const;
    qint32 High() const;

    QSpinBox *lowSpin;
    QSpinBox *highSpin;
    QLabel *rangeLabel;

private:
    Q_DISABLE_COPY(PriceDialog)

    std::unique_ptr<Ui::PriceDialog> ui;
    bool m_lowSet = false;
    bool m_highSet = false;
    bool m_presetting = false;
};
