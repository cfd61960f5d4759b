#pragma once
// Some MIDI servers hand a long SysEx message over in pieces: an event that
// starts with F0 and lacks the F7, then events of data bytes, the last of
// them ending in F7; real-time bytes (F8..FF) may come between the pieces or
// inside them. The joiner puts such pieces back into whole messages and
// passes every other event on as it came.
//
// Made for a real-time thread: the buffer is allocated once, up front, and a
// message longer than it is dropped whole (counted), never grown into. A
// message that arrives whole is handed on without being copied.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quillon::midi {

class SysExJoiner {
public:
    // Messages up to `maxBytes` long (F0 and F7 included) come out whole.
    explicit SysExJoiner(std::size_t maxBytes) : m_buffer(maxBytes) {}

    // Takes one event as the server delivered it and calls whole(span) for each
    // message it completes, in order (a real-time byte inside a piece comes
    // out before the SysEx around it).
    template <typename Whole>
    void feed(std::span<const std::uint8_t> event, Whole&& whole);

    // SysEx messages lost: cut off by another message before their F7, longer
    // than the buffer, or pieces whose start never came.
    std::uint64_t broken() const { return m_broken; }

private:
    static constexpr std::uint8_t kStart = 0xF0;
    static constexpr std::uint8_t kEnd = 0xF7;
    static constexpr std::uint8_t kFirstRealTime = 0xF8;

    std::vector<std::uint8_t> m_buffer;
    std::size_t m_length = 0;
    bool m_joining = false;
    bool m_tooLong = false;
    std::uint64_t m_broken = 0;
};

template <typename Whole>
void SysExJoiner::feed(std::span<const std::uint8_t> event, Whole&& whole)
{
    while (!event.empty()) {
        const std::uint8_t first = event.front();
        if (m_joining && first >= 0x80 && first < kFirstRealTime && first != kEnd) {
            // A new message begins (the data blocks' 8-bit command byte comes
            // only in a SysEx that arrives whole): the one being joined is cut off.
            m_joining = false;
            ++m_broken;
        }
        if (!m_joining) {
            if (first != kStart || event.back() == kEnd) {
                if (first < 0x80 || first == kEnd)
                    ++m_broken; // a piece whose start never came
                else
                    whole(event); // whole as it came: a short message, or a SysEx in one piece
                return;
            }
            m_joining = true;
            m_tooLong = false;
            m_length = 0;
        }
        std::size_t used = 0;
        while (used < event.size()) {
            const std::uint8_t byte = event[used++];
            if (byte >= kFirstRealTime) {
                whole(event.subspan(used - 1, 1));
                continue;
            }
            if (m_length < m_buffer.size())
                m_buffer[m_length++] = byte;
            else
                m_tooLong = true;
            if (byte == kEnd) {
                m_joining = false;
                if (m_tooLong)
                    ++m_broken;
                else
                    whole(std::span<const std::uint8_t>(m_buffer.data(), m_length));
                break;
            }
        }
        event = event.subspan(used); // whatever followed the F7 is an event of its own
    }
}

} // namespace quillon::midi
