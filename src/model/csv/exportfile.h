#pragma once

#include <QCoreApplication>

#include <memory>

#include <QString>

class CsvManipulator;

// One CSV file that a save writes, whole or not at all. A regular file (or
// a new one) is written beside the target under a name of this process
// (".NAME.PID.part", made anew, never opened through a link) and moved over
// the target only when it is complete, so that a site's importer sees the
// old export or the new one, never half of one; a failed or cancelled save
// leaves the target as it was. A pipe or a device (standard output) is
// written as it is. Partial files of processes that no longer run are
// removed when a save next writes to their folder.
//
// A target that is a symbolic link is followed only when the link (and
// every link after it) and the file it leads to belong to the user running
// the program (or to the system) and that file exists: a link that another
// user planted in a folder both can write would otherwise make a save, run
// by root from cron, replace any file of the machine.
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
    // Finish() and Place().
    bool Commit();
    // Closes the writer; false when a write failed. The file is complete
    // but not yet in place: a save of many files finishes them all first.
    bool Finish();
    // Moves the finished file over the target; false, the target left as
    // it was, when it cannot be moved.
    bool Place();
    QString ErrorText() const { return m_error; }

    // The file that a save to the path replaces: the path itself, or the
    // file at the end of the symbolic link it names when that link may be
    // followed; false, with the reason in *error, when it may not.
    static bool Resolve(const QString &path, QString *resolved, QString *error);
    // The base of a file name that keeps base + suffix within the 255 bytes
    // of UTF-8 that file systems allow a name: the base itself when it fits,
    // otherwise cut on a character's boundary and ended with "~" and eight
    // hex digits of a digest of the whole base, so that long names that
    // begin alike stay apart.
    static QString FittedName(const QString &base, const QString &suffix);

    // Removes ".NAME.PID.part" files of the folder whose process is gone.
    static void RemoveStaleParts(const QString &folder);

private:
    // RemoveStaleParts the first time this process writes into the folder.
    static void SweepOnce(const QString &folder);

    QString m_target; // as given, for messages
    QString m_place;  // the file the partial file replaces
    QString m_partial; // empty when the target is written directly
    std::unique_ptr<CsvManipulator> m_writer;
    bool m_finished = false;
    QString m_error;
};
