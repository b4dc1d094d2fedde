#pragma once

#include <QtGlobal>

#include "platform.h"

class QFile;

// A file mapped for reading, and the guard under which its bytes are read.
// A file that shrinks under its mapping would end the program where the
// bytes past its new end are touched; work run through Guarded() ends there
// instead, with a false result. Any thread may read the mapping; only under
// the guard is it safe to. Builds that read without mappings (Windows) map
// nothing, and their readers take the path of plain reads.
class MappedFile final
{
public:
    MappedFile() = default;
    ~MappedFile() { Unmap(); }
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    // Maps size bytes of the open file; false when they cannot be (an empty
    // file, a build without mappings). The file stays open while mapped.
    bool Map(QFile &file, qint64 size);
    void Unmap();

    const char *Data() const { return m_data; }
    qint64 Size() const { return m_size; }
    bool IsMapped() const { return m_data != nullptr; }

    // Runs the work under the guard; false when the file shrank under it and
    // the work was cut short where it touched the missing bytes. The work
    // must leave what it changes consistent at every read of the mapping.
    template<typename Work>
    static bool Guarded(Work &&work)
    {
        return Platform::RunGuarded([](void *context) { (*static_cast<Work *>(context))(); }, &work);
    }

    // Gives the pages of a stretch back: the file stays mapped, and is read
    // again from the system's cache when it is touched again.
    void Release(qint64 from, qint64 size) const { Platform::ReleasePages(m_data, m_size, from, size); }
    void ReleaseAll() const { Release(0, m_size); }
    // One of two halves of the mapping, split on a 2 MB line, so that two
    // threads may give the whole back at once with no page left between.
    void ReleaseHalf(int half) const
    {
        const qint64 middle = m_size / 2 / (qint64(2) << 20) * (qint64(2) << 20);
        if (half == 0)
            Release(0, middle);
        else
            Release(middle, m_size - middle);
    }
    // Asks the processor to fetch the bytes at an offset that will be read soon.
    void Prefetch(qint64 offset) const
    {
        if (m_data && offset >= 0 && offset < m_size) {
            for (int line = 0; line < 4; ++line)
                __builtin_prefetch(m_data + offset + 64 * line);
        }
    }

private:
    const char *m_data = nullptr;
    qint64 m_size = 0;
};
