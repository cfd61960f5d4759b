#pragma once
// Songs for the player tests and ways to compare what is read from them. In the
// millisecond songs one tick is one millisecond (1000 ticks per quarter at one
// quarter per second), so every delta reads as ms.
#include "../support/TempFolder.h"
#include "SmfBuilder.h"
#include "player/core/MidiFile.h"
#include "player/core/Timeline.h"

#include <cstdio>
#include <random>
#include <string>
#include <tuple>

namespace quillon::testing {

inline TrackBytes millisecondTrack() { return TrackBytes().tempo(0, 1000000); }

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

// Each event as "tick:status data1 data2", or "tick:FF type +length" for a meta event.
inline std::vector<std::string> shown(const player::Track& track)
{
    std::vector<std::string> out;
    char text[48];
    for (const player::TrackEvent& e : track.events) {
        const auto tick = static_cast<unsigned long long>(e.tick);
        if (e.kind == player::EventKind::Meta)
            std::snprintf(text, sizeof text, "%llu:FF %02X +%zu", tick, e.metaType, e.payload.size());
        else
            std::snprintf(text, sizeof text, "%llu:%02X %d %d", tick, e.status, e.data1, e.data2);
        out.emplace_back(text);
    }
    return out;
}

// A format 1 song of 2 to 6 tracks: tempo changes in any track, programs, SysEx and
// notes, some in running status. A small maxDelta puts many tracks' events on one tick.
inline Bytes randomSong(std::mt19937& random, int maxDelta)
{
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const int trackCount = pick(2, 6);
    Bytes bytes = header(1, trackCount, static_cast<std::uint16_t>(pick(24, 960)));
    for (int t = 0; t < trackCount; ++t) {
        TrackBytes track;
        bool afterNote = false; // running status only straight after a note, never after SysEx or meta
        for (int e = pick(0, 60); e > 0; --e) {
            const auto delta = static_cast<std::uint32_t>(pick(0, 3) == 0 ? 0 : pick(1, maxDelta));
            const int kind = pick(0, 5);
            if (kind == 0)
                track.tempo(delta, static_cast<std::uint32_t>(pick(200000, 1500000)));
            else if (kind == 1)
                track.event(delta, {0xC0 | pick(0, 15), pick(0, 127)});
            else if (kind == 2)
                track.event(delta, {0xF0, 2, pick(0, 127), 0xF7});
            else if (kind == 3 && afterNote)
                track.event(delta, {pick(0, 127), pick(0, 127)});
            else
                track.event(delta, {0x90 | pick(0, 15), pick(0, 127), pick(0, 127)});
            afterNote = kind >= 3;
        }
        track.end(static_cast<std::uint32_t>(pick(0, 500)));
        append(bytes, track.chunk());
    }
    return bytes;
}

// Where two timelines would play differently (events, their order and times, SysEx
// bytes, length); empty when they play the same.
inline std::string playDifference(const player::Timeline& a, const player::Timeline& b)
{
    if (a.events.size() != b.events.size())
        return "event counts " + std::to_string(a.events.size()) + " and " + std::to_string(b.events.size());
    for (std::size_t i = 0; i < a.events.size(); ++i) {
        const player::PlayEvent& x = a.events[i];
        const player::PlayEvent& y = b.events[i];
        if (std::tie(x.micros, x.status, x.data1, x.data2) != std::tie(y.micros, y.status, y.data1, y.data2) ||
            (x.isSysEx() && a.sysex[x.sysex] != b.sysex[y.sysex]))
            return "event " + std::to_string(i) + " at " + std::to_string(x.micros) + " us";
    }
    return a.lengthMicros == b.lengthMicros ? std::string() : "lengths";
}

} // namespace quillon::testing
