#pragma once

#include <functional>

#include <QApplication>
#include <QDialog>
#include <QMenu>
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
// their titles: where none is expected, one that comes fails the test
// instead of waiting for a user.
class ModalCloser
{
public:
    ModalCloser()
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            closed.append(modal->windowTitle());
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
            else
                modal->close();
        });
        m_timer.start();
    }

    QStringList closed;

private:
    QTimer m_timer;
};
