#pragma once

#include <QCoreApplication>
#include <QLatin1String>
#include <QString>

class Model;
class QWidget;

// A password the user asked the project to remember ("Запомнить пароль"):
// kept in the system's keyring, the project holding only the entry's name;
// where no keyring answers, the user is asked whether the project file may
// keep it, as it did before there was a keyring (the file is then written
// readable by its owner alone).
class RememberedPassword
{
    Q_DECLARE_TR_FUNCTIONS(RememberedPassword)

public:
    // The option keys of one password: the password itself and its entry.
    struct Keys
    {
        QLatin1String password;
        QLatin1String keyring;
    };

    // The password the project remembers, from the keyring or the file;
    // remembered tells whether it remembers one at all (the keyring may be
    // locked or gone: the box stays ticked, the field empty).
    static QString Load(const Model &model, const Keys &keys, bool *remembered);
    // Remembers the password under the entry, or forgets it.
    static void Keep(QWidget *parent, Model &model, const Keys &keys, const QString &entry, const QString &password,
                     bool remember);
};
