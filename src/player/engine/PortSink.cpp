#include "player/engine/PortSink.h"

#include "player/core/MidiFile.h"

namespace quillon::player {

PortSink::PortSink(std::unique_ptr<midi::OutputConnection> connection, midi::MidiSystem* closer)
    : m_connection(std::move(connection)), m_closer(closer)
{
}

PortSink::~PortSink()
{
    if (m_closer)
        m_closer->closeLater(std::move(m_connection));
}

void PortSink::sendShort(std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
{
    const std::uint8_t message[3] = {status, data1, data2};
    const std::size_t length = 1 + static_cast<std::size_t>(channelDataLength(status));
    count(m_connection->send(std::span<const std::uint8_t>(message, length)));
}

void PortSink::sendSysEx(std::span<const std::uint8_t> bytes)
{
    // A port takes only complete messages; escape packets (F7) carry no F0 and are left out.
    if (bytes.empty() || bytes.front() != 0xF0)
        return;
    count(m_connection->send(bytes));
}

void PortSink::count(midi::SendResult result)
{
    if (result != midi::SendResult::Sent)
        ++m_failures;
}

} // namespace quillon::player
