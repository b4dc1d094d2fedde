// The project reader on any document: a project loads whole or not at all
// (nothing of a failed one reaches the model), and one that loads saves and
// loads again into the same file.
#include <cstdint>

#include "fuzzfiles.h"
#include "model.h"
#include "projectfile.h"

using FuzzFiles::Require;

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    FuzzFiles::Application();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString project = FuzzFiles::Write("project.fdm", data, size);
    Model model;
    QString error;
    if (!ProjectFile::Load(model, project, &error)) {
        Require(!error.isEmpty(), "a failed load says why");
        Require(model.Offers().isEmpty() && model.Options().isEmpty() && model.ArrayOptions().isEmpty()
                        && model.SourceRecords().isEmpty(),
                "a project that fails to load adds nothing");
        return 0;
    }
    const QDir folder = FuzzFiles::Folder();
    const QString first = folder.filePath(QStringLiteral("first.fdm"));
    const QString second = folder.filePath(QStringLiteral("second.fdm"));
    Require(ProjectFile::Save(model, first), "a loaded project saves");
    Model again;
    Require(ProjectFile::Load(again, first, &error), "a saved project loads");
    Require(ProjectFile::Save(again, second), "a project loaded again saves");
    QFile a(first);
    QFile b(second);
    Require(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly) && a.readAll() == b.readAll(),
            "a saved project loads into the same project");
    return 0;
}
