#pragma once

// The few things that Qt 5 and Qt 6 spell differently, where no one form
// compiles on both without a warning: the program builds with either.

#include <QLibraryInfo>
#include <QString>
#include <QtGlobal>

namespace QtCompat {

// The folder of Qt's own translations (qtbase_ru.qm).
inline QString TranslationsFolder()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#else
    return QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#endif
}

} // namespace QtCompat
