#pragma once

#include <iterator>
#include <memory>
#include <utility>
#include <vector>

// A list whose items keep their addresses for as long as they are in it,
// whatever is appended or removed around them: goods point at their source
// and offer, the offer index at its offers. Each item lives in an allocation
// of its own; the list holds the owning pointers in order.
template<typename T>
class StableList
{
    using Slots = std::vector<std::unique_ptr<T>>;

public:
    template<typename Item, typename Base>
    class Iterator
    {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Item;
        using difference_type = std::ptrdiff_t;
        using pointer = Item *;
        using reference = Item &;

        explicit Iterator(Base at) : m_at(at) {}
        Item &operator*() const { return **m_at; }
        Item *operator->() const { return m_at->get(); }
        Iterator &operator++()
        {
            ++m_at;
            return *this;
        }
        bool operator==(const Iterator &other) const { return m_at == other.m_at; }
        bool operator!=(const Iterator &other) const { return m_at != other.m_at; }

    private:
        Base m_at;
    };
    using iterator = Iterator<T, typename Slots::iterator>;
    using const_iterator = Iterator<const T, typename Slots::const_iterator>;

    int size() const { return int(m_items.size()); }
    bool isEmpty() const { return m_items.empty(); }
    T &operator[](int i) { return *m_items[size_t(i)]; }
    const T &operator[](int i) const { return *m_items[size_t(i)]; }
    const T &at(int i) const { return *m_items[size_t(i)]; }
    T &first() { return *m_items.front(); }
    const T &first() const { return *m_items.front(); }
    T &last() { return *m_items.back(); }
    const T &last() const { return *m_items.back(); }

    // The address of the appended item, valid until that item is removed.
    T *append(T item)
    {
        m_items.push_back(std::make_unique<T>(std::move(item)));
        return m_items.back().get();
    }
    // The position of the item at this address, or -1.
    int indexOf(const T *item) const
    {
        for (size_t i = 0; i < m_items.size(); ++i) {
            if (m_items[i].get() == item)
                return int(i);
        }
        return -1;
    }
    void removeAt(int i) { m_items.erase(m_items.begin() + i); }
    // Takes the item out of the list; it keeps its address.
    std::unique_ptr<T> take(int i)
    {
        std::unique_ptr<T> item = std::move(m_items[size_t(i)]);
        m_items.erase(m_items.begin() + i);
        return item;
    }
    void clear() { m_items.clear(); }

    iterator begin() { return iterator(m_items.begin()); }
    iterator end() { return iterator(m_items.end()); }
    const_iterator begin() const { return const_iterator(m_items.cbegin()); }
    const_iterator end() const { return const_iterator(m_items.cend()); }

private:
    Slots m_items;
};
