#pragma once
// Every playable event of a MIDI file in one list, ordered by time, with its
// time in microseconds from the song's start. Meta events are not played;
// the song's length runs to the last End of Track.
#include "base/core/Result.h"
#include "player/core/MidiFile.h"

#include <cstdint>
#include <span>
#include <vector>

namespace quillon::player {

struct PlayEvent {
    std::int64_t micros = 0;
    std::uint8_t status = 0; // channel status, or F0/F7 for a SysEx message
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
    std::uint32_t sysex = 0; // index into Timeline::sysex when status is F0 or F7

    bool isSysEx() const { return status == 0xF0 || status == 0xF7; }
};

struct Timeline {
    std::vector<PlayEvent> events; // ascending micros; equal times keep track order, then file order
    // Bytes to send as they stand: F0 events carry their leading F0, F7 (escape) events only their data.
    std::vector<std::vector<std::uint8_t>> sysex;
    std::int64_t lengthMicros = 0;

    std::int64_t lengthMs() const { return lengthMicros / 1000; }
    // Index of the first event at or after the given time.
    std::size_t firstAtOrAfter(std::int64_t micros) const;
};

Timeline buildTimeline(const MidiFile& file);

// Reads and merges in one step.
Result<Timeline> loadTimeline(std::span<const std::uint8_t> bytes);
// The same into a timeline whose storage is reused: a player that opens one
// song after another keeps the memory it has touched, which costs less than
// fresh pages. On failure the timeline is left empty.
Status loadTimelineInto(std::span<const std::uint8_t> bytes, Timeline& timeline);

} // namespace quillon::player
