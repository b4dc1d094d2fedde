#pragma once

#include "csvrawrow.h"
#include "csvrowbuilder.h"
#include "ireader.h"
#include "iwriter.h"
#include "mappedfile.h"

#include <memory>
#include <mutex>
#include <vector>

#include <QAtomicPointer>
#include <QByteArray>
#include <QDateTime>
#include <QStringList>

class CsvRowStream;
struct CsvRowBatch;
class QFile;

// Reads and writes feeds in the catalogue's CSV dialect: UTF-8, ";" between
// fields, fields quoted when they hold ";", a quote or a line break, doubled
// quotes inside, "\r\n" written at the end of a row and "\r\n" or "\n" read.
// Every row after the header must have as many fields as the header; a
// malformed record (see CsvRowParser) reads as no row, and the in-order read
// passes over its first line and goes on at the line after.
//
// Reading is random access: a row is found again by the byte offset at
// which it begins. Sequential reads go through a large block buffer and
// random reads through a small one; the last decoded row is cached. RowAt
// and the owner-thread binding are guarded by the reader's mutex.
//
// One object either reads or writes at a time. Writes are collected in a
// buffer and reach the file in large blocks; Close() tells whether every
// byte got there.
class CsvManipulator final : public IReader, public IWriter
{
public:
    CsvManipulator();
    ~CsvManipulator() override;

    const QStringList &Header() const override;
    QStringList NextRow() override;
    QStringList RowAt(qint64 offset) override;
    qint64 Position() const override;
    void SetOwnerThread(QThread *thread) override;

    void WriteHeader(const QStringList &header) override;
    void WriteRow(const QStringList &row) override;

    // Closes any open file first. For reading the header row is read and the
    // position is left just past it; a missing file or an empty first line
    // fails. For writing the file is truncated.
    bool Open(const QString &path, bool forReading);
    // Opens a new file for writing, one that does not exist yet: neither a
    // file nor a link of that name is opened, so that nobody's link planted
    // under the name is followed.
    bool Create(const QString &path);
    // The system's reason why the last Open() or Create() failed, or why a
    // write since failed.
    QString ErrorText() const { return m_error; }
    // Writes what is still buffered and closes the file; false when a write
    // failed since the file was opened.
    bool Close() override;

    // The row at an offset, found but not decoded: the hot loops' way to a
    // loaded good's row. Null where RowAt() would give an empty row. The
    // row stays valid until the next scan; only the thread that runs the
    // operation may use it.
    const CsvRawRow *ScanAt(qint64 offset);
    // The same, read from the file rather than its mapping: for rows read
    // here and there through a long operation, whose mapped pages would pile
    // up in the process's memory (the system maps a stretch around each).
    const CsvRawRow *ReadAt(qint64 offset);

    // The path of the open file.
    QString FilePath() const;
    // Where the rows after the header begin (before any blank or malformed
    // line there is passed over); -1 when no file is open.
    qint64 DataStart() const;

    // True when the file ends its lines with "\r" alone (no "\n" anywhere).
    bool CrLineEnds() const { return m_crLineEnds; }
    // Lines of malformed records that NextRow() has passed over, and where
    // the first of them begin.
    qint64 SkippedRows() const { return m_skippedRows; }
    const std::vector<qint64> &FirstSkipped() const { return m_firstSkipped; }
    // False when the file read is not the one opened any more: its size or
    // its time of change differ, or it is gone.
    bool Unchanged() const;
    // The line numbers (from 1) at which rows beginning at these offsets
    // stand in the file, for messages.
    std::vector<qint64> LineNumbers(std::vector<qint64> offsets);

    // Appends rows already in the dialect (see CsvRowBuilder).
    void WriteRaw(const char *rows, int size);

