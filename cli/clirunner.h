#pragma once

#include <cstdio>

#include <QCoreApplication>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include "commandline.h"
#include "filter.h"

class ConsoleProgress;
class Model;

// Runs the steps of the command line over one model, in order, each on the
// catalogue left by the ones before, and stops at the first that fails. It
// holds what the window would hold around the model: the filter and the
// export columns. Run() belongs on a worker thread: the model's long
// operations block it while the main thread watches for Ctrl+C.
class CliRunner final
{
    Q_DECLARE_TR_FUNCTIONS(Cli)

public:
    // DeleteRefused: a save, upload or site export would have deleted more
    // of the bases than --max-delete allows, and wrote nothing. A run
    // stopped by a signal ends with 128 + its number: Interrupted for
    // Ctrl+C, 143 for SIGTERM, 129 for SIGHUP.
    enum ExitCode { Success = 0, StepFailed = 1, UsageError = 2, DeleteRefused = 3, Interrupted = 130 };

    CliRunner(Model &model, ConsoleProgress &progress, FILE *out = stdout);

    // --upload-insecure: uploads trust any certificate or host key.
    void SetInsecureUploads(bool insecure) { m_insecureUploads = insecure; }
    // --upload-key: the private key of SFTP uploads.
    void SetUploadKey(const QString &file) { m_uploadKey = file; }
    // --strict: a load that passes over malformed rows fails.
    void SetStrict(bool strict) { m_strict = strict; }
    // --max-delete: saves, uploads and site exports that would delete more
    // than this share of the bases (in per cent) fail; 100, no limit.
    void SetMaxDelete(double percent) { m_maxDelete = percent; }

    // The exit status of the run. The catalogue is cleared before it returns,
    // and with it the files the run downloaded or converted.
    int Run(const QList<CliStep> &steps);

private:
    Q_DISABLE_COPY(CliRunner)

    // False with the reason in *error when the step failed.
    bool RunStep(const CliStep &step, QString *error);
    bool LoadProject(const QString &path, QString *error);
    bool LoadOffers(QString *error);
    bool LoadSources(QString *error);
    bool SaveWhole(const QString &file, QString *error);
    bool SaveByCats(const QString &folder, QString *error);
    bool Upload(const QString &address, QString *error);
    // The site, login and password of the site steps; false when no site is named.
    bool SiteAccess(QString *host, QString *login, QString *password, QString *error) const;
    // False, with the reason in *error, when the summary could not be written.
    bool PrintSummary(QString *error);
    // The change report into the file; false with the reason in *error.
    bool WriteReport(const QString &path, QString *error);

    QString ModelError() const;
    const QStringList *Columns() const { return m_columnsGiven ? &m_columns : nullptr; }
    bool WithinDeleteLimit(QString *error);
    static bool IsLoad(CliStep::Kind kind);

    Model &m_model;
    ConsoleProgress &m_progress;
    FILE *const m_out;
    Filter m_filter;
    QStringList m_columns;
    bool m_columnsGiven = false;
    bool m_insecureUploads = false;
    QString m_uploadKey;
    // The files of the last save, for --upload; a folder's files with
    // m_savedByCats.
    QStringList m_saved;
    bool m_savedByCats = false;
    QString m_site; // from --site; empty: the project's
    bool m_strict = false;
    double m_maxDelete = CommandLine::kDefaultMaxDelete;
    bool m_deleteRefused = false; // the step failed at the limit of --max-delete
    // The file of the run's first --report: a refused export writes the
    // report there too, so that whoever reads the run's mail sees why.
    QString m_reportPath;
};
