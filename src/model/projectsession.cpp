#include "projectsession.h"

#include <QDir>
#include <QFileInfo>

#include "filter.h"
#include "filteroptions.h"
#include "idiscardquestions.h"
#include "model.h"
#include "projectstate.h"
#include "schema.h"

ProjectSession::ProjectSession(Model &model, Filter &filter, const QString &autosavePath)
    : m_model(model), m_filter(filter), m_autosavePath(autosavePath)
{
}

QStringList ProjectSession::Start(const QString *projectPath)
{
    // A project that cannot be read is reported, and is never written over:
    // a named one is left for the autosaved project, an autosave file that
    // cannot be read gets its successor beside it.
    QStringList unread;
    QString unreadNamed;
    if (projectPath) {
        if (m_model.LoadProject(*projectPath)) {
            m_projectPath = *projectPath;
        } else if (QFileInfo::exists(*projectPath)) {
            unread << m_model.LastError();
            unreadNamed = QDir::toNativeSeparators(*projectPath);
        }
    }
    if (m_projectPath.isEmpty()) {
        const bool loaded = m_model.LoadProject(m_autosavePath);
        if (!unreadNamed.isEmpty()) {
            unread << (loaded ? tr("Открыт автосохранённый проект; файл %1 остаётся как есть.").arg(unreadNamed)
                              : tr("Файл %1 остаётся как есть.").arg(unreadNamed));
        }
        if (!loaded && QFileInfo::exists(m_autosavePath)) {
            const QString unreadable = m_autosavePath;
            m_autosavePath = PathBeside(unreadable);
            unread << m_model.LastError()
                   << tr("Файл %1 остаётся как есть: автосохранение будет записываться в файл %2.")
                              .arg(QDir::toNativeSeparators(unreadable), QDir::toNativeSeparators(m_autosavePath));
        }
    }
    m_filter = FilterOptions::Read(m_model, Schema::Option::FilterPrefix);
    MarkSaved();
    m_autosavedState = m_savedState;
    return unread;
}

bool ProjectSession::HasUnsavedChanges() const
{
    return !m_projectPath.isEmpty() && State() != m_savedState;
}

QString ProjectSession::Title() const
{
    // The autosaved project has no file of its own to name.
    if (m_projectPath.isEmpty())
        return tr("Товары");
    return QStringLiteral("%1[*] — %2").arg(QFileInfo(m_projectPath).fileName(), tr("Товары"));
}

bool ProjectSession::ConfirmDiscard(const QString &question, IDiscardQuestions &questions)
{
    m_error.clear();
    // Nothing of a project without offers is lost.
    if (m_model.Offers().isEmpty())
        return true;
    if (HasUnsavedChanges()) {
        switch (questions.AskToSaveChanges(QFileInfo(m_projectPath).fileName())) {
        case IDiscardQuestions::Answer::Save:
            return SaveAs(m_projectPath);
        case IDiscardQuestions::Answer::Discard:
            return true;
        case IDiscardQuestions::Answer::Cancel:
            return false;
        }
    }
    return question.isEmpty() || questions.AskToGoOn(question);
}

bool ProjectSession::Open(const QString &path, const std::function<void()> &letGo)
{
    m_error.clear();
    // A project that cannot be read leaves the one open as it is.
    Model probe;
    if (!probe.LoadProject(path)) {
        m_error = probe.LastError();
        return false;
    }
    if (letGo)
        letGo();
    m_model.Clear(false);
    const bool ok = m_model.LoadProject(path);
    if (!ok)
        m_error = m_model.LastError();
    m_filter = FilterOptions::Read(m_model, Schema::Option::FilterPrefix);
    m_projectPath = ok ? path : QString();
    MarkSaved();
    return ok;
}

void ProjectSession::New()
{
    m_error.clear();
    m_model.Clear(false);
    m_filter = Filter();
    m_projectPath.clear();
    MarkSaved();
}

bool ProjectSession::SaveAs(const QString &path)
{
    m_error.clear();
    if (!Write(path.isNull() ? m_autosavePath : path))
        return false;
    if (path.isNull()) {
        m_autosavedState = State();
    } else {
        m_projectPath = path;
        MarkSaved();
    }
    return true;
}

bool ProjectSession::Autosave()
{
    m_error.clear();
    const QByteArray state = State();
    if (state == m_autosavedState)
        return true;
    if (!Write(m_autosavePath))
        return false;
    m_autosavedState = state;
    return true;
}

bool ProjectSession::SaveOnExit()
{
    m_error.clear();
    return Write(m_autosavePath);
}

void ProjectSession::MarkSaved()
{
    m_savedState = State();
}

QByteArray ProjectSession::State() const
{
    return ProjectState::Of(m_model, m_filter, Schema::Option::FilterPrefix);
}

bool ProjectSession::Write(const QString &file)
{
    m_model.StoreFilter(Schema::Option::FilterPrefix, m_filter);
    QString error;
    if (m_model.SaveProject(file, &error))
        return true;
    m_error = error.isEmpty() ? tr("Не удалось сохранить проект в файл %1").arg(QDir::toNativeSeparators(file))
                              : error;
    return false;
}

QString ProjectSession::PathBeside(const QString &path)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    for (int n = 2;; ++n) {
        const QString candidate =
                info.dir().filePath(QStringLiteral("%1 (%2)%3").arg(info.completeBaseName()).arg(n).arg(suffix));
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
}
