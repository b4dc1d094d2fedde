#pragma once

#include <functional>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>

// Dialogs, message boxes and menus run their own event loop; these helpers
// act on the next one from inside that loop. Each gives up after a bounded
// number of turns of the event loop, so a dialog that never comes does not
// leave a handler behind for a later one. What the action leaves open (a
// check failed inside it) is closed, so that the test ends instead of
// waiting for a user.

inline void OnNextModal(std::function<void(QWidget *)> action, int turns = 100)
{
    QTimer::singleShot(0, [action, turns] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            QPointer<QWidget> guard(modal);
            action(modal);
            if (guard && guard->isVisible()) {
                if (auto *dialog = qobject_cast<QDialog *>(guard.data()))
                    dialog->reject();
                else
                    guard->close();
            }
        } else if (turns > 0)
            OnNextModal(action, turns - 1);
    });
}

// The same for the next modal widget of one type (a message box opened over
// a dialog that is itself modal).
template<typename T>
inline void OnNextModalOf(std::function<void(T *)> action, int turns = 100)
{
    QTimer::singleShot(0, [action, turns] {
        if (auto *modal = qobject_cast<T *>(QApplication::activeModalWidget())) {
            QPointer<T> guard(modal);
            action(modal);
            if (guard && guard->isVisible())
                guard->close();
        } else if (turns > 0) {
            OnNextModalOf<T>(action, turns - 1);
        }
    });
}

inline void OnNextMenu(std::function<void(QMenu *)> action, int turns = 100)
{
    QTimer::singleShot(0, [action, turns] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            QPointer<QMenu> guard(menu);
            action(menu);
            if (guard && guard->isVisible())
                guard->close();
        } else if (turns > 0)
            OnNextMenu(action, turns - 1);
    });
}

// Closes every dialog or message box that opens while it lives and keeps
// their titles (and a message box's text): where none is expected, one that
// comes fails the test instead of waiting for a user. A message box that
// offers the given answer gets that answer. A progress dialog is left to
// its worker.
class ModalCloser
{
public:
    enum Scope { AnyModal, MessageBoxesOnly };

    explicit ModalCloser(QMessageBox::StandardButton answer = QMessageBox::NoButton, Scope scope = AnyModal)
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this, answer, scope] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || modal->inherits("ProgressDialog")
                || (scope == MessageBoxesOnly && !qobject_cast<QMessageBox *>(modal)))
                return;
            closed.append(modal->windowTitle());
            if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                texts.append(box->text());
                if (QAbstractButton *button = box->button(answer)) {
                    button->click();
                    return;
                }
            }
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            else
                modal->close();
        });
        m_timer.start();
    }

    QStringList closed;
    QStringList texts;

private:
    QTimer m_timer;
};
