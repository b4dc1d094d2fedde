#pragma once

#include <QStringList>
#include <QtGlobal>

class QThread;

// Reads a feed row by row, and again any row by the byte offset at which it
// begins. The catalogue keeps only offsets; every field is read back through
// this interface when it is needed.
class IReader
{
public:
    virtual ~IReader() = default;

    // Column names; valid while the reader lives.
    virtual const QStringList &Header() const = 0;
    // The row at Position(); an empty list at the end of data, on a malformed
    // row and for a thread that is not the owner.
    virtual QStringList NextRow() = 0;
    // The row that begins at the given byte offset.
    virtual QStringList RowAt(qint64 offset) = 0;
    // Byte offset at which the next NextRow() starts; -1 when no file is open.
    virtual qint64 Position() const = 0;
    // From now on only this thread may read; nullptr admits every thread.
    virtual void SetOwnerThread(QThread *thread) = 0;
};
