#pragma once
// Turns a file's ticks into microseconds from the start of the song. With a
// ticks-per-quarter division every Set Tempo event of every track counts (the
// default tempo is 120 beats per minute until the first one); with an SMPTE
// division ticks have a fixed length and tempo events are ignored.
#include "player/core/MidiFile.h"

#include <cstdint>
#include <vector>

namespace quillon::player {

class TempoMap {
public:
    static constexpr std::uint32_t kDefaultMicrosPerQuarter = 500000;

    explicit TempoMap(const MidiFile& file);

    // Microseconds from the song's start to the given tick (rounded to the nearest microsecond).
    std::int64_t microsAt(std::uint64_t tick) const;

private:
    struct Segment {
        std::uint64_t startTick;
        double startMicros;
        std::uint32_t microsPerQuarter;
    };
    Division m_division;
    std::vector<Segment> m_segments; // ascending startTick, first at tick 0
};

} // namespace quillon::player