    // Reads the row at an offset from the file's mapping into the caller's
    // buffers; any number of threads may do so at once, as part of an
    // operation that holds the reader (the owner binding is not consulted).
    // False when the file is not mapped or the row cannot be read.
    bool ReadMappedRow(qint64 offset, CsvRawRow &row, QByteArray &buffer) const;
    // One cell of the row at an offset, unquoted into cell, found in the
    // file's mapping without copying the row: only the fields up to it are
    // looked at, so the row's shape is not checked (for rows a load already
    // read, in a file that is Unchanged()). Any number of threads may call
    // it, as ReadMappedRow(). False when the cell cannot be read.
    bool ReadMappedCell(qint64 offset, int column, CsvRawRow &row, QByteArray &cell) const;
    // Asks the processor to fetch the start of a row that will be read soon.
    void Prefetch(qint64 offset) const;
    bool IsMapped() const { return m_mapped.IsMapped(); }
    // Gives the pages of the mapping back after a walk over many rows; the
    // file stays mapped and is read again from the system's cache.
    void ReleaseMapped() const;
    // Half of that (0 or 1), for two threads that give the pages back at once.
    void ReleaseMappedHalf(int half) const;

private:
    Q_DISABLE_COPY(CsvManipulator)

    struct Block
    {
        QByteArray data;
        qint64 offset = -1; // file offset of data[0]
        int length = 0;     // bytes of data that hold file content
        int readSize = 0;   // bytes asked for when a block is read afresh
    };


    bool OwnerAllows() const;
    bool ScanRow(Block &block, qint64 pos, CsvRawRow &row, qint64 *rowEnd);
    bool FillBlock(Block &block, qint64 pos);
    bool DetectCrLineEnds();
    bool ExtendBlock(Block &block, qint64 rowStart);
    qint64 ReadAt(char *dst, qint64 pos, qint64 size);
    bool ParseMapped(qint64 pos, CsvRawRow &row, const char **stop) const;
    static bool CopyMapped(const char *from, qint64 size, char *to);
    // Reads the row at the position; the caller holds the mutex or is the
    // reader's only user (the sequential read).
    QStringList ReadRow(Block &block);
    // Starts the stream of the in-order read at the position unless one
    // runs from there already, and moves the position to its first row;
    // false when no row follows (or the cached row is the next).
    bool StartStream();
    bool NextFromStream();
    void EndStream();
    void FlushOutput();
    void WriteFailed();

    QFile *m_file = nullptr;
    QString m_path; // the file's name: a file opened by descriptor keeps none
    qint64 m_fileSize = 0;
    qint64 m_position = 0;
    qint64 m_dataStart = 0;
    QStringList m_header;
    QStringList m_currentRow;
    qint64 m_lastReadOffset = -1;
    qint64 m_lastReadEnd = -1;
    Block m_sequential;
    Block m_random;
    Block m_read;
    CsvRawRow m_sequentialRow;
    CsvRawRow m_randomRow;
    CsvRawRow m_readRow;
    QByteArray m_output;
    MappedFile m_mapped; // the file mapped for random reads, when it can be
    bool m_writeFailed = false;
    QString m_error;
    bool m_crLineEnds = false;
    qint64 m_openedSize = 0;
    QDateTime m_openedModified;
    std::unique_ptr<CsvRowStream> m_stream;
    const CsvRowBatch *m_streamBatch = nullptr;
    int m_streamIndex = 0;
    qint64 m_streamNext = -1; // where the stream's next row begins
    qint64 m_skippedRows = 0;
    std::vector<qint64> m_firstSkipped;
    mutable std::mutex m_mutex;
    QAtomicPointer<QThread> m_owner;
};

// Opens a CSV feed for reading; null when it cannot be opened or its first
// line is empty. The caller owns the reader.
CsvManipulator *OpenCsvReader(const QString &path);
// Opens a CSV file for writing; null when it cannot be created. The caller
// owns the writer; destroying it closes the file.
CsvManipulator *CreateCsvWriter(const QString &path);
// Copies every row of a reader into a CSV file and opens that file for
// reading; null when either step fails. The caller owns the result.
CsvManipulator *ConvertToCsv(const QString &path, IReader *reader);
