#include "player/core/TempoMap.h"

#include <algorithm>

namespace quillon::player {

std::uint32_t TempoMap::tempoOf(std::span<const std::uint8_t> payload)
{
    return (std::uint32_t{payload[0]} << 16) | (std::uint32_t{payload[1]} << 8) | payload[2];
}

namespace {
std::vector<TempoMap::Change> tempoChangesOf(const MidiFile& file)
{
    std::vector<TempoMap::Change> changes;
    for (const Track& track : file.tracks)
        for (const TrackEvent& event : track.events)
            if (event.kind == EventKind::Meta && event.metaType == kMetaTempo && event.payload.size() == 3)
                changes.push_back({event.tick, TempoMap::tempoOf(event.payload)});
    return changes;
}
} // namespace

TempoMap::TempoMap(const MidiFile& file) : TempoMap(file.division, tempoChangesOf(file)) {}

TempoMap::TempoMap(const Division& division, std::vector<Change> changes) : m_division(division)
{
    if (m_division.kind != Division::Kind::TicksPerQuarter)
        return;
    // A zero tempo cannot be played; it is left out.
    std::erase_if(changes, [](const Change& change) { return change.tempo == 0; });
    // Stable: of two changes at one tick, the later track (or later event) wins.
    std::stable_sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) { return a.tick < b.tick; });

    const double ppq = m_division.ticksPerQuarter;
    m_segments.push_back({0, 0.0, kDefaultMicrosPerQuarter, kDefaultMicrosPerQuarter / ppq});
    for (const Change& change : changes) {
        Segment& last = m_segments.back();
        if (change.tick == last.startTick) {
            last.microsPerQuarter = change.tempo;
            last.microsPerTick = change.tempo / ppq;
            continue;
        }
        const double start = last.startMicros + static_cast<double>(change.tick - last.startTick) * last.microsPerTick;
        m_segments.push_back({change.tick, start, change.tempo, change.tempo / ppq});
    }
}

std::int64_t TempoMap::microsAt(std::uint64_t tick) const
{
    if (m_division.kind == Division::Kind::Smpte) {
        // 29 stands for 29.97 frames per second (drop frame).
        const double framesPerSecond = m_division.framesPerSecond == 29 ? 29.97 : m_division.framesPerSecond;
        return roundedMicros(static_cast<double>(tick) * 1e6 / (framesPerSecond * m_division.ticksPerFrame));
    }
    auto after = std::upper_bound(m_segments.begin(), m_segments.end(), tick,
                                  [](std::uint64_t t, const Segment& s) { return t < s.startTick; });
    const Segment& segment = *(after - 1);
    return roundedMicros(segment.startMicros + static_cast<double>(tick - segment.startTick) * segment.microsPerTick);
}

TempoWalk::TempoWalk(const Division& division) : m_division(division)
{
    if (division.kind == Division::Kind::TicksPerQuarter)
        m_microsPerTick = m_microsPerQuarter / static_cast<double>(division.ticksPerQuarter);
    if (division.kind == Division::Kind::Smpte) {
        // 29 stands for 29.97 frames per second (drop frame).
        const double framesPerSecond = division.framesPerSecond == 29 ? 29.97 : division.framesPerSecond;
        m_ticksPerSecond = framesPerSecond * division.ticksPerFrame;
    }
}

void TempoWalk::change(std::uint64_t tick, std::uint32_t tempo)
{
    if (tempo == 0 || m_division.kind != Division::Kind::TicksPerQuarter)
        return;
    if (tick != m_startTick) {
        // The very arithmetic of TempoMap's segments, so both give the same microseconds.
        m_startMicros += static_cast<double>(tick - m_startTick) * m_microsPerTick;
        m_startTick = tick;
    }
    m_microsPerQuarter = tempo;
    m_microsPerTick = tempo / static_cast<double>(m_division.ticksPerQuarter);
}

} // namespace quillon::player
