#include "csvmanipulator.h"

#include "csvrowparser.h"
#include "csvrowstream.h"
#include "platform.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include <QFile>
#include <QFileInfo>
#include <QThread>


namespace {

const int kSequentialBlock = 1 << 20;
const int kRandomBlock = 2048;
const int kOutputBlock = 1 << 20;

} // namespace

CsvManipulator::CsvManipulator()
{
    m_sequential.readSize = kSequentialBlock;
    m_random.readSize = kRandomBlock;
    m_read.readSize = kRandomBlock;
}

CsvManipulator::~CsvManipulator()
{
    Close();
}

const QStringList &CsvManipulator::Header() const
{
    return m_header;
}

qint64 CsvManipulator::Position() const
{
    if (!m_file)
        return -1;
    // The in-order read passes over blank lines and malformed records: the
    // next row begins where its stream finds it, which the stream is
    // started to tell (as the next NextRow() would start it).
    if (OwnerAllows())
        const_cast<CsvManipulator *>(this)->StartStream();
    return m_position;
}

qint64 CsvManipulator::DataStart() const
{
    return m_file ? m_dataStart : -1;
}

void CsvManipulator::SetOwnerThread(QThread *thread)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    m_owner.storeRelease(thread);
}

QString CsvManipulator::FilePath() const
{
    return m_file ? m_path : QString();
}

bool CsvManipulator::OwnerAllows() const
{
    QThread *owner = m_owner.loadAcquire();
    return !owner || owner == QThread::currentThread();
}

bool CsvManipulator::Open(const QString &path, bool forReading)
{
    Close();
    m_error.clear();
    m_file = new QFile(path);
    m_path = path;
    if (!forReading) {
        if (!m_file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
            m_error = m_file->errorString();
            delete m_file;
            m_file = nullptr;
            return false;
        }
        return true;
    }
    if (!Platform::OpenForReading(*m_file, &m_error)) {
        delete m_file;
        m_file = nullptr;
        return false;
    }
    m_fileSize = m_file->size();
    m_openedModified = QFileInfo(path).lastModified();
    m_openedSize = m_fileSize;
    m_mapped.Map(*m_file, m_fileSize);
    m_crLineEnds = DetectCrLineEnds();
    const QStringList header = RowAt(0);
    // A first line without any character names no column at all.
    if (header.isEmpty() || (header.size() == 1 && header.first().isEmpty())) {
        Close();
        return false;
    }
    m_header = header;
    m_dataStart = m_position;
    return true;
}

bool CsvManipulator::Create(const QString &path)
{
    Close();
    m_error.clear();
    m_file = new QFile(path);
    m_path = path;
    // NewOnly is O_CREAT | O_EXCL: an existing name, a link included, fails.
    if (!m_file->open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        m_error = m_file->errorString();
        delete m_file;
        m_file = nullptr;
        return false;
    }
    return true;
}

bool CsvManipulator::DetectCrLineEnds()
{
    // Old Mac files end their lines with "\r" alone; elsewhere a lone "\r"
    // is an ordinary character of a cell. Only a file whose start has a "\r"
    // and no "\n" is looked through whole.
    QByteArray start(int(qMin<qint64>(m_fileSize, 65536)), Qt::Uninitialized);
    start.resize(int(ReadAt(start.data(), 0, start.size())));
    if (!CsvRowParser::LooksCrOnly(start.constData(), start.size()))
        return false;
    if (start.size() == m_fileSize)
        return true;
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (qint64 pos = start.size(); pos < m_fileSize;) {
        const qint64 n = ReadAt(block.data(), pos, block.size());
        if (n <= 0)
            break;
        if (CsvRowParser::HasLineFeed(block.constData(), n))
            return false;
        pos += n;
    }
    return true;
}

bool CsvManipulator::Unchanged() const
{
    if (!m_file)
        return false;
    const QFileInfo now(m_path);
    return now.exists() && now.size() == m_openedSize && now.lastModified() == m_openedModified;
}

