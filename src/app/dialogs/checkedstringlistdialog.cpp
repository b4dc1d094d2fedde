#include "checkedstringlistdialog.h"

#include "checkedstringlistmodel.h"
#include "ui_checkedstringlistdialog.h"

#include <QSortFilterProxyModel>

CheckedStringListDialog::CheckedStringListDialog(const QString &title, const QString &text,
                                                 const QStringList &strings, QWidget *parent)
    : QDialog(parent)
    , model(new CheckedStringListModel(strings, Qt::Unchecked, this))
    , m_shown(new QSortFilterProxyModel(this))
    , ui(std::make_unique<Ui::CheckedStringListDialog>())
{
    ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowTitle(title);
    ui->label->setText(text);
    m_shown->setSourceModel(model);
    m_shown->setFilterCaseSensitivity(Qt::CaseInsensitive);
    ui->listView->setModel(m_shown);
    // Space ticks the current row from the start.
    ui->listView->setCurrentIndex(m_shown->index(0, 0));
    connect(ui->searchEdit, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_shown->setFilterFixedString(text);
        ui->listView->setCurrentIndex(m_shown->index(0, 0));
    });
    connect(ui->checkAll, &QPushButton::clicked, this, [this] { CheckShown(Qt::Checked); });
    connect(ui->uncheckAll, &QPushButton::clicked, this, [this] { CheckShown(Qt::Unchecked); });
    // Enter in the search field must not close the dialog.
    ui->checkAll->setAutoDefault(false);
    ui->uncheckAll->setAutoDefault(false);
    connect(ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

CheckedStringListDialog::~CheckedStringListDialog() = default;

void CheckedStringListDialog::CheckShown(Qt::CheckState state)
{
    for (int row = 0; row < m_shown->rowCount(); ++row)
        model->setData(m_shown->mapToSource(m_shown->index(row, 0)), state, Qt::CheckStateRole);
}
