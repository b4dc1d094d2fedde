#pragma once

#include <QLabel>

class Filter;
class Model;

// States the main window's filter in words: price, vendors and discount,
// each a link that opens its chooser or clears that part. The label changes
// the filter and signals it; the window's reload then rebuilds the text.
class FiltersLabel final : public QLabel
{
    Q_OBJECT

public:
    explicit FiltersLabel(QWidget *parent = nullptr);

    // Neither is owned; either may be null.
    void SetFilter(Filter *filter, Model *model);
    void UpdateText();

signals:
    void flterUpdated();

public slots:
    void onLinkActivated(const QString &link);

private:
    Q_DISABLE_COPY(FiltersLabel)

    void ChooseVendors();
    void ChoosePrice();

    Filter *m_filter = nullptr;
    Model *m_model = nullptr;
};
