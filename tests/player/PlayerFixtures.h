#pragma once
// Songs for the playback tests: one tick is one millisecond (1000 ticks per
// quarter at one quarter per second), so every delta below reads as ms.
#include "../support/TempFolder.h"
#include "SmfBuilder.h"
#include "player/core/Timeline.h"

namespace quillon::testing {

inline TrackBytes millisecondTrack()
{
    TrackBytes t;
    t.tempo(0, 1000000);
    return t;
}

inline Bytes millisecondSong(TrackBytes track) { return smf(0, 1000, {track}); }

// A song of exactly the given whole seconds with a note on at every whole second.
inline Bytes tickingSong(int seconds)
{
    TrackBytes t = millisecondTrack();
    for (int s = 0; s < seconds; ++s)
        t.event(s == 0 ? 0 : 500, {0x90, 60, 100}).event(500, {0x80, 60, 0});
    t.end(500);
    return millisecondSong(t);
}

inline player::Timeline timelineOf(const Bytes& bytes)
{
    auto timeline = player::loadTimeline(bytes);
    return timeline.ok() ? *timeline : player::Timeline{};
}

} // namespace quillon::testing
