#pragma once

#include <cstddef>
#include <vector>

// One field of a scanned CSV row: the bytes between two separators, quotes
// and doubled quotes still in place.
struct CsvField
{
    const char *data = nullptr;
    int size = 0;
    bool quoted = false; // holds at least one quote character
};

// The fields of one scanned row, as a vector of them reads. The scan adds a
// field for every separator of a million rows: std::vector's emplace_back
// stays a call in the scan's long loop (its growing path makes it too large
// to be written in), six registers saved and restored a field. Here adding
// is a comparison and a store; only growing is a call. The room stays from
// row to row, so a feed's rows grow it once.
class CsvFields
{
public:
    using value_type = CsvField;
    using iterator = CsvField *;
    using const_iterator = const CsvField *;

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    void clear() { m_size = 0; }

    CsvField *data() { return m_room.data(); }
    const CsvField *data() const { return m_room.data(); }
    CsvField *begin() { return data(); }
    CsvField *end() { return data() + m_size; }
    const CsvField *begin() const { return data(); }
    const CsvField *end() const { return data() + m_size; }
    CsvField &operator[](size_t i) { return m_room[i]; }
    const CsvField &operator[](size_t i) const { return m_room[i]; }
    CsvField &front() { return m_room[0]; }
    const CsvField &front() const { return m_room[0]; }
    CsvField &back() { return m_room[m_size - 1]; }
    const CsvField &back() const { return m_room[m_size - 1]; }

    // A new last field, its members left as they were: the caller writes them.
    CsvField &emplace_back()
    {
        if (m_size == m_room.size())
            Grow(m_size + 1);
        return m_room[m_size++];
    }
    void push_back(const CsvField &field) { emplace_back() = field; }

    template<typename It>
    void assign(It first, It last)
    {
        const size_t count = size_t(last - first);
        if (count > m_room.size())
            Grow(count);
        m_size = 0;
        for (; first != last; ++first)
            m_room[m_size++] = *first;
    }

private:
    void Grow(size_t atLeast);

    std::vector<CsvField> m_room; // its size is the room
    size_t m_size = 0;
};
