#include "player/core/Timeline.h"

#include "player/core/TempoMap.h"
#include "player/core/TrackMerge.h"

#include <algorithm>

namespace quillon::player {

std::size_t Timeline::firstAtOrAfter(std::int64_t micros) const
{
    auto it = std::lower_bound(events.begin(), events.end(), micros,
                               [](const PlayEvent& e, std::int64_t t) { return e.micros < t; });
    return static_cast<std::size_t>(it - events.begin());
}

Timeline buildTimeline(const MidiFile& file)
{
    const TempoMap tempo(file);

    std::uint64_t endTick = 0;
    for (const Track& track : file.tracks)
        endTick = std::max(endTick, track.endTick);
    // Meta events are not played.
    const auto pending = mergeTracks(file.tracks, [](const TrackEvent& e) { return e.kind == EventKind::Meta; });

    Timeline timeline;
    timeline.events.reserve(pending.size());
    for (const TrackEvent* p : pending) {
        const TrackEvent& e = *p;
        PlayEvent out;
        out.micros = tempo.microsAt(e.tick);
        out.status = e.status;
        if (e.kind == EventKind::SysEx) {
            out.sysex = static_cast<std::uint32_t>(timeline.sysex.size());
            std::vector<std::uint8_t> bytes;
            bytes.reserve(e.payload.size() + 1);
            if (e.status == 0xF0)
                bytes.push_back(0xF0);
            bytes.insert(bytes.end(), e.payload.begin(), e.payload.end());
            timeline.sysex.push_back(std::move(bytes));
        } else {
            out.data1 = e.data1;
            out.data2 = e.data2;
        }
        timeline.events.push_back(out);
    }
    timeline.lengthMicros = tempo.microsAt(endTick);
    return timeline;
}

Result<Timeline> loadTimeline(std::span<const std::uint8_t> bytes)
{
    auto file = readMidiFile(bytes);
    if (!file)
        return fail(file.reason());
    return buildTimeline(*file);
}

} // namespace quillon::player
