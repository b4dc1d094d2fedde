#pragma once

#include <QStringList>

// Writes a feed: a header row, then one row per good. Writers may hold rows
// back (a file's buffer, a site's chunk); Close() sends what is left and
// tells whether everything written since the writer was made arrived.
class IWriter
{
public:
    virtual ~IWriter() = default;

    virtual void WriteHeader(const QStringList &header) = 0;
    virtual void WriteRow(const QStringList &row) = 0;
    virtual bool Close() = 0;
};
