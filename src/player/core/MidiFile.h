#pragma once
// A Standard MIDI File read into memory: header, division and every track's
// events with their absolute tick. Formats 0 and 1 only. The reader never
// reads past the end of the bytes it is given; malformed input yields a reason.
#include "base/core/Result.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillon::player {

// How ticks relate to time: ticks per quarter note (tempo-dependent) or
// SMPTE frames per second times ticks per frame (tempo-independent).
struct Division {
    enum class Kind { TicksPerQuarter, Smpte };
    Kind kind = Kind::TicksPerQuarter;
    std::uint16_t ticksPerQuarter = 0; // TicksPerQuarter
    int framesPerSecond = 0;           // Smpte: 24, 25, 29 (meaning 29.97 drop frame) or 30
    int ticksPerFrame = 0;             // Smpte
};

enum class EventKind : std::uint8_t { Channel, SysEx, Meta };

struct TrackEvent {
    std::uint64_t tick = 0; // absolute, from the start of its track
    EventKind kind = EventKind::Channel;
    std::uint8_t status = 0;           // Channel: status byte (running status resolved); SysEx: F0 or F7; Meta: FF
    std::uint8_t metaType = 0;         // Meta only
    std::uint8_t data1 = 0;            // Channel only
    std::uint8_t data2 = 0;            // Channel only, 0 for one-data-byte messages
    std::vector<std::uint8_t> payload; // SysEx and Meta: the bytes after the length
};

struct Track {
    std::vector<TrackEvent> events;
    std::uint64_t endTick = 0; // tick of End of Track, or of the last event when it is missing
};

struct MidiFile {
    int format = 0;
    Division division;
    std::vector<Track> tracks;
};

inline constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
inline constexpr std::uint8_t kMetaTempo = 0x51;

// Number of data bytes that follow a channel status byte (0x80..0xEF).
inline int channelDataLength(std::uint8_t status)
{
    const int kind = status & 0xF0;
    return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
}

Result<MidiFile> readMidiFile(std::span<const std::uint8_t> bytes);

// The header and where each track's bytes lie, without reading any event:
// what every reader starts from. The spans point into the given bytes.
struct SmfLayout {
    int format = 0;
    Division division;
    std::vector<std::span<const std::uint8_t>> tracks;
    // Set when the chunks end badly after `tracks` (a missing or cut-off
    // track): readers report it once the tracks before it have been read.
    std::string chunkError;
};
Result<SmfLayout> readSmfLayout(std::span<const std::uint8_t> bytes);

// One event as it stands in the file; the payload points into the track's bytes.
struct RawEvent {
    std::uint64_t tick = 0;
    EventKind kind = EventKind::Channel;
    std::uint8_t status = 0;
    std::uint8_t metaType = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
    std::span<const std::uint8_t> payload;
};

// Walks one track's events in file order without allocating, checking each
// as readMidiFile does (it is the reader's own walk). next() answers false at
// the end of the track (End of Track included) and on malformed data, after
// which failed() and reason() tell why.
class TrackScanner {
public:
    TrackScanner(std::span<const std::uint8_t> body, int trackIndex) : m_body(body), m_track(trackIndex) {}

    bool next(RawEvent& event)
    {
        std::uint8_t status, data1, data2;
        if (!takeChannelMessage(status, data1, data2))
            return nextInFull(event);
        // Whole, so that the small fields go out in one store rather than byte by byte.
        event = RawEvent{m_tick, EventKind::Channel, status, 0, data1, data2, {}};
        return true;
    }
    // As next(), passing over channel messages (still checked as next() does):
    // for a reader that only wants what the meta and SysEx events say.
    bool nextNotChannel(RawEvent& event)
    {
        for (;;) {
            std::uint8_t status, data1, data2;
            while (takeChannelMessage(status, data1, data2)) {
            }
            if (!nextInFull(event))
                return false;
            if (event.kind != EventKind::Channel)
                return true;
        }
    }
    // The next event, taken as next() takes it, when it is a channel message
    // after a short delta time (nearly every event); otherwise false, and
    // nothing is taken.
    bool nextChannel(std::uint64_t& tick, std::uint8_t& status, std::uint8_t& data1, std::uint8_t& data2)
    {
        if (!takeChannelMessage(status, data1, data2))
            return false;
        tick = m_tick;
        return true;
    }
    bool failed() const { return !m_reason.empty(); }
    const std::string& reason() const { return m_reason; }
    // Tick of End of Track, or of the last event when it is missing; final once next() answered false.
    std::uint64_t endTick() const { return m_tick; }

private:
    // Nearly every event is a channel message after a delta time of one or
    // two bytes: those are read here, in line, and anything else (or anything
    // doubtful) is left to nextInFull(), which starts over from the same byte.
    bool takeChannelMessage(std::uint8_t& status, std::uint8_t& data1, std::uint8_t& data2)
    {
        if (m_ended || m_body.size() - m_offset < 5)
            return false;
        const std::uint8_t* at = m_body.data() + m_offset;
        std::uint32_t delta = at[0];
        if (delta >= 0x80) {
            if (at[1] >= 0x80)
                return false;
            delta = (delta & 0x7Fu) << 7 | at[1];
            ++at;
        }
        status = at[1];
        const std::uint8_t* data = at + 2;
        if (status < 0x80) {
            status = m_running; // running status: the byte is the first data byte
            data = at + 1;
        }
        if (status < 0x80 || status >= 0xF0)
            return false;
        const bool twoBytes = channelDataLength(status) == 2;
        data1 = data[0];
        data2 = twoBytes ? data[1] : 0;
        if ((data1 | data2) >= 0x80)
            return false;
        m_offset = static_cast<std::size_t>(data + (twoBytes ? 2 : 1) - m_body.data());
        m_tick += delta;
        m_running = status;
        return true;
    }
    bool nextInFull(RawEvent& event);
    bool fail(std::string reason);

    std::span<const std::uint8_t> m_body;
    int m_track;
    std::size_t m_offset = 0;
    std::uint64_t m_tick = 0;
    std::uint8_t m_running = 0;
    bool m_ended = false;
    std::string m_reason;
};

} // namespace quillon::player
