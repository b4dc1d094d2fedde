#pragma once

#include <memory>

#include <QDialog>

class CheckedStringListModel;
class QSortFilterProxyModel;

namespace Ui {
class CheckedStringListDialog;
}

// Asks which strings of a list to take, with a check box on each. The
// caller presets and reads the check states through the model. A search
// field narrows the list shown; "select all" and "clear all" act on the
// rows shown, so that a long list of vendors can be ticked by a part of
// their names.
class CheckedStringListDialog final : public QDialog
{
    Q_OBJECT

public:
    CheckedStringListDialog(const QString &title, const QString &text, const QStringList &strings,
                            QWidget *parent = nullptr);
    ~CheckedStringListDialog() override;

    CheckedStringListModel *const model; // owned by the dialog, every row unchecked at first

private:
    Q_DISABLE_COPY(CheckedStringListDialog)

    void CheckShown(Qt::CheckState state);

    QSortFilterProxyModel *m_shown;
    std::unique_ptr<Ui::CheckedStringListDialog> ui;
};
