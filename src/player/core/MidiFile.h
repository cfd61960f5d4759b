#pragma once
// A Standard MIDI File read into memory: header, division and every track's
// events with their absolute tick. Formats 0 and 1 only. The reader never
// reads past the end of the bytes it is given; malformed input yields a reason.
#include "base/core/Result.h"

#include <cstdint>
#include <span>
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
int channelDataLength(std::uint8_t status);

Result<MidiFile> readMidiFile(std::span<const std::uint8_t> bytes);

} // namespace quillon::player