std::vector<qint64> CsvManipulator::LineNumbers(std::vector<qint64> offsets)
{
    std::vector<qint64> lines;
    if (!m_file)
        return lines;
    std::sort(offsets.begin(), offsets.end());
    const char lineEnd = m_crLineEnds ? '\r' : '\n';
    QByteArray block(1 << 20, Qt::Uninitialized);
    qint64 pos = 0;
    qint64 line = 1;
    for (const qint64 offset : offsets) {
        while (pos < offset) {
            const qint64 n = ReadAt(block.data(), pos, qMin<qint64>(block.size(), offset - pos));
            if (n <= 0)
                break;
            line += std::count(block.constData(), block.constData() + n, lineEnd);
            pos += n;
        }
        lines.push_back(line);
    }
    return lines;
}

bool CsvManipulator::Close()
{
    m_stream.reset();
    m_streamBatch = nullptr;
    std::lock_guard<std::mutex> locker(m_mutex);
    bool ok = !m_writeFailed;
    m_mapped.Unmap();
    if (m_file) {
        if (m_file->openMode() & QIODevice::WriteOnly) {
            FlushOutput();
            ok = !m_writeFailed;
        }
        m_file->close();
        delete m_file;
        m_file = nullptr;
    }
    m_output.clear();
    m_writeFailed = false;
    m_crLineEnds = false;
    m_skippedRows = 0;
    m_firstSkipped.clear();
    m_position = 0;
    m_dataStart = 0;
    m_fileSize = 0;
    m_header.clear();
    m_currentRow.clear();
    m_lastReadOffset = -1;
    m_lastReadEnd = -1;
    m_sequential.offset = m_random.offset = -1;
    m_sequential.length = m_random.length = 0;
    m_sequential.data.clear();
    m_random.data.clear();
    m_sequentialRow.Clear();
    m_randomRow.Clear();
    m_readRow.Clear();
    m_read.data.clear();
    m_read.offset = -1;
    m_read.length = 0;
    return ok;
}

qint64 CsvManipulator::ReadAt(char *dst, qint64 pos, qint64 size)
{
    return Platform::ReadAt(*m_file, dst, pos, size);
}

bool CsvManipulator::FillBlock(Block &block, qint64 pos)
{
    const qint64 wanted = qMin<qint64>(block.readSize, qMax<qint64>(0, m_fileSize - pos));
    if (block.data.size() < wanted)
        block.data.resize(int(wanted));
    block.offset = pos;
    block.length = wanted > 0 ? int(ReadAt(block.data.data(), pos, wanted)) : 0;
    return block.length > 0;
}

bool CsvManipulator::ExtendBlock(Block &block, qint64 rowStart)
{
    // The row runs past the block: keep its beginning and read on, by up to
    // the largest field at a time, so that a very long row is scanned a
    // bounded number of times and a record over the limits is told (by the
    // parser) before the block grows much past them.
    const int keep = int(block.offset + block.length - rowStart);
    const qint64 blockEnd = block.offset + block.length;
    const qint64 more = qMin<qint64>(qMax<qint64>(block.readSize, qMin<qint64>(keep, CsvRowParser::kMaxField)),
                                     m_fileSize - blockEnd);
    if (more <= 0)
        return false;
    if (qint64(keep) + more > qint64(std::numeric_limits<int>::max()) - 64)
        return false;
    if (keep > 0 && rowStart != block.offset)
        std::memmove(block.data.data(), block.data.constData() + (rowStart - block.offset), size_t(keep));
    if (block.data.size() < keep + more)
        block.data.resize(int(keep + more));
    const qint64 n = ReadAt(block.data.data() + keep, blockEnd, more);
    block.offset = rowStart;
    block.length = keep + int(n);
    return n > 0;
}

bool CsvManipulator::ParseMapped(qint64 pos, CsvRawRow &row, const char **stop) const
{
    // The parse reads the mapping under the guard; a file that shrank under
    // it turns into a failed read. Nothing is allocated here but the row's
    // field list, which stays consistent whenever the guard jumps out.
    bool parsed = false;
    const bool whole = MappedFile::Guarded([&]() {
        const char *base = m_mapped.Data();
        const char *begin = base + pos;
        if (pos == 0 && m_mapped.Size() >= 3 && std::memcmp(base, "\xEF\xBB\xBF", 3) == 0)
            begin += 3;
        parsed = CsvRowParser::Parse(begin, base + m_mapped.Size(), true, m_crLineEnds, row, stop)
                == CsvRowParser::Result::Row;
    });
    if (!whole)
        row.Clear();
    return whole && parsed;
}

