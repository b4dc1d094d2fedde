#pragma once

#include <QString>

// What a project session asks the user before it drops work: the window
// answers with its message boxes, a test from a script.
class IDiscardQuestions
{
public:
    enum class Answer { Save, Discard, Cancel };

    // The project of this file has changes not saved there: save them
    // first, drop them, or stay where the user is?
    virtual Answer AskToSaveChanges(const QString &fileName) = 0;
    // Whether to go on with what the question says.
    virtual bool AskToGoOn(const QString &question) = 0;

protected:
    ~IDiscardQuestions() = default;
};
