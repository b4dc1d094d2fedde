#pragma once

#include <QString>
#include <QtGlobal>

// A file mapped for reading, and the guard under which its bytes are read.
// A file that shrinks under its mapping raises SIGBUS where the bytes past
// its new end are touched; work run through Guarded() ends there instead,
// with a false result, where it would have ended the program. Any thread
// may read the mapping; only under the guard is it safe to.
class MappedFile final
{
public:
    MappedFile() = default;
    ~MappedFile() { Unmap(); }
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    // Maps size bytes of the open file; false when they cannot be (an empty
    // file, a system without mappings).
    bool Map(int fd, qint64 size);
    // Opens and maps the file.
    bool Map(const QString &path);
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
        return Run([](void *context) { (*static_cast<Work *>(context))(); }, &work);
    }

    // Gives the pages of a stretch back: the file stays mapped, and is read
    // again from the system's cache when it is touched again.
    void Release(qint64 from, qint64 size) const;
    void ReleaseAll() const { Release(0, m_size); }
    // Asks the processor to fetch the bytes at an offset that will be read soon.
    void Prefetch(qint64 offset) const
    {
        if (m_data && offset >= 0 && offset < m_size) {
            for (int line = 0; line < 4; ++line)
                __builtin_prefetch(m_data + offset + 64 * line);
        }
    }

private:
    static bool Run(void (*work)(void *), void *context);

    const char *m_data = nullptr;
    qint64 m_size = 0;
    int m_ownFd = -1; // the descriptor Map(path) opened
};
