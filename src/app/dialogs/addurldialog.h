#pragma once

#include <memory>

#include <QDialog>

namespace Ui {
class AddUrlDialog;
}

// Asks for the address of a feed.
class AddUrlDialog final : public QDialog
{
    Q_OBJECT

public:
    AddUrlDialog(QWidget *parent, const QString &prompt, const QString &placeholder, const QString &text);
    ~AddUrlDialog() override;

    QString Url() const;

private:
    Q_DISABLE_COPY(AddUrlDialog)

    std::unique_ptr<Ui::AddUrlDialog> ui;
};
