#pragma once

#include <QCoreApplication>

#include <QMap>
#include <QString>
#include <QStringList>

#include "stablelist.h"

class ICatalogue;
class QIODevice;
struct Offer;
struct SourceRecord;

// Reads and writes the project: the offers with their feed settings and
// category rules, and the option store, as one XML document. Writing
// replaces the file whole or not at all, so a full disk or a crash never
// leaves half a project behind.
class ProjectFile
{
    Q_DECLARE_TR_FUNCTIONS(ProjectFile)

public:
    // False, with the reason in *error, when the file cannot be written (a
    // target that is not a regular file is refused, and so is a link that an
    // export would not follow); the old file stays. A project that holds a
    // password is readable by its owner alone (mode 0600).
    static bool Save(const ICatalogue &catalogue, const QString &path, QString *error = nullptr);
    // The project document of these offers, options and remembered loads,
    // as Save() writes it; false when the device took not all of it.
    static bool Write(QIODevice *device, const StableList<Offer> &offers, const QMap<QString, QString> &options,
                      const QMap<QString, QStringList> &lists, const QList<SourceRecord> &sources);
    // Adds the project to the catalogue. False when the file cannot be read or
    // is not well-formed XML, and then nothing of it is added. The error
    // text, if asked for, says what went wrong, with the line and column.
    static bool Load(ICatalogue &catalogue, const QString &path, QString *error = nullptr);
};
