#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

// One step of a run, in the order given on the command line.
struct CliStep
{
    enum Kind {
        Project,
        Add,
        AddBase,
        AddUrl,
        AddBaseUrl,
        LoadOffers,
        RemoveDuplicates,
        Columns,
        Save,
        SaveByCats,
        SaveProject,
        Upload,
        Summary,
        Site,
        AddSite,
        AddBaseSite,
        SaveSite
    };

    Kind kind = Summary;
    QString option;   // as the user wrote it, e.g. "--add"
    QString argument; // file, folder, address, site or column list; empty for bare steps

    // The step as it stands on the command line, for messages.
    QString Text() const;
};

// The arguments of fidmora-cli: the steps in their order and the few
// options that apply to the whole run.
class CommandLine final
{
    Q_DECLARE_TR_FUNCTIONS(Cli)

public:
    enum Outcome { Run, Help, Version, UsageError };

    // Reads the arguments, without the program name.
    Outcome Parse(const QStringList &arguments);

    const QList<CliStep> &Steps() const { return m_steps; }
    bool Quiet() const { return m_quiet; }
    // --strict: a load that passes over malformed rows fails.
    bool Strict() const { return m_strict; }
    // --max-delete PERCENT, or -1 when not given.
    double MaxDelete() const { return m_maxDelete; }
    // --upload-insecure: trust any certificate or host key.
    bool InsecureUploads() const { return m_insecureUploads; }
    // --upload-key FILE: the private key of SFTP uploads.
    QString UploadKey() const { return m_uploadKey; }
    // Why the arguments were refused (UsageError only).
    QString ErrorText() const { return m_error; }

    static QString HelpText();
    static QString VersionText();
    // The hint that follows every usage error.
    static QString HelpHint();

private:
    Outcome Fail(const QString &text);

    QList<CliStep> m_steps;
    bool m_quiet = false;
    bool m_strict = false;
    double m_maxDelete = -1;
    bool m_insecureUploads = false;
    QString m_uploadKey;
    QString m_error;
};
