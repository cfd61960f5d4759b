#include "player/core/Timeline.h"

#include "player/core/TempoMap.h"
#include "player/core/TrackMerge.h"

#include <algorithm>
#include <string>
#include <utility>

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

// One track's next event during the merge. A channel message, nearly every
// event, is held as its tick and its bytes packed in one word: written and
// read whole, it is at hand again at once.
struct Head {
    TrackScanner scanner;
    bool quick = false;
    std::uint64_t tick = 0;    // quick
    std::uint32_t message = 0; // quick: status | data1 << 8 | data2 << 16
    RawEvent event;            // otherwise

    // Takes the next event; false at the end of the track or on a fault.
    bool advance()
    {
        std::uint8_t status, data1, data2;
        quick = scanner.nextChannel(tick, status, data1, data2);
        if (quick) {
            message = status | std::uint32_t{data1} << 8 | std::uint32_t{data2} << 16;
            return true;
        }
        if (!scanner.next(event))
            return false;
        tick = event.tick;
        return true;
    }
};

// The tick a finished track stands at: beyond any real tick (those stay below
// 2^61, 2^32 bytes of 28-bit delta times), with room for the +1 below.
constexpr std::uint64_t kFinished = UINT64_MAX / 2;

// The timeline's entry for an event that is played (not a meta event).
void emit(const RawEvent& e, const TempoWalk& tempo, Timeline& timeline)
{
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

// A half-read song is no song: the events met before the fault are dropped (the storage is kept).
Status failEmptied(std::string reason, Timeline& timeline)
{
    timeline.events.clear();
    timeline.sysex.clear();
    return fail(std::move(reason));
}

} // namespace

// The reader's walk straight into the timeline, with nothing kept per event
// but the timeline's own entry: every track is scanned once, the tracks are
// merged as they are scanned (by tick, then track), and ticks become
// microseconds on the way, the tempo changes being met in tick order too.
Status loadTimelineInto(std::span<const std::uint8_t> bytes, Timeline& timeline)
{
    timeline.events.clear();
    timeline.sysex.clear();
    timeline.lengthMicros = 0;
    auto layout = readSmfLayout(bytes);
    if (!layout)
        return fail(layout.reason());

    const std::size_t count = layout->tracks.size();
    std::vector<Head> heads;
    heads.reserve(count);
    // Each track's next tick (kFinished past its end), and a tournament over
    // them: tree[0] is the track whose event comes next (by tick, an earlier
    // track winning a tie), every inner node tree[1..] the loser of the match
    // played there, the leaves being the tracks, padded to a power of two.
    std::size_t leaves = 1;
    while (leaves < count)
        leaves *= 2;
    std::vector<std::uint64_t> ticks(leaves, kFinished);
    std::size_t room = 0;
    for (std::size_t t = 0; t < count; ++t) {
        Head& head = heads.emplace_back(Head{TrackScanner(layout->tracks[t], static_cast<int>(t)), false, 0, 0, {}});
        if (head.advance())
            ticks[t] = head.tick;
        room += layout->tracks[t].size() / 3; // most events take three or four bytes
    }
    const auto before = [&](std::size_t a, std::size_t b) {
        return ticks[a] < ticks[b] || (ticks[a] == ticks[b] && a < b);
    };
    std::vector<std::size_t> tree(leaves);
    {
        std::vector<std::size_t> winners(2 * leaves);
        for (std::size_t t = 0; t < leaves; ++t)
            winners[leaves + t] = t;
        for (std::size_t node = leaves - 1; node >= 1; --node) {
            const std::size_t a = winners[2 * node];
            const std::size_t b = winners[2 * node + 1];
            winners[node] = before(a, b) ? a : b;
            tree[node] = before(a, b) ? b : a;
        }
        tree[0] = leaves > 1 ? winners[1] : 0;
    }

    timeline.events.reserve(room);
    TempoWalk tempo(layout->division);
    const auto place = [&](std::uint64_t tick, std::uint32_t message) {
        // Grown by hand so that the common case stays in line.
        if (timeline.events.size() == timeline.events.capacity())
            timeline.events.reserve(timeline.events.capacity() * 2 + 64);
        PlayEvent out;
        out.micros = tempo.microsAt(tick);
        out.status = static_cast<std::uint8_t>(message);
        out.data1 = static_cast<std::uint8_t>(message >> 8);
        out.data2 = static_cast<std::uint8_t>(message >> 16);
        timeline.events.push_back(out);
    };
    while (count > 0) {
        const std::size_t best = tree[0];
        if (ticks[best] == kFinished)
            break;
        // How far it may go on: while it stays before every other track, ties
        // going to the earlier one. The next best lost a match to it, so is
        // among the losers on its way up.
        std::uint64_t limit = kFinished + 1;
        for (std::size_t node = (leaves + best) / 2; node >= 1; node /= 2) {
            const std::size_t other = tree[node];
            limit = std::min(limit, ticks[other] + (other > best ? 1 : 0));
        }

        Head& head = heads[best];
        bool live;
        do {
            if (head.quick)
                place(head.tick, head.message);
            else if (head.event.kind != EventKind::Meta)
                emit(head.event, tempo, timeline);
            else if (head.event.metaType == kMetaTempo)
                tempo.change(head.tick, TempoMap::tempoOf(head.event.payload));
            live = head.advance();
        } while (live && head.tick < limit);
        ticks[best] = live ? head.tick : kFinished;
        // Its matches played again on the way up.
        std::size_t winner = best;
        for (std::size_t node = (leaves + best) / 2; node >= 1; node /= 2) {
            if (before(tree[node], winner))
                std::swap(tree[node], winner);
        }
        tree[0] = winner;
    }

    std::uint64_t endTick = 0;
    for (const Head& head : heads) {
        if (head.scanner.failed()) {
            // Merged, a later track's fault can be met before an earlier one's;
            // the reader reports them in track order.
            auto file = readMidiFile(bytes);
            return failEmptied(file ? head.scanner.reason() : file.reason(), timeline);
        }
        endTick = std::max(endTick, head.scanner.endTick());
    }
    if (!layout->chunkError.empty())
        return failEmptied(layout->chunkError, timeline);
    timeline.lengthMicros = tempo.microsAt(endTick);
    return success();
}

Result<Timeline> loadTimeline(std::span<const std::uint8_t> bytes)
{
    Timeline timeline;
    if (auto loaded = loadTimelineInto(bytes, timeline); !loaded)
        return fail(loaded.reason());
    return timeline;
}

} // namespace quillon::player
