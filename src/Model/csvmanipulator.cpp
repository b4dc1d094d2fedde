#include "csvmanipulator.h"

#include "csvrowstream.h"

#include <cstring>
#include <limits>

#include <QFile>
#include <QMutexLocker>
#include <QThread>

#ifdef Q_OS_UNIX
#include <atomic>
#include <mutex>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>
#endif
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

const int kSequentialBlock = 1 << 20;
const int kRandomBlock = 2048;
const int kOutputBlock = 1 << 20;

#ifdef Q_OS_UNIX
// A mapped file that shrinks under the mapping raises SIGBUS on access. The
// copy from the mapping runs under a guard that turns the signal into a
// failed read (an empty row) instead of a crash.
thread_local sigjmp_buf *volatile t_mappedCopy = nullptr;
struct sigaction s_previousBusHandler;

void OnBusError(int signal, siginfo_t *info, void *context)
{
    if (t_mappedCopy)
        siglongjmp(*t_mappedCopy, 1);
    if (s_previousBusHandler.sa_flags & SA_SIGINFO) {
        if (s_previousBusHandler.sa_sigaction) {
            s_previousBusHandler.sa_sigaction(signal, info, context);
            return;
        }
    } else if (s_previousBusHandler.sa_handler == SIG_IGN) {
        return;
    } else if (s_previousBusHandler.sa_handler != SIG_DFL) {
        s_previousBusHandler.sa_handler(signal);
        return;
    }
    ::signal(SIGBUS, SIG_DFL);
    ::raise(SIGBUS);
}

void InstallBusHandler()
{
    static std::once_flag once;
    std::call_once(once, []() {
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_sigaction = OnBusError;
        // Not blocked inside the handler, so leaving it by a jump needs no
        // mask to be restored (and the guard no system call).
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &s_previousBusHandler);
    });
}

#endif

// Bytes that end or change a field: ";", the quote, "\r" and "\n". No byte
// of a multi-byte UTF-8 sequence equals one of them, so the scan works on
// bytes and never decodes.
struct SpecialTable
{
    bool special[256];
    SpecialTable()
    {
        std::memset(special, 0, sizeof special);
        special[uchar(';')] = special[uchar('"')] = special[uchar('\r')] = special[uchar('\n')] = true;
    }
};
const SpecialTable s_table;

inline const char *FindSpecial(const char *p, const char *end)
{
#ifdef __SSE2__
    const __m128i semicolon = _mm_set1_epi8(';');
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    while (end - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, semicolon), _mm_cmpeq_epi8(v, quote)),
                                          _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        const int mask = _mm_movemask_epi8(hits);
        if (mask)
            return p + __builtin_ctz(unsigned(mask));
        p += 16;
    }
#endif
    while (p < end && !s_table.special[uchar(*p)])
        ++p;
    return p;
}

#ifdef __SSE2__
inline quint64 Mask16(const char *p)
{
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
    const __m128i hits = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(';')),
                                                   _mm_cmpeq_epi8(v, _mm_set1_epi8('"'))),
                                      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\r')),
                                                   _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))));
    return quint64(uint(_mm_movemask_epi8(hits)));
}
#endif

inline quint64 Mask64(const char *p)
{
#ifdef __SSE2__
    return Mask16(p) | (Mask16(p + 16) << 16) | (Mask16(p + 32) << 32) | (Mask16(p + 48) << 48);
#else
    quint64 mask = 0;
    for (int i = 0; i < 64; ++i)
        mask |= quint64(s_table.special[uchar(p[i])]) << i;
    return mask;
#endif
}

// Bits for the special bytes among the 64 from p; none at or past end.
inline quint64 SpecialMask(const char *p, const char *end)
{
    if (end - p >= 64)
        return Mask64(p);
    char tail[64] = {};
    const int size = int(end - p);
    std::memcpy(tail, p, size_t(size));
    return Mask64(tail) & ((quint64(1) << size) - 1);
}

} // namespace

