#pragma once

#include <memory>

#include <QDialog>

class CheckedStringListModel;

namespace Ui {
class ExportOptionsDialog;
}

// Asks which columns an export writes. Every given column starts checked;
// the columns the save computes are always offered: the offer and the
// identity template unchecked unless they were given, the status ticked
// when the catalogue holds goods marked by a base (without it a delta
// cannot tell deleted goods from added ones).
class ExportOptionsDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit ExportOptionsDialog(const QStringList &columns, QWidget *parent = nullptr, bool baseMarked = false);
    ~ExportOptionsDialog() override;

    // The checked columns, in list order.
    QStringList SelectedColumns() const;

private:
    Q_DISABLE_COPY(ExportOptionsDialog)

    std::unique_ptr<Ui::ExportOptionsDialog> ui;
    CheckedStringListModel *m_model;
};
