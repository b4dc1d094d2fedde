#pragma once

#include <memory>

#include <QString>

class QTemporaryDir;

// The program's own folder under the system's temporary folder, readable
// by its user alone, for downloaded feeds and converted catalogues. It is
// made on first use and removed with everything in it when its owner (the
// model) is destroyed. A folder left behind by a crash names its process;
// RemoveStale() removes those whose process no longer runs, at start-up.
class TemporaryFolder
{
public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder &) = delete;
    TemporaryFolder &operator=(const TemporaryFolder &) = delete;

    // The folder, made on first use; empty when it cannot be made.
    QString Path();
    // The folder if it was made; empty otherwise.
    QString ExistingPath() const;
    // A path in the folder for a new file: the base name, "_", a number that
    // makes it unused, then the suffix ("goods", ".csv" -> "goods_123.csv").
    // Empty when the folder cannot be made.
    QString NewFilePath(const QString &baseName, const QString &suffix);

    // Removes the folder with everything in it now; a later Path() makes a
    // new one.
    void Remove();

    // Removes the folders of this user's processes that no longer run.
    static void RemoveStale();
    // True while the process of this number runs (or cannot be told not to).
    static bool ProcessRuns(qint64 pid);

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

// A temporary file that belongs to whoever holds this: removed when the
// holder is destroyed or given another one. Moving hands the file over.
class OwnedFile
{
public:
    OwnedFile() = default;
    explicit OwnedFile(const QString &path) : m_path(path) {}
    ~OwnedFile();
    OwnedFile(OwnedFile &&other) noexcept : m_path(other.Release()) {}
    OwnedFile &operator=(OwnedFile &&other) noexcept;
    OwnedFile(const OwnedFile &) = delete;
    OwnedFile &operator=(const OwnedFile &) = delete;

    const QString &Path() const { return m_path; }
    // Gives the file up without removing it.
    QString Release();

private:
    QString m_path;
};
