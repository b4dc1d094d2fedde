#pragma once

#include "ireader.h"
#include "modxmanager.h"

class CsvManipulator;

// Reads the rows a shop site holds, chunk by chunk ("data"), as a feed:
// positions are row indexes, not byte offsets. Only the current chunk is
// held. Reading stops at the site's last row, or earlier when a chunk fails,
// comes short or the user cancels: Failed() then says so, and ErrorText()
// why. Used once, sequentially, to copy the site into a CSV file.
// Reading stops after the first failure.
class ModxReader final : public ModxManager, public IReader
{
    Q_DECLARE_TR_FUNCTIONS(ModxReader)

public:
    ModxReader(const QString &host, const QString &login, const QString &password);
    ~ModxReader() override;

    const QStringList &Header() const override;
    QStringList NextRow() override;
    QStringList RowAt(qint64 index) override;
    qint64 Position() const override;
    void SetOwnerThread(QThread *thread) override;

    // Fills the buffer with the chunk that holds the current position.
    bool FetchChunk();
    // Copies every row the site holds into a CSV file open for writing,
    // chunk by chunk, the cells going from the reply's bytes straight into
    // the file's; the same rows as Header() and NextRow() give.
    bool CopyRows(CsvManipulator *csv);

    // The reading ended before the site's last row.
    bool Failed() const { return m_failed; }
    // Rows handed out so far.
    qint64 RowsRead() const { return m_rowsRead; }

private:
    Q_DISABLE_COPY(ModxReader)

    bool Fail(const QString &why);
    // Fetches the chunk of the current position into the buffer, or as CSV
    // rows into csvRows.
    bool Fetch(QByteArray *csvRows);

    qint64 position = 0;
    qint64 loadedOffset = 0;
    QStringList emptyRow;
    bool m_failed = false;
    qint64 m_rowsRead = 0;
};
