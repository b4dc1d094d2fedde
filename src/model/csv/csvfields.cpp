#include "csvfields.h"

#include <algorithm>

void CsvFields::Grow(size_t atLeast)
{
    m_room.resize(std::max({atLeast, m_room.size() * 2, size_t(32)}));
}
