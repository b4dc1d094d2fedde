#pragma once

#include <memory>

#include <QDialog>

class CheckedStringListModel;

namespace Ui {
class ExportOptionsDialog;
}

// Asks which columns an export writes. Every given column starts checked;
// the offer column is always offered, unchecked unless it was given.
class ExportOptionsDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit ExportOptionsDialog(const QStringList &columns, QWidget *parent = nullptr);
    ~ExportOptionsDialog() override;

    // The checked columns, in list order.
    QStringList SelectedColumns() const;

private:
    Q_DISABLE_COPY(ExportOptionsDialog)

    std::unique_ptr<Ui::ExportOptionsDialog> ui;
    CheckedStringListModel *m_model;
};
