#include "exportoptionsdialog.h"

#include "checkedstringlistmodel.h"
#include "schema.h"
#include "ui_exportoptionsdialog.h"

ExportOptionsDialog::ExportOptionsDialog(const QStringList &columns, QWidget *parent, bool baseMarked)
    : QDialog(parent)
    , ui(std::make_unique<Ui::ExportOptionsDialog>())
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    // The columns the save fills itself, whatever the feeds hold.
    const QList<QPair<QString, bool>> computed = {
        {Schema::Column::OfferName, false},
        {Schema::Column::IdTpl, false},
        {Schema::Column::Status, baseMarked},
    };
    QStringList shown = columns;
    QList<int> unchecked;
    for (const auto &column : computed) {
        if (shown.contains(column.first))
            continue;
        shown.append(column.first);
        if (!column.second)
            unchecked.append(shown.size() - 1);
    }
    m_model = new CheckedStringListModel(shown, Qt::Checked, this);
    for (const int row : qAsConst(unchecked))
        m_model->setData(m_model->index(row), Qt::Unchecked, Qt::CheckStateRole);
    ui->listView->setModel(m_model);
    ui->listView->setCurrentIndex(m_model->index(0));

    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

ExportOptionsDialog::~ExportOptionsDialog() = default;

QStringList ExportOptionsDialog::SelectedColumns() const
{
    return m_model->CheckedStrings();
}
