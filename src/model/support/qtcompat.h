#pragma once

// The few things that Qt 5 and Qt 6 spell differently, where no one form
// compiles on both without a warning: the program builds with either.

#include <QLibraryInfo>
#include <QList>
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

// The slot where a list's next appended element goes, found from the list's
// header without detaching it: a load prefetches it a few rows ahead.
template<typename T>
const void *AppendSlot(const QList<T> &list)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return list.constData() + list.size();
#else
    const auto *data = *reinterpret_cast<const QListData::Data *const *>(&list);
    return data->array + data->end;
#endif
}

} // namespace QtCompat
