#pragma once

#include <memory>

#include <QDialog>
#include <QString>

class Filter;
class Model;

namespace Ui {
class ModxExportDialog;
}

// Asks for a shop site's host, login and password and runs the exchange
// with it behind the progress dialog in log mode, whose log stays open
// until the user closes it. Mode 0 writes the catalogue (with the filter) to
// the site, 1 reads the site as data, 2 as base. The host and login are kept
// in the project's options, the password only when its remember box is
// ticked. The dialog closes only when the exchange succeeded, so that a
// failed one can be corrected and tried again.
class ModxExportDialog final : public QDialog
{
    Q_OBJECT

public:
    enum Mode { Export = 0, Import = 1, ImportBase = 2 };

    ModxExportDialog(Model *model, int mode, const Filter *filter = nullptr, QWidget *parent = nullptr);
    ~ModxExportDialog() override;

    // Why the last exchange failed; empty when none failed or none ran.
    QString LastError() const { return m_lastError; }
    // Whether the user cancelled the last exchange.
    bool Cancelled() const { return m_cancelled; }

public slots:
    void accept() override;

signals:
    void beforeAction();
    void afterAction();

private:
    Q_DISABLE_COPY(ModxExportDialog)

    Model *m_model;
    const Filter *m_filter;
    int m_mode;
    QString m_lastError;
    bool m_cancelled = false;
    std::unique_ptr<Ui::ModxExportDialog> ui;
};
