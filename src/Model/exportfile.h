#pragma once

#include <QCoreApplication>

#include <memory>

#include <QString>

class CsvManipulator;

// One CSV file that a save writes, whole or not at all. A regular file (or
// a new one) is written beside the target under a name of this process
// (".NAME.PID.part") and moved over the target only when it is complete,
// so that a site's importer sees the old export or the new one, never half
// of one; a failed or cancelled save leaves the target as it was. A pipe or
// a device (standard output) is written as it is. Partial files of
// processes that no longer run are removed when a save next writes to
// their folder.
class ExportFile
{
    Q_DECLARE_TR_FUNCTIONS(ExportFile)

public:
    explicit ExportFile(const QString &target);
    ~ExportFile();
    ExportFile(const ExportFile &) = delete;
    ExportFile &operator=(const ExportFile &) = delete;

    // The writer, or null with the reason in ErrorText().
    CsvManipulator *Open();
    // Closes the writer and puts the file in place; false, the target left
    // as it was, when a write failed or the file could not be moved.
    bool Commit();
    QString ErrorText() const { return m_error; }

    // Removes ".NAME.PID.part" files of the folder whose process is gone.
    static void RemoveStaleParts(const QString &folder);

private:
    // RemoveStaleParts the first time this process writes into the folder.
    static void SweepOnce(const QString &folder);

    QString m_target;
    QString m_partial; // empty when the target is written directly
    std::unique_ptr<CsvManipulator> m_writer;
    QString m_error;
};
