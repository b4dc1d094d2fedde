#pragma once

#include <QStringList>

// Writes a feed: a header row, then one row per good.
class IWriter
{
public:
    virtual ~IWriter() = default;

    virtual void WriteHeader(const QStringList &header) = 0;
    virtual void WriteRow(const QStringList &row) = 0;
};
