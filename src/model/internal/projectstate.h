#pragma once

#include <QByteArray>
#include <QString>

class Filter;
class ICatalogue;

// What is saved of a project, as one digest, to tell whether it changed
// since it was saved: the digest of the very document the project file
// would write now, with the live filter stored under its prefix in place of
// the copy the options hold. Whatever the project file writes counts, and
// nothing else does, so that a field added to the file cannot be missed
// here. Called on the thread that owns the catalogue.
class ProjectState
{
public:
    static QByteArray Of(const ICatalogue &catalogue, const Filter &filter, const QString &filterPrefix);
};
