#pragma once

#include <QCoreApplication>
#include <QMessageBox>
#include <QString>

class QWidget;

// Tells the user how an operation ended, in a message box. A text whose
// first paragraph is a plain sentence and whose rest, after an empty line,
// is the technical account (as the network's failures come) shows the
// sentence and keeps the rest under "Подробнее". A success comes with the
// information icon, a failure with the warning one.
class ErrorBox
{
    Q_DECLARE_TR_FUNCTIONS(ErrorBox)

public:
    static void Show(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                     const QString &informative = QString());
    // The plain sentence and the technical rest of a text (empty when it
    // has none).
    static QString Sentence(const QString &text);
    static QString Details(const QString &text);
};
