#include "player/core/TrackMerge.h"

#include <functional>
#include <queue>

namespace quillon::player {

std::vector<const TrackEvent*> mergeTracks(std::span<const Track> tracks, bool (*leaveOut)(const TrackEvent&))
{
    // A k-way merge over the tracks' next events.
    struct Head {
        std::uint64_t tick;
        std::size_t track;
        std::size_t index;
        bool operator>(const Head& other) const { return tick != other.tick ? tick > other.tick : track > other.track; }
    };
    std::priority_queue<Head, std::vector<Head>, std::greater<>> heads;
    auto pushNext = [&](std::size_t track, std::size_t index) {
        const auto& events = tracks[track].events;
        while (index < events.size() && leaveOut(events[index]))
            ++index;
        if (index < events.size())
            heads.push({events[index].tick, track, index});
    };

    std::size_t count = 0;
    for (std::size_t t = 0; t < tracks.size(); ++t) {
        count += tracks[t].events.size();
        pushNext(t, 0);
    }
    std::vector<const TrackEvent*> merged;
    merged.reserve(count);
    while (!heads.empty()) {
        const Head head = heads.top();
        heads.pop();
        merged.push_back(&tracks[head.track].events[head.index]);
        pushNext(head.track, head.index + 1);
    }
    return merged;
}

} // namespace quillon::player
