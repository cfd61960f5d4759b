#pragma once
// Turns a file's ticks into microseconds from the start of the song. With a
// ticks-per-quarter division every Set Tempo event of every track counts (the
// default tempo is 120 beats per minute until the first one); with an SMPTE
// division ticks have a fixed length and tempo events are ignored.
#include "player/core/MidiFile.h"

#include <cstdint>
#include <span>
#include <vector>

namespace quillon::player {

// Rounded to the nearest microsecond, halves away from zero (times are never
// negative), and held far beyond any song, where a double and int64 stay exact.
inline std::int64_t roundedMicros(double micros)
{
    constexpr double kLatestMicros = 1e15;
    // Adding a half and truncating rounds as llround does for times, which
    // are never negative, without a library call per event.
    const double held = micros < kLatestMicros ? micros : kLatestMicros;
    return static_cast<std::int64_t>(held + 0.5); // NOLINT(bugprone-incorrect-roundings)
}

class TempoMap {
public:
    static constexpr std::uint32_t kDefaultMicrosPerQuarter = 500000;

    // A Set Tempo event: at this tick, this many microseconds per quarter note.
    struct Change {
        std::uint64_t tick;
        std::uint32_t tempo;
    };
    // The tempo of a Set Tempo event's three data bytes.
    static std::uint32_t tempoOf(std::span<const std::uint8_t> payload);

    explicit TempoMap(const MidiFile& file);
    // From the changes of every track in track order, then file order.
    TempoMap(const Division& division, std::vector<Change> changes);

    // Microseconds from the song's start to the given tick (rounded to the nearest microsecond).
    // Every segment's length of a tick is worked out once, and TempoWalk does the same, so both agree to the
    // microsecond.
    std::int64_t microsAt(std::uint64_t tick) const;

private:
    struct Segment {
        std::uint64_t startTick;
        double startMicros;
        std::uint32_t microsPerQuarter;
        double microsPerTick;
    };
    Division m_division;
    std::vector<Segment> m_segments; // ascending startTick, first at tick 0
};

// The same conversion for ticks that only ever grow, while the tempo changes
// arrive in tick order (as a merge of the tracks meets them): no list of
// changes, no search. Of two changes at one tick the later one wins, as above.
class TempoWalk {
public:
    explicit TempoWalk(const Division& division);

    // A Set Tempo event at a tick no earlier than any tick seen before; a zero tempo is ignored.
    void change(std::uint64_t tick, std::uint32_t tempo);
    // Microseconds at a tick no earlier than the last change's. Inline: it runs once per event.
    std::int64_t microsAt(std::uint64_t tick) const
    {
        const double micros = m_division.kind == Division::Kind::Smpte
                                  ? static_cast<double>(tick) * 1e6 / m_ticksPerSecond
                                  : m_startMicros + static_cast<double>(tick - m_startTick) * m_microsPerTick;
        return roundedMicros(micros);
    }

private:
    Division m_division;
    double m_ticksPerSecond = 0.0; // SMPTE only
    std::uint64_t m_startTick = 0; // the present tempo's segment ...
    double m_startMicros = 0.0;
    std::uint32_t m_microsPerQuarter = TempoMap::kDefaultMicrosPerQuarter;
    double m_microsPerTick = 0.0;
};

} // namespace quillon::player
