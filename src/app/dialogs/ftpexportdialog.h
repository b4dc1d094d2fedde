#pragma once

#include <memory>

#include <QDialog>
#include <QString>

class Filter;
class Model;

namespace Ui {
class FtpExportDialog;
}

// Exports the goods that pass the window's filter to the user's server by
// FTP, FTPS or SFTP: collects the server, the credentials, the target
// folder or file and the mode, shows the address the export goes to
// (without credentials), checks that the server lets the user in, asks for
// the columns and runs Model::ExportToFtpServer behind a progress dialog.
// The fields are kept in the project's options for the next export; the
// password only when the user asks for it.
class FtpExportDialog final : public QDialog
{
    Q_OBJECT

public:
    FtpExportDialog(Model *model, Filter *filter, QWidget *parent = nullptr);
    ~FtpExportDialog() override;

    void accept() override;

    // Writes the fields into the model's options.
    void StoreFields();

public slots:
    void UpdatePath();

private:
    Q_DISABLE_COPY(FtpExportDialog)

    void LoadFields();
    void ProtocolChanged(int index);
    void HostEdited(const QString &text);
    void ChooseKeyFile();
    QString Scheme() const;

    std::unique_ptr<Ui::FtpExportDialog> ui;
    Model *m_model;
    Filter *m_filter;
    // The export address: built by UpdatePath, fully encoded, without
    // credentials and without the file pattern.
    QString m_exportAddress;
    int m_protocol = 0;
};