CsvManipulator::CsvManipulator()
{
    m_sequential.readSize = kSequentialBlock;
    m_random.readSize = kRandomBlock;
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
    return m_file ? m_position : -1;
}

void CsvManipulator::SetOwnerThread(QThread *thread)
{
    QMutexLocker locker(&m_mutex);
    m_owner.storeRelease(thread);
}

QString CsvManipulator::FilePath() const
{
    return m_file ? m_file->fileName() : QString();
}

bool CsvManipulator::OwnerAllows() const
{
    QThread *owner = m_owner.loadAcquire();
    return !owner || owner == QThread::currentThread();
}

bool CsvManipulator::Open(const QString &path, bool forReading)
{
    Close();
    m_file = new QFile(path);
    if (!forReading) {
        if (!m_file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
            delete m_file;
            m_file = nullptr;
            return false;
        }
        return true;
    }
    if (!m_file->open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        delete m_file;
        m_file = nullptr;
        return false;
    }
    m_fileSize = m_file->size();
#ifdef Q_OS_UNIX
    if (m_fileSize > 0) {
        void *map = ::mmap(nullptr, size_t(m_fileSize), PROT_READ, MAP_SHARED, m_file->handle(), 0);
        if (map != MAP_FAILED) {
            InstallBusHandler();
            m_map = map;
            m_mapSize = m_fileSize;
        }
    }
#endif
    const QStringList header = RowAt(0);
    // A first line without any character names no column at all.
    if (header.isEmpty() || (header.size() == 1 && header.first().isEmpty())) {
        Close();
        return false;
    }
    m_header = header;
    return true;
}

bool CsvManipulator::Close()
{
    m_stream.reset();
    m_streamBatch = nullptr;
    QMutexLocker locker(&m_mutex);
    bool ok = !m_writeFailed;
#ifdef Q_OS_UNIX
    if (m_map)
        ::munmap(m_map, size_t(m_mapSize));
#endif
    m_map = nullptr;
    m_mapSize = 0;
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
    m_position = 0;
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
    return ok;
}

