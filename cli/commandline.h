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
        LoadSources,
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
        SaveSite,
        Report
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
    // A save that deletes more than half of what the bases hold is most
    // often a feed that failed, not a shop that sold out: refused unless
    // --max-delete says otherwise.
    static constexpr double kDefaultMaxDelete = 50.0;
    // --max-delete PERCENT, or the default; 100 turns the guard off.
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
    double m_maxDelete = kDefaultMaxDelete;
    bool m_insecureUploads = false;
    QString m_uploadKey;
    QString m_error;
};
