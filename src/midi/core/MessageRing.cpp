#include "midi/core/MessageRing.h"

#include <algorithm>
#include <cstring>

namespace quillon::midi {

namespace {
constexpr std::size_t kLengthBytes = sizeof(std::uint32_t);
}

MessageRing::MessageRing(std::size_t capacity) : m_bytes(capacity) {}

void MessageRing::copyIn(std::size_t at, const std::uint8_t* from, std::size_t count)
{
    const std::size_t start = at % m_bytes.size();
    const std::size_t first = std::min(count, m_bytes.size() - start);
    std::memcpy(m_bytes.data() + start, from, first);
    std::memcpy(m_bytes.data(), from + first, count - first);
}

void MessageRing::copyOut(std::size_t at, std::uint8_t* to, std::size_t count) const
{
    const std::size_t start = at % m_bytes.size();
    const std::size_t first = std::min(count, m_bytes.size() - start);
    std::memcpy(to, m_bytes.data() + start, first);
    std::memcpy(to + first, m_bytes.data(), count - first);
}

bool MessageRing::push(std::span<const std::uint8_t> message)
{
    const std::size_t written = m_written.load(std::memory_order_relaxed);
    const std::size_t held = written - m_read.load(std::memory_order_acquire);
    const std::size_t free = m_bytes.size() - held;
    if (message.size() > UINT32_MAX || free < kLengthBytes || free - kLengthBytes < message.size())
        return false;
    const auto length = static_cast<std::uint32_t>(message.size());
    std::uint8_t lengthBytes[kLengthBytes];
    std::memcpy(lengthBytes, &length, kLengthBytes);
    copyIn(written, lengthBytes, kLengthBytes);
    if (!message.empty())
        copyIn(written + kLengthBytes, message.data(), message.size());
    // Published only once whole: the reader never sees a length without its bytes.
    m_written.store(written + kLengthBytes + message.size(), std::memory_order_release);
    return true;
}

bool MessageRing::pop(std::vector<std::uint8_t>& message)
{
    const std::size_t read = m_read.load(std::memory_order_relaxed);
    const std::size_t held = m_written.load(std::memory_order_acquire) - read;
    if (held < kLengthBytes)
        return false;
    std::uint8_t lengthBytes[kLengthBytes];
    copyOut(read, lengthBytes, kLengthBytes);
    std::uint32_t length = 0;
    std::memcpy(&length, lengthBytes, kLengthBytes);
    if (held - kLengthBytes < length)
        return false; // cannot happen with whole pushes; never read past what was written
    message.resize(length);
    if (length != 0)
        copyOut(read + kLengthBytes, message.data(), length);
    m_read.store(read + kLengthBytes + length, std::memory_order_release);
    return true;
}

} // namespace quillon::midi
