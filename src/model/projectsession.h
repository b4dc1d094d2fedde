#pragma once

#include <functional>

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

class Filter;
class IDiscardQuestions;
class Model;

// The life of the open project, without a widget: the file it was opened
// from or saved into (none for the autosaved project), whether it has
// changes not saved there, the window's title, the autosave ("last.fdm",
// or a file beside it when that one could not be read), opening, saving
// and the question before changes are dropped. It works on its owner's
// model and filter (the window's), on the interface thread, while no
// worker runs. Operations report failure by their result; ErrorText()
// tells why.
class ProjectSession final
{
    Q_DECLARE_TR_FUNCTIONS(ProjectSession)

public:
    ProjectSession(Model &model, Filter &filter, const QString &autosavePath);

    // Opens the project at start: the named one when it can be read, else
    // the autosaved one; then the filter from the project's options. A
    // project file that cannot be read is never written over afterwards.
    // Returns what the user is to be told about files that were not read,
    // or nothing.
    QStringList Start(const QString *projectPath);

    // The file of the project, or empty for the autosaved one.
    QString ProjectPath() const { return m_projectPath; }
    QString AutosavePath() const { return m_autosavePath; }
    // Whether the project of its own file has changes not saved there (the
    // autosaved project never has: its changes are never lost).
    bool HasUnsavedChanges() const;
    // The window's title: the project file's name with the "[*]" that a
    // window marks when modified, or the program's title alone.
    QString Title() const;
    QString ErrorText() const { return m_error; }

    // Asks before the project's offers and rules are dropped: whether to
    // save the changes into the project's file first, or, with a question,
    // whether to go on. True to go on; false to stay, also when the save
    // the user chose failed (ErrorText() then says why).
    bool ConfirmDiscard(const QString &question, IDiscardQuestions &questions);
    // Opens another project in place of this one. A file that cannot be
    // read leaves everything as it was; otherwise letGo runs (the views let
    // go of the catalogue), the model is cleared and the project read.
    bool Open(const QString &path, const std::function<void()> &letGo = {});
    // An empty project in place of this one (the caller's views let go of
    // the catalogue first).
    void New();
    // Saves the project with its filter into the file, which becomes the
    // project's; a null path saves into the autosave file only.
    bool SaveAs(const QString &path);
    // Writes the autosave file when the project changed since it was last
    // autosaved; true when there was nothing to write.
    bool Autosave();
    // The last autosave, as the program ends.
    bool SaveOnExit();
    // Takes the project as it is now for saved.
    void MarkSaved();

private:
    Q_DISABLE_COPY(ProjectSession)

    QByteArray State() const;
    bool Write(const QString &file);
    // A name for the autosave beside a file that must not be written over.
    static QString PathBeside(const QString &path);

    Model &m_model;
    Filter &m_filter;
    QString m_projectPath;
    QString m_autosavePath;
    QByteArray m_savedState;     // the project as last read from or written to m_projectPath
    QByteArray m_autosavedState; // the project as the autosave last wrote it
    QString m_error;
};
