#include "pricedialog.h"

#include "commongoodinfo.h"
#include "filter.h"
#include "model.h"
#include "ui_pricedialog.h"

#include <QMessageBox>
#include <QPushButton>

PriceDialog::PriceDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::PriceDialog>())
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    lowSpin = ui->lowSpin;
    highSpin = ui->highSpin;
    rangeLabel = ui->rangeLabel;
    rangeLabel->hide();

    // The bounds stay as typed: a lower bound above the upper one is
    // refused when the dialog is accepted, not rewritten while the user
    // types the upper one digit by digit.
    connect(lowSpin, qOverload<int>(&QSpinBox::valueChanged), this, [this] { m_lowSet |= !m_presetting; });
    connect(highSpin, qOverload<int>(&QSpinBox::valueChanged), this, [this] { m_highSet |= !m_presetting; });
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &PriceDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

PriceDialog::~PriceDialog() = default;

void PriceDialog::accept()
{
    // A number still being typed counts as typed.
    lowSpin->interpretText();
    highSpin->interpretText();
    if (m_lowSet && m_highSet && lowSpin->value() > highSpin->value()) {
        QMessageBox::warning(this, windowTitle(),
                             tr("Цена «от» (%1) больше цены «до» (%2).").arg(lowSpin->value()).arg(highSpin->value()));
        lowSpin->setFocus();
        lowSpin->selectAll();
        return;
    }
    QDialog::accept();
}

qint32 PriceDialog::Low() const
{
    return m_lowSet ? lowSpin->value() : -1;
}

qint32 PriceDialog::High() const
{
    return m_highSet ? highSpin->value() : -1;
}

void PriceDialog::Preset(const Model *model, const Filter *filter)
{
    m_presetting = true;
    bool known = false;
    if (model) {
        CommonGoodInfo merged;
        for (const Offer &offer : model->Offers()) {
            if (offer.hasGoods)
                merged.Merge(offer.priceInfo);
        }
        // An offer that holds goods has included each of them; an empty
        // merge means no offer holds any.
        if (!merged.IsEmpty()) {
            known = true;
            lowSpin->setRange(merged.minPrice, merged.maxPrice);
            highSpin->setRange(merged.minPrice, merged.maxPrice);
            highSpin->setValue(merged.maxPrice);
            lowSpin->setValue(merged.minPrice);
            rangeLabel->setText(tr("(доступные значения от %1 до %2)")
                                        .arg(QString::number(merged.minPrice), QString::number(merged.maxPrice)));
            rangeLabel->show();
        }
    }
    m_lowSet = filter && filter->priceLow != -1;
    m_highSet = filter && filter->priceHigh != -1;
    if (!known && (m_lowSet || m_highSet)) {
        // Without goods the range is what the filter names.
        const int from = m_lowSet ? filter->priceLow : filter->priceHigh;
        const int to = m_highSet ? filter->priceHigh : filter->priceLow;
        lowSpin->setRange(qMin(from, to), qMax(from, to));
        highSpin->setRange(qMin(from, to), qMax(from, to));
    }
    if (m_highSet)
        highSpin->setValue(filter->priceHigh);
    if (m_lowSet)
        lowSpin->setValue(filter->priceLow);
    m_presetting = false;
}
