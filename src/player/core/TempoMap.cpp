#include "player/core/TempoMap.h"

#include <algorithm>
#include <cmath>

namespace quillon::player {

namespace {
// Far beyond any song, small enough to stay exact in a double and in int64.
constexpr double kLatestMicros = 1e15;

std::int64_t toMicros(double micros)
{
    return static_cast<std::int64_t>(std::llround(std::min(micros, kLatestMicros)));
}
} // namespace

TempoMap::TempoMap(const MidiFile& file) : m_division(file.division)
{
    if (m_division.kind != Division::Kind::TicksPerQuarter)
        return;

    struct Change {
        std::uint64_t tick;
        std::uint32_t tempo;
    };
    std::vector<Change> changes;
    for (const Track& track : file.tracks)
        for (const TrackEvent& event : track.events)
            if (event.kind == EventKind::Meta && event.metaType == kMetaTempo && event.payload.size() == 3) {
                const std::uint32_t tempo =
                    (std::uint32_t{event.payload[0]} << 16) | (std::uint32_t{event.payload[1]} << 8) | event.payload[2];
                if (tempo > 0)
                    changes.push_back({event.tick, tempo});
            }
    // Stable: of two changes at one tick, the later track (or later event) wins.
    std::stable_sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) { return a.tick < b.tick; });

    const double ppq = m_division.ticksPerQuarter;
    m_segments.push_back({0, 0.0, kDefaultMicrosPerQuarter});
    for (const Change& change : changes) {
        Segment& last = m_segments.back();
        if (change.tick == last.startTick) {
            last.microsPerQuarter = change.tempo;
            continue;
        }
        const double start =
            last.startMicros + static_cast<double>(change.tick - last.startTick) * last.microsPerQuarter / ppq;
        m_segments.push_back({change.tick, start, change.tempo});
    }
}

std::int64_t TempoMap::microsAt(std::uint64_t tick) const
{
    if (m_division.kind == Division::Kind::Smpte) {
        // 29 stands for 29.97 frames per second (drop frame).
        const double framesPerSecond = m_division.framesPerSecond == 29 ? 29.97 : m_division.framesPerSecond;
        return toMicros(static_cast<double>(tick) * 1e6 / (framesPerSecond * m_division.ticksPerFrame));
    }
    auto after = std::upper_bound(m_segments.begin(), m_segments.end(), tick,
                                  [](std::uint64_t t, const Segment& s) { return t < s.startTick; });
    const Segment& segment = *(after - 1);
    return toMicros(segment.startMicros + static_cast<double>(tick - segment.startTick) * segment.microsPerQuarter /
                                              m_division.ticksPerQuarter);
}

} // namespace quillon::player
