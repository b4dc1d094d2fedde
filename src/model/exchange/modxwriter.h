#pragma once

#include "iwriter.h"
#include "modxmanager.h"

#include <QVector>

// Writes goods to a shop site in chunks of rows ("update"), each row with
// one cell per column of the site, in the site's order. The site applies a
// chunk whole or not at all and says how many rows it inserted, updated,
// deleted and rejected. A chunk that cannot be sent (network error,
// time-out, cancel) stops the sending; a chunk the site refuses is counted
// and the next ones still go. Close() sends the last chunk and tells
// whether the site took every row.
class ModxWriter final : public ModxManager, public IWriter
{
    Q_DECLARE_TR_FUNCTIONS(ModxWriter)

public:
    struct Totals
    {
        qint64 sent = 0;     // rows sent in chunks the site answered
        qint64 inserted = 0;
        qint64 updated = 0;
        qint64 deleted = 0;
        qint64 absent = 0;   // rows to delete that the site did not hold
        qint64 notTaken = 0; // rows refused, rejected or never sent
    };

    ModxWriter(const QString &host, const QString &login, const QString &password);
    // Sends what is left unless Close() or Discard() came first.
    ~ModxWriter() override;

    void WriteHeader(const QStringList &header) override;
    void WriteRow(const QStringList &row) override;

    // Sends the buffered rows, also none; false when the site did not take
    // every one of them.
    bool Flush();
    // Sends the last chunk; false when any row of the export was not taken.
    bool Close() override;
    // Drops the buffered rows: after a cancel nothing more goes to the site.
    void Discard();

    const Totals &Counts() const { return m_totals; }

private:
    Q_DISABLE_COPY(ModxWriter)

    void DropChunk();
    void ReportRejected(const QJsonObject &counts);

    QStringList outputHeader;
    QVector<int> columnMap;
    int m_nameAt = -1;

    // The chunk being filled: its request body, rows already encoded, and
    // the rows' names.
    QByteArray m_body;
    QStringList m_names;

    Totals m_totals;
    qint64 m_written = 0;    // rows handed to WriteRow
    bool m_stopped = false;  // nothing more is sent
    bool m_closed = false;
    bool m_result = false;
};
