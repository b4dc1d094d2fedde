#pragma once

#include <QtGlobal>

// An object with a number of its own that no other object of the program
// ever had, not even one destroyed before it at the same address: a record
// that keeps an object's address beside its number can tell the object from
// a newcomer in its place without ever dereferencing the address. Numbers
// are taken from any thread.
class SerialNumbered
{
public:
    quint64 Serial() const { return m_serial; }

protected:
    SerialNumbered();
    ~SerialNumbered() = default;
    SerialNumbered(const SerialNumbered &) = delete;
    SerialNumbered &operator=(const SerialNumbered &) = delete;

private:
    const quint64 m_serial;
};