qint64 CsvManipulator::ReadAt(char *dst, qint64 pos, qint64 size)
{
#ifdef Q_OS_UNIX
    qint64 done = 0;
    const int fd = m_file->handle();
    while (done < size) {
        const ssize_t n = ::pread(fd, dst + done, size_t(size - done), off_t(pos + done));
        if (n <= 0)
            break;
        done += n;
    }
    return done;
#else
    if (!m_file->seek(pos))
        return 0;
    const qint64 n = m_file->read(dst, size);
    return n < 0 ? 0 : n;
#endif
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
    // The row runs past the block: keep its beginning and read on, doubling
    // the amount so that a very long row is scanned a bounded number of times.
    const int keep = int(block.offset + block.length - rowStart);
    const qint64 blockEnd = block.offset + block.length;
    const qint64 more = qMin<qint64>(qMax<qint64>(block.readSize, qint64(keep)), m_fileSize - blockEnd);
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

CsvManipulator::ParseResult CsvManipulator::ParseRow(const char *begin, const char *end, bool atEnd,
                                                     CsvRawRow &row, const char **rowEnd)
{
    row.Clear();
    if (begin >= end)
        return atEnd ? ParseResult::Nothing : ParseResult::NeedMore;

    const char *fieldStart = begin;
    bool quoted = false;
    auto endField = [&](const char *fieldEnd) {
        CsvField field;
        field.data = fieldStart;
        field.size = int(fieldEnd - fieldStart);
        field.quoted = quoted;
        row.fields.push_back(field);
    };
    auto endOfInput = [&]() {
        CsvField field;
        field.data = fieldStart;
        field.size = int(end - fieldStart);
        field.quoted = quoted;
        if (CsvRawRow::HasCharacters(field))
            row.fields.push_back(field);
        *rowEnd = end;
        return ParseResult::Row;
    };

    // The row is scanned 64 bytes at a time: a bit mask marks the bytes that
    // end or change a field, and only those are looked at.
    const char *p = begin;
    for (;;) {
        if (p >= end)
            return atEnd ? endOfInput() : ParseResult::NeedMore;
        quint64 mask = SpecialMask(p, end);
        const char *next = p + 64;
        while (mask) {
            const char *c = p + __builtin_ctzll(mask);
            mask &= mask - 1;
            if (*c == ';') {
                endField(c);
                fieldStart = c + 1;
                quoted = false;
            } else if (*c == '\n') {
                endField(c);
                *rowEnd = c + 1;
                return ParseResult::Row;
            } else if (*c == '\r') {
                if (c + 1 == end) {
                    if (!atEnd)
                        return ParseResult::NeedMore;
                } else if (c[1] == '\n') {
                    endField(c);
                    *rowEnd = c + 2;
                    return ParseResult::Row;
                }
                // a lone "\r" is an ordinary character
            } else { // the quote: a quoted section up to the next single quote
                quoted = true;
                const char *q = c + 1;
                for (;;) {
                    q = static_cast<const char *>(std::memchr(q, '"', size_t(end - q)));
                    if (!q)
                        return atEnd ? endOfInput() : ParseResult::NeedMore; // a quote that never closes
                    if (q + 1 == end) {
                        if (!atEnd)
                            return ParseResult::NeedMore;
                        next = end;
                        break;
                    }
                    if (q[1] != '"') {
                        next = q + 1; // the character after the section follows the usual rules
                        break;
                    }
                    q += 2;
                }
                break;
            }
        }
        p = next;
    }
}

#ifdef Q_OS_UNIX
__attribute__((noinline)) bool CsvManipulator::ParseMapped(qint64 pos, CsvRawRow &row, const char **stop) const
{
    // The parse reads the mapping under a guard; a file that shrank under it
    // turns into a failed read. Nothing is allocated here but the row's
    // field list, which stays consistent whenever the guard jumps out.
    sigjmp_buf guard;
    if (sigsetjmp(guard, 0) != 0) {
        t_mappedCopy = nullptr;
        row.Clear();
        return false;
    }
    t_mappedCopy = &guard;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    const char *base = static_cast<const char *>(m_map);
    const char *begin = base + pos;
    if (pos == 0 && m_mapSize >= 3 && std::memcmp(base, "\xEF\xBB\xBF", 3) == 0)
        begin += 3;
    const ParseResult result = ParseRow(begin, base + m_mapSize, true, row, stop);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    t_mappedCopy = nullptr;
    return result == ParseResult::Row;
}

bool CsvManipulator::CopyMapped(const char *from, qint64 size, char *to)
{
    sigjmp_buf guard;
    if (sigsetjmp(guard, 0) != 0) {
        t_mappedCopy = nullptr;
        return false;
    }
    t_mappedCopy = &guard;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    std::memcpy(to, from, size_t(size));
    std::atomic_signal_fence(std::memory_order_seq_cst);
    t_mappedCopy = nullptr;
    return true;
}
#endif

bool CsvManipulator::ReadMappedRow(qint64 offset, CsvRawRow &row, QByteArray &buffer) const
{
    row.Clear();
#ifdef Q_OS_UNIX
    if (!m_map || offset < 0 || offset >= m_mapSize)
        return false;
    const char *stop = nullptr;
    if (!ParseMapped(offset, row, &stop))
        return false;
    const char *start = static_cast<const char *>(m_map) + offset;
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
#else
    Q_UNUSED(offset)
    Q_UNUSED(buffer)
    return false;
#endif
}

void CsvManipulator::ReleaseMapped() const
{
#ifdef Q_OS_UNIX
    if (m_map)
        ::madvise(m_map, size_t(m_mapSize), MADV_DONTNEED);
#endif
}

void CsvManipulator::Prefetch(qint64 offset) const
{
    if (m_map && offset >= 0 && offset < m_mapSize) {
        const char *at = static_cast<const char *>(m_map) + offset;
        for (int line = 0; line < 4; ++line)
            __builtin_prefetch(at + 64 * line);
    }
}

bool CsvManipulator::ScanRow(Block &block, qint64 pos, CsvRawRow &row, qint64 *rowEnd)
{
    row.Clear();
    *rowEnd = pos;
    if (!m_file || pos < 0 || pos >= m_fileSize)
        return false;
#ifdef Q_OS_UNIX
    if (&block == &m_random && m_map && pos < m_mapSize) {
        // A random read parses the row in the mapping and copies just its
        // bytes, so that the fields stay valid whatever happens to the file.
        const char *stop = nullptr;
        if (!ParseMapped(pos, row, &stop))
            return false;
        const char *start = static_cast<const char *>(m_map) + pos;
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
#endif
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
        const ParseResult result = ParseRow(begin, end, atEnd, row, &stop);
        if (result == ParseResult::Row) {
            *rowEnd = block.offset + (stop - base);
            break;
        }
        if (result == ParseResult::Nothing)
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

QStringList CsvManipulator::ReadRowLocked(Block &block)
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
    return ReadRowLocked(m_sequential);
}

bool CsvManipulator::NextFromStream()
{
    // Rows read one after another come from a stream that finds them on a
    // thread of its own; they are decoded here, on the thread that frees
    // them (strings freed on another thread than the one that made them cost
    // more than decoding them twice). Anything else (a jump, the end of the data, a malformed row) is
    // left to the plain read.
    if (m_header.isEmpty() || !m_file || m_position < 0 || m_position >= m_fileSize)
        return false;
    if (!m_stream || m_streamNext != m_position) {
        m_stream.reset(new CsvRowStream(m_file->fileName(), m_position, m_header.size()));
        m_streamBatch = nullptr;
        m_streamIndex = 0;
    }
    if (!m_streamBatch || m_streamIndex >= m_streamBatch->Rows()) {
        m_streamBatch = m_stream->Next();
        m_streamIndex = 0;
        if (!m_streamBatch) {
            m_stream.reset();
            return false;
        }
    }
    const size_t i = size_t(m_streamIndex++);
    if (m_streamBatch->offsets[i] != m_position) {
        m_stream.reset();
        m_streamBatch = nullptr;
        return false;
    }
    m_lastReadOffset = m_position;
    m_streamBatch->RowAt(int(i), m_sequentialRow);
    m_currentRow = QStringList();
    m_currentRow.reserve(m_sequentialRow.Count());
    for (int column = 0; column < m_sequentialRow.Count(); ++column)
        m_currentRow.append(m_sequentialRow.Text(column));
    m_position = m_lastReadEnd = m_streamNext = m_streamBatch->ends[i];
    return true;
}

QStringList CsvManipulator::RowAt(qint64 offset)
{
    QMutexLocker locker(&m_mutex);
    if (!OwnerAllows())
        return QStringList();
    m_position = offset;
    return ReadRowLocked(m_random);
}

const CsvRawRow *CsvManipulator::ScanNext()
{
    if (!OwnerAllows())
        return nullptr;
    qint64 end = m_position;
    const bool ok = ScanRow(m_sequential, m_position, m_sequentialRow, &end);
    m_position = end;
    return ok ? &m_sequentialRow : nullptr;
}

const CsvRawRow *CsvManipulator::ScanAt(qint64 offset)
{
    QMutexLocker locker(&m_mutex);
    if (!OwnerAllows())
        return nullptr;
    qint64 end = offset;
    const bool ok = ScanRow(m_random, offset, m_randomRow, &end);
    m_position = end;
    return ok ? &m_randomRow : nullptr;
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
            m_writeFailed = true;
        return;
    }
    m_output.append(rows, size);
    if (m_output.size() >= kOutputBlock)
        FlushOutput();
}

void CsvManipulator::FlushOutput()
{
    if (m_output.isEmpty())
        return;
    if (!m_file || m_file->write(m_output) != m_output.size())
        m_writeFailed = true;
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
