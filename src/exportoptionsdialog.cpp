#include "exportoptionsdialog.h"

#include "checkedstringlistmodel.h"
#include "ui_exportoptionsdialog.h"

ExportOptionsDialog::ExportOptionsDialog(const QStringList &columns, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::ExportOptionsDialog>())
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    const QString offerColumn = QStringLiteral("advcampaign_name");
    QStringList shown = columns;
    const bool appended = !shown.contains(offerColumn);
    if (appended)
        shown.append(offerColumn);
    m_model = new CheckedStringListModel(shown, Qt::Checked, this);
    if (appended)
        m_model->setData(m_model->index(shown.size() - 1), Qt::Unchecked, Qt::CheckStateRole);
    ui->listView->setModel(m_model);

    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

ExportOptionsDialog::~ExportOptionsDialog() = default;

QStringList ExportOptionsDialog::SelectedColumns() const
{
    return m_model->CheckedStrings();
}
