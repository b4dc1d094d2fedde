#include "serialnumbered.h"

#include <atomic>

namespace {

std::atomic<quint64> s_nextSerial{1};

} // namespace

SerialNumbered::SerialNumbered() : m_serial(s_nextSerial.fetch_add(1, std::memory_order_relaxed))
{
}