bool CsvManipulator::CopyMapped(const char *from, qint64 size, char *to)
{
    return MappedFile::Guarded([&]() { std::memcpy(to, from, size_t(size)); });
}

bool CsvManipulator::ReadMappedRow(qint64 offset, CsvRawRow &row, QByteArray &buffer) const
{
    row.Clear();
    if (!m_mapped.IsMapped() || offset < 0 || offset >= m_mapped.Size())
        return false;
    const char *stop = nullptr;
    if (!ParseMapped(offset, row, &stop))
        return false;
    const char *start = m_mapped.Data() + offset;
    const qint64 size = stop - start;
    if (size > qint64(std::numeric_limits<int>::max()) - 64 || (!m_header.isEmpty() && row.Count() != m_header.size())) {
        row.Clear();
        return false;
    }
    if (buffer.size() < size)
        buffer.resize(int(size));
    if (!CopyMapped(start, size, buffer.data())) {
        row.Clear();
        return false;
    }
    const qint64 delta = buffer.constData() - start;
    for (CsvField &field : row.fields)
        field.data += delta;
    return row.Count() > 0;
}

bool CsvManipulator::ReadMappedCell(qint64 offset, int column, CsvRawRow &row, QByteArray &cell) const
{
    row.Clear();
    if (!m_mapped.IsMapped() || offset < 0 || offset >= m_mapped.Size() || column < 0)
        return false;
    bool found = false;
    // The cell is copied out under the guard; whatever the guard cuts short
    // leaves the row and the cell whole objects, only without the bytes.
    const bool whole = MappedFile::Guarded([&]() {
        const char *base = m_mapped.Data();
        const char *begin = base + offset;
        if (offset == 0 && m_mapped.Size() >= 3 && std::memcmp(base, "\xEF\xBB\xBF", 3) == 0)
            begin += 3;
        CsvRowParser::Limits limits;
        limits.fields = column + 1;
        const char *stop = nullptr;
        found = CsvRowParser::Parse(begin, base + m_mapped.Size(), true, m_crLineEnds, row, &stop, limits)
                        == CsvRowParser::Result::Row
                && row.Count() > column;
        if (!found)
            return;
        const char *data = nullptr;
        int size = 0;
        row.View(column, &data, &size, cell);
        if (data != cell.constData()) {
            cell.resize(size);
            std::memcpy(cell.data(), data, size_t(size));
        }
    });
    if (!whole)
        row.Clear();
    return whole && found;
}

void CsvManipulator::ReleaseMapped() const
{
    m_mapped.ReleaseAll();
}

void CsvManipulator::ReleaseMappedHalf(int half) const
{
    m_mapped.ReleaseHalf(half);
}

void CsvManipulator::Prefetch(qint64 offset) const
{
    m_mapped.Prefetch(offset);
}

