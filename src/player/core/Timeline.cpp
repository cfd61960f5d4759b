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

namespace {

// One track's next event during the merge.
struct Head {
    TrackScanner scanner;
    RawEvent event;
    bool live = false;
    void advance() { live = scanner.next(event); }
};

} // namespace

// The reader's walk straight into the timeline, with nothing kept per event
// but the timeline's own entry: every track is scanned once, the tracks are
// merged as they are scanned (by tick, then track), and ticks become
// microseconds on the way, the tempo changes being met in tick order too.
Result<Timeline> loadTimeline(std::span<const std::uint8_t> bytes)
{
    auto layout = readSmfLayout(bytes);
    if (!layout)
        return fail(layout.reason());

    std::vector<Head> heads;
    heads.reserve(layout->tracks.size());
    std::size_t room = 0;
    for (std::size_t t = 0; t < layout->tracks.size(); ++t) {
        heads.push_back({TrackScanner(layout->tracks[t], static_cast<int>(t)), {}, false});
        heads.back().advance();
        room += layout->tracks[t].size() / 3; // most events take three or four bytes
    }

    Timeline timeline;
    timeline.events.reserve(room);
    TempoWalk tempo(layout->division);
    const std::size_t count = heads.size();
    for (;;) {
        // The earliest head (an earlier track wins a tie), and how far it may
        // go on: while it stays before every other head, ties going to the
        // earlier track. One pass: a head passed over is a later track than
        // the best so far; a best that is displaced is an earlier one.
        std::size_t best = count;
        std::uint64_t limit = UINT64_MAX;
        for (std::size_t t = 0; t < count; ++t) {
            if (!heads[t].live)
                continue;
            const std::uint64_t tick = heads[t].event.tick;
            if (best == count || tick < heads[best].event.tick) {
                if (best != count)
                    limit = std::min(limit, heads[best].event.tick);
                best = t;
            } else {
                limit = std::min(limit, tick + 1);
            }
        }
        if (best == count)
            break;
        Head& head = heads[best];
        do {
            const RawEvent& e = head.event;
            if (e.kind == EventKind::Meta) {
                if (e.metaType == kMetaTempo)
                    tempo.change(e.tick, TempoMap::tempoOf(e.payload));
            } else {
                PlayEvent& out = timeline.events.emplace_back();
                out.micros = tempo.microsAt(e.tick);
                out.status = e.status;
                if (e.kind == EventKind::SysEx) {
                    out.sysex = static_cast<std::uint32_t>(timeline.sysex.size());
                    std::vector<std::uint8_t>& sysex = timeline.sysex.emplace_back();
                    sysex.reserve(e.payload.size() + 1);
                    if (e.status == 0xF0)
                        sysex.push_back(0xF0);
                    sysex.insert(sysex.end(), e.payload.begin(), e.payload.end());
                } else {
                    out.data1 = e.data1;
                    out.data2 = e.data2;
                }
            }
            head.advance();
        } while (head.live && head.event.tick < limit);
    }

    std::uint64_t endTick = 0;
    for (const Head& head : heads) {
        if (head.scanner.failed()) {
            // Merged, a later track's fault can be met before an earlier one's;
            // the reader reports them in track order.
            auto file = readMidiFile(bytes);
            return fail(file ? head.scanner.reason() : file.reason());
        }
        endTick = std::max(endTick, head.scanner.endTick());
    }
    if (!layout->chunkError.empty())
        return fail(layout->chunkError);
    timeline.lengthMicros = tempo.microsAt(endTick);
    return timeline;
}

} // namespace quillon::player
