#pragma once
// Where a playing song's messages go: the built-in synthesizer, a MIDI port,
// or a recorder in tests. A sink is used by one thread at a time (the playing
// thread, or the thread that halted it), never concurrently.
#include <cstdint>
#include <span>
#include <vector>

namespace quillon::player {

class OutputSink {
public:
    virtual ~OutputSink() = default;
    // A channel message: status 0x80..0xEF and its data bytes (data2 unused for 0xC0/0xD0).
    virtual void sendShort(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) = 0;
    // A SysEx message beginning with F0, or the raw bytes of an F7 escape packet.
    virtual void sendSysEx(std::span<const std::uint8_t> bytes) = 0;
};

inline constexpr std::uint8_t kControlChange = 0xB0;
inline constexpr std::uint8_t kControllerSustain = 64;
inline constexpr std::uint8_t kControllerAllNotesOff = 123;

// Releases every note and the sustain pedal on all 16 channels, so nothing keeps sounding.
inline void silenceAllChannels(OutputSink& sink)
{
    for (std::uint8_t channel = 0; channel < 16; ++channel) {
        sink.sendShort(kControlChange | channel, kControllerSustain, 0);
        sink.sendShort(kControlChange | channel, kControllerAllNotesOff, 0);
    }
}

} // namespace quillon::player
