#include "player/engine/RecordingSink.h"

#include "player/core/MidiFile.h"

namespace quillon::player {

void RecordingSink::sendShort(std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
{
    const Micros at = m_clock.now();
    std::vector<std::uint8_t> bytes{status, data1};
    if (channelDataLength(status) == 2)
        bytes.push_back(data2);
    std::lock_guard lock(m_mutex);
    m_messages.push_back({at, std::move(bytes)});
}

void RecordingSink::sendSysEx(std::span<const std::uint8_t> bytes)
{
    const Micros at = m_clock.now();
    std::lock_guard lock(m_mutex);
    m_messages.push_back({at, {bytes.begin(), bytes.end()}});
}

std::vector<RecordedMessage> RecordingSink::messages() const
{
    std::lock_guard lock(m_mutex);
    return m_messages;
}

std::vector<RecordedMessage> RecordingSink::take()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_messages, {});
}

void RecordingSink::reserve(std::size_t count)
{
    std::lock_guard lock(m_mutex);
    m_messages.reserve(count);
}

} // namespace quillon::player