bool CsvManipulator::ScanRow(Block &block, qint64 pos, CsvRawRow &row, qint64 *rowEnd)
{
    row.Clear();
    *rowEnd = pos;
    if (!m_file || pos < 0 || pos >= m_fileSize)
        return false;
    if (&block == &m_random && m_mapped.IsMapped() && pos < m_mapped.Size()) {
        // A random read parses the row in the mapping and copies just its
        // bytes, so that the fields stay valid whatever happens to the file.
        const char *stop = nullptr;
        if (!ParseMapped(pos, row, &stop))
            return false;
        const char *start = m_mapped.Data() + pos;
        const qint64 size = stop - start;
        if (size > qint64(std::numeric_limits<int>::max()) - 64) {
            row.Clear();
            return false;
        }
        if (block.data.size() < size)
            block.data.resize(int(size));
        if (!CopyMapped(start, size, block.data.data())) {
            row.Clear();
            return false;
        }
        block.offset = -1; // the block holds one row, not a stretch of the file
        block.length = 0;
        const qint64 delta = block.data.constData() - start;
        for (CsvField &field : row.fields)
            field.data += delta;
        *rowEnd = pos + size;
        if (!m_header.isEmpty() && row.Count() != m_header.size()) {
            row.Clear();
            return false;
        }
        return row.Count() > 0;
    }
    if (pos < block.offset || pos >= block.offset + block.length) {
        if (!FillBlock(block, pos))
            return false;
    }
    for (;;) {
        qint64 start = pos;
        // A byte-order mark at the very start of a file is not part of the header.
        if (start == 0 && block.offset == 0 && block.length >= 3
                && std::memcmp(block.data.constData(), "\xEF\xBB\xBF", 3) == 0)
            start = 3;
        const char *base = block.data.constData();
        const char *begin = base + (start - block.offset);
        const char *end = base + block.length;
        const bool atEnd = block.offset + block.length >= m_fileSize;
        const char *stop = nullptr;
        const CsvRowParser::Result result = CsvRowParser::Parse(begin, end, atEnd, m_crLineEnds, row, &stop);
        if (result == CsvRowParser::Result::Row) {
            *rowEnd = block.offset + (stop - base);
            break;
        }
        if (result == CsvRowParser::Result::Nothing || result == CsvRowParser::Result::Malformed)
            return false;
        if (!ExtendBlock(block, pos)) {
            // The file ended sooner than its size said: take what is there.
            m_fileSize = block.offset + block.length;
        }
    }
    if (!m_header.isEmpty() && row.Count() != m_header.size()) {
        row.Clear();
        return false;
    }
    return row.Count() > 0;
}

QStringList CsvManipulator::ReadRow(Block &block)
{
    if (m_position == m_lastReadOffset && m_lastReadOffset >= 0) {
        m_position = m_lastReadEnd;
        return m_currentRow;
    }
    m_currentRow = QStringList();
    m_lastReadOffset = m_position;
    CsvRawRow &raw = (&block == &m_sequential) ? m_sequentialRow : m_randomRow;
    qint64 end = m_position;
    const bool ok = ScanRow(block, m_position, raw, &end);
    m_position = end;
    m_lastReadEnd = end;
    if (ok) {
        m_currentRow.reserve(raw.Count());
        for (int i = 0; i < raw.Count(); ++i)
            m_currentRow.append(raw.Text(i));
    }
    return m_currentRow;
}

QStringList CsvManipulator::NextRow()
{
    // The sequential load is the only user of a reader until it finishes:
    // no lock per row.
    if (!OwnerAllows())
        return QStringList();
    if (m_position == m_lastReadOffset && m_lastReadOffset >= 0) {
        m_position = m_lastReadEnd;
        return m_currentRow;
    }
    if (NextFromStream())
        return m_currentRow;
    return ReadRow(m_sequential);
}

bool CsvManipulator::StartStream()
{
    if (m_header.isEmpty() || !m_file || m_position < 0 || m_position >= m_fileSize
            || m_position == m_lastReadOffset)
        return false;
    if (m_stream && m_streamNext == m_position)
        return true;
    m_stream.reset(new CsvRowStream(m_path, m_position, m_header.size(), m_crLineEnds));
    m_streamBatch = m_stream->Next();
    m_streamIndex = 0;
    if (!m_streamBatch) {
        EndStream();
        return false;
    }
    m_position = m_streamNext = m_streamBatch->offsets[0];
    return true;
}

bool CsvManipulator::NextFromStream()
{
    // Rows read one after another come from a stream that finds them on a
    // thread of its own, passing over blank lines and malformed records;
    // they are decoded here, on the thread that frees them (strings freed on
    // another thread than the one that made them cost more than decoding
    // them twice). A jump elsewhere starts a new stream.
    if (!StartStream())
        return false;
    if (!m_streamBatch || m_streamIndex >= m_streamBatch->Rows()) {
        m_streamBatch = m_stream->Next();
        m_streamIndex = 0;
        if (!m_streamBatch) {
            EndStream();
            return false;
        }
    }
    const size_t i = size_t(m_streamIndex++);
    m_lastReadOffset = m_streamBatch->offsets[i];
    m_streamBatch->RowAt(int(i), m_sequentialRow);
    m_currentRow = QStringList();
    m_currentRow.reserve(m_sequentialRow.Count());
    for (int column = 0; column < m_sequentialRow.Count(); ++column)
        m_currentRow.append(m_sequentialRow.Text(column));
    // Position() tells where the next row begins, past any rows the stream
    // passes over: after the last row of a batch that is the next batch's
    // first row (the decoded row no longer needs its batch).
    qint64 next;
    if (m_streamIndex < m_streamBatch->Rows()) {
        next = m_streamBatch->offsets[size_t(m_streamIndex)];
    } else {
        m_streamBatch = m_stream->Next();
        m_streamIndex = 0;
        next = m_streamBatch ? m_streamBatch->offsets[0] : m_fileSize;
        if (!m_streamBatch)
            EndStream();
    }
    m_position = m_lastReadEnd = next;
    if (m_stream)
        m_streamNext = next;
    return true;
}

