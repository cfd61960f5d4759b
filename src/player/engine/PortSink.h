#pragma once
// Sends a playing song to a MIDI output port (a hardware synthesizer, or the
// keyboard itself) through an open connection of the MIDI system.
#include "midi/io/MidiSystem.h"
#include "player/engine/OutputSink.h"

#include <atomic>
#include <memory>

namespace quillon::player {

class PortSink final : public OutputSink {
public:
    // `closer`, when given, closes the connection when the sink goes, on a thread of its own.
    explicit PortSink(std::unique_ptr<midi::OutputConnection> connection, midi::MidiSystem* closer = nullptr);
    ~PortSink() override;
    PortSink(const PortSink&) = delete;
    PortSink& operator=(const PortSink&) = delete;

    void sendShort(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) override;
    void sendSysEx(std::span<const std::uint8_t> bytes) override;

    // Messages the port refused since the sink was made (the song plays on regardless).
    int failures() const { return m_failures.load(); }

private:
    void count(midi::SendResult result);

    std::unique_ptr<midi::OutputConnection> m_connection;
    midi::MidiSystem* m_closer;
    std::atomic<int> m_failures{0};
};

} // namespace quillon::player
