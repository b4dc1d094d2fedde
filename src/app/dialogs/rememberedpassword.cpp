#include "rememberedpassword.h"

#include <QMessageBox>

#include "keyring.h"
#include "model.h"

QString RememberedPassword::Load(const Model &model, const Keys &keys, bool *remembered)
{
    const QString entry = model.Option(keys.keyring);
    if (!entry.isEmpty()) {
        *remembered = true;
        QString password;
        return Keyring::Read(entry, &password) == Keyring::Done ? password : QString();
    }
    *remembered = model.Options().contains(keys.password);
    return *remembered ? model.Option(keys.password) : QString();
}

void RememberedPassword::Keep(QWidget *parent, Model &model, const Keys &keys, const QString &entry,
                              const QString &password, bool remember)
{
    const QString oldEntry = model.Option(keys.keyring);
    if (!remember) {
        // Forgotten means gone from the keyring too, not only from the project.
        if (!oldEntry.isEmpty())
            Keyring::Remove(oldEntry);
        model.RemoveOption(keys.keyring);
        model.RemoveOption(keys.password);
        return;
    }
    QString why;
    if (Keyring::Store(entry, password, &why) == Keyring::Done) {
        model.SetOption(keys.keyring, entry);
        model.RemoveOption(keys.password);
        return;
    }
    // A project that already keeps its password in the file goes on doing
    // so; the question is asked once.
    const bool inFile = model.Options().contains(keys.password) && oldEntry.isEmpty();
    if (!inFile
        && QMessageBox::question(parent, tr("Хранилище паролей недоступно"),
                                 tr("Хранилище паролей системы не отвечает: %1\n\nСохранить пароль в файле проекта? "
                                    "Файл проекта будет доступен для чтения только вам.")
                                         .arg(why),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
                != QMessageBox::Yes) {
        model.RemoveOption(keys.keyring);
        model.RemoveOption(keys.password);
        return;
    }
    model.SetOption(keys.password, password);
    model.RemoveOption(keys.keyring);
}
