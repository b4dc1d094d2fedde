#include "filterslabel.h"

#include <algorithm>

#include <QSpinBox>

#include "checkedstringlistdialog.h"
#include "checkedstringlistmodel.h"
#include "filter.h"
#include "model.h"
#include "pricedialog.h"

namespace {

// The multiplication sign: every desktop font has it, unlike the emoji
// cross, which shows as an empty box where no emoji font is installed.
const QLatin1String kClearMark(" <a href=\"#%1\">&#215;</a>");
const QLatin1String kSeparator(", ");

QString ClearLink(const char *target)
{
    return QString(kClearMark).arg(QLatin1String(target));
}

} // namespace

FiltersLabel::FiltersLabel(QWidget *parent)
    : QLabel(parent)
{
    setWordWrap(true);
    setOpenExternalLinks(false);
    setTextFormat(Qt::RichText);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse
                            | Qt::LinksAccessibleByKeyboard);
    connect(this, &QLabel::linkActivated, this, &FiltersLabel::onLinkActivated);
    UpdateText();
}

void FiltersLabel::SetFilter(Filter *filter, Model *model)
{
    m_filter = filter;
    m_model = model;
    UpdateText();
}

void FiltersLabel::UpdateText()
{
    QString text = tr("Фильтры: ");

    if (m_filter && m_filter->priceLow >= 0 && m_filter->priceHigh >= 0) {
        text += tr("<a href=\"#choosePrice\">Цена с %1 до %2</a>")
                        .arg(QString::number(m_filter->priceLow), QString::number(m_filter->priceHigh))
                + ClearLink("clearPrice");
    } else if (m_filter && m_filter->priceLow >= 0) {
        text += tr("<a href=\"#choosePrice\">Цена от %1</a>").arg(m_filter->priceLow) + ClearLink("clearPrice");
    } else if (m_filter && m_filter->priceHigh >= 0) {
        text += tr("<a href=\"#choosePrice\">Цена до %1</a>").arg(m_filter->priceHigh) + ClearLink("clearPrice");
    } else {
        text += tr("<a href=\"#choosePrice\">Любая цена</a>");
    }
    text += kSeparator;

    const int vendorCount = m_filter ? m_filter->vendors.size() : 0;
    if (vendorCount == 0) {
        text += tr("<a href=\"#chooseVendor\">Любой производитель</a>");
    } else if (vendorCount <= 3) {
        // Vendor names come from the feeds: shown as written, never as markup.
        QStringList names;
        for (const QString *vendor : qAsConst(m_filter->vendors))
            names.append(vendor->toHtmlEscaped());
        text += tr("<a href=\"#chooseVendor\">Производители: %1</a>").arg(names.join(QLatin1Char(' ')))
                + ClearLink("clearVendor");
    } else {
        text += tr("<a href=\"#chooseVendor\">Выбраны некоторые производители</a>") + ClearLink("clearVendor");
    }
    text += kSeparator;

    if (m_filter && m_filter->discountOnly)
        text += tr("Только если есть скидка") + ClearLink("clearOldPrice");
    else
        text += tr("<a href=\"#chooseOldPrice\">Неважно есть скидка или нет</a>");

    setText(text);
}

void FiltersLabel::onLinkActivated(const QString &link)
{
    if (link == QLatin1String("#chooseVendor")) {
        ChooseVendors();
    } else if (link == QLatin1String("#choosePrice")) {
        ChoosePrice();
    } else if (!m_filter) {
        return;
    } else if (link == QLatin1String("#clearVendor")) {
        m_filter->vendors.clear();
        emit flterUpdated();
    } else if (link == QLatin1String("#clearPrice")) {
        m_filter->priceLow = -1;
        m_filter->priceHigh = -1;
        emit flterUpdated();
    } else if (link == QLatin1String("#chooseOldPrice")) {
        m_filter->discountOnly = true;
        emit flterUpdated();
    } else if (link == QLatin1String("#clearOldPrice")) {
        m_filter->discountOnly = false;
        emit flterUpdated();
    }
}

void FiltersLabel::ChooseVendors()
{
    QStringList names;
    if (m_model)
        names = m_model->Vendors().Names();
    if (m_filter) {
        // A vendor of the filter that no loaded good has any more is still
        // offered, so that it can be kept or dropped knowingly.
        for (const QString *vendor : qAsConst(m_filter->vendors))
            names.append(*vendor);
    }
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });
    names.erase(std::unique(names.begin(), names.end()), names.end());

    CheckedStringListDialog dialog(tr("Выбор производителя"),
                                   tr("Выберите список производителей, которые должны присутствовать в выборке"),
                                   names, nullptr);
    if (m_filter) {
        for (const QString *vendor : qAsConst(m_filter->vendors)) {
            const int row = names.indexOf(*vendor);
            if (row >= 0)
                dialog.model->setData(dialog.model->index(row), Qt::Checked, Qt::CheckStateRole);
        }
    }
    if (dialog.exec() != QDialog::Accepted || !m_filter)
        return;

    m_filter->vendors.clear();
    if (m_model) {
        const QStringList checked = dialog.model->CheckedStrings();
        for (const QString &name : checked) {
            if (const QString *registered = m_model->Vendors().Find(name))
                m_filter->vendors.insert(registered);
        }
    }
    emit flterUpdated();
}

void FiltersLabel::ChoosePrice()
{
    PriceDialog dialog(this);
    dialog.Preset(m_model, m_filter);
    if (dialog.exec() != QDialog::Accepted || !m_filter)
        return;
    m_filter->priceLow = dialog.Low();
    m_filter->priceHigh = dialog.High();
    emit flterUpdated();
}