void CsvManipulator::EndStream()
{
    m_skippedRows += m_stream->SkippedRows();
    for (const qint64 offset : m_stream->FirstSkipped()) {
        if (m_firstSkipped.size() < 5)
            m_firstSkipped.push_back(offset);
    }
    m_stream.reset();
    m_streamBatch = nullptr;
    // Whatever follows the last row is blank or malformed: the data end.
    m_position = m_fileSize;
}

QStringList CsvManipulator::RowAt(qint64 offset)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    if (!OwnerAllows())
        return QStringList();
    m_position = offset;
    return ReadRow(m_random);
}

const CsvRawRow *CsvManipulator::ScanAt(qint64 offset)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    if (!OwnerAllows())
        return nullptr;
    qint64 end = offset;
    const bool ok = ScanRow(m_random, offset, m_randomRow, &end);
    m_position = end;
    return ok ? &m_randomRow : nullptr;
}

const CsvRawRow *CsvManipulator::ReadAt(qint64 offset)
{
    std::lock_guard<std::mutex> locker(m_mutex);
    if (!OwnerAllows())
        return nullptr;
    qint64 end = offset;
    const bool ok = ScanRow(m_read, offset, m_readRow, &end);
    return ok ? &m_readRow : nullptr;
}

void CsvManipulator::WriteHeader(const QStringList &header)
{
    if (m_header != header)
        m_header = header;
    WriteRow(header);
}

void CsvManipulator::WriteRow(const QStringList &row)
{
    CsvRowBuilder builder(&m_output);
    builder.Begin();
    for (const QString &field : row)
        builder.Field(field);
    builder.End();
    if (m_output.size() >= kOutputBlock)
        FlushOutput();
}

void CsvManipulator::WriteRaw(const char *rows, int size)
{
    if (size >= kOutputBlock / 4) {
        // Large pieces go to the file as they are, without a copy.
        FlushOutput();
        if (!m_file || m_file->write(rows, size) != size)
            WriteFailed();
        return;
    }
    m_output.append(rows, size);
    if (m_output.size() >= kOutputBlock)
        FlushOutput();
}

void CsvManipulator::WriteFailed()
{
    // The first failure tells why; later ones follow from it.
    if (!m_writeFailed)
        m_error = m_file ? m_file->errorString() : QString();
    m_writeFailed = true;
}

void CsvManipulator::FlushOutput()
{
    if (m_output.isEmpty())
        return;
    if (!m_file || m_file->write(m_output) != m_output.size())
        WriteFailed();
    m_output.clear();
}

CsvManipulator *OpenCsvReader(const QString &path)
{
    auto *reader = new CsvManipulator;
    if (!reader->Open(path, true)) {
        delete reader;
        return nullptr;
    }
    return reader;
}

CsvManipulator *CreateCsvWriter(const QString &path)
{
    auto *writer = new CsvManipulator;
    if (!writer->Open(path, false)) {
        delete writer;
        return nullptr;
    }
    return writer;
}

CsvManipulator *ConvertToCsv(const QString &path, IReader *reader)
{
    auto *csv = new CsvManipulator;
    if (!csv->Open(path, false)) {
        delete csv;
        return nullptr;
    }
    csv->WriteHeader(reader->Header());
    for (QStringList row = reader->NextRow(); !row.isEmpty(); row = reader->NextRow())
        csv->WriteRow(row);
    if (!csv->Close() || !csv->Open(path, true)) {
        delete csv;
        return nullptr;
    }
    return csv;
}
