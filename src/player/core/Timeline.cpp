#include "player/core/Timeline.h"

#include "player/core/TempoMap.h"

#include <algorithm>
#include <functional>
#include <queue>

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

    // The tracks are each in tick order already: merge them, the earlier track first on equal ticks.
    struct Head {
        std::uint64_t tick;
        std::size_t track;
        std::size_t index;
        bool operator>(const Head& other) const
        {
            return tick != other.tick ? tick > other.tick : track > other.track;
        }
    };
    std::priority_queue<Head, std::vector<Head>, std::greater<>> heads;
    std::size_t count = 0;
    std::uint64_t endTick = 0;
    auto pushNext = [&](std::size_t track, std::size_t index) {
        const auto& events = file.tracks[track].events;
        while (index < events.size() && events[index].kind == EventKind::Meta)
            ++index;
        if (index < events.size())
            heads.push({events[index].tick, track, index});
    };
    for (std::size_t t = 0; t < file.tracks.size(); ++t) {
        endTick = std::max(endTick, file.tracks[t].endTick);
        count += file.tracks[t].events.size();
        pushNext(t, 0);
    }
    std::vector<const TrackEvent*> pending;
    pending.reserve(count);
    while (!heads.empty()) {
        const Head head = heads.top();
        heads.pop();
        pending.push_back(&file.tracks[head.track].events[head.index]);
        pushNext(head.track, head.index + 1);
    }

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
