#include "mappedfile.h"

#include <QFile>

bool MappedFile::Map(QFile &file, qint64 size)
{
    Unmap();
    m_data = Platform::MapReadOnly(file, size);
    m_size = m_data ? size : 0;
    return m_data != nullptr;
}

void MappedFile::Unmap()
{
    Platform::Unmap(m_data, m_size);
    m_data = nullptr;
    m_size = 0;
}
