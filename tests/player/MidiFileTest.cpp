// The MIDI file reader, tempo map and merged timeline against files built in memory.
#include "player/core/MidiFile.h"
#include "player/core/SongFacts.h"
#include "player/core/TempoMap.h"
#include "player/core/Timeline.h"

#include "PlayerFixtures.h"

#include <gtest/gtest.h>

using namespace quillon::player;
using namespace quillon::testing;

namespace {

MidiFile readOk(const Bytes& bytes)
{
    auto file = readMidiFile(bytes);
    EXPECT_TRUE(file.ok()) << (file.ok() ? "" : file.reason());
    return file.ok() ? *file : MidiFile{};
}

} // namespace

TEST(MidiFileReader, Format0EventsWithRunningStatusSysExMetaAndAbsoluteTicks)
{
    TrackBytes t;
    t.event(0, {0x90, 60, 100})
        .event(96, {62, 90}) // running status: another note on
        .event(96, {0x80, 60, 0})
        .event(0, {62, 0})    // running status on the note off
        .event(10, {0xC1, 5}) // one data byte
        .event(0, {7})        // running status with one data byte
        .event(0, {0xF0, 0x03, 0x7E, 0x09, 0xF7})
        .event(0x0FFFFFFF, {0xF7, 0x02, 0xF8, 0xFA}) // largest 4-byte delta, escape packet
        .event(0, {0xFF, 0x03, 0x04, 'S', 'o', 'n', 'g'})
        .end(4);
    MidiFile file = readOk(smf(0, 96, {t}));

    ASSERT_EQ(file.format, 0);
    ASSERT_EQ(file.tracks.size(), 1u);
    EXPECT_EQ(shown(file.tracks[0]),
              (std::vector<std::string>{"0:90 60 100", "96:90 62 90", "192:80 60 0", "192:80 62 0", "202:C1 5 0",
                                        "202:C1 7 0", "202:F0 0 0", "268435657:F7 0 0", "268435657:FF 03 +4",
                                        "268435661:FF 2F +0"}));
    EXPECT_EQ(file.tracks[0].endTick, 268435661u); // 202 + 0x0FFFFFFF + 4
    const auto& ev = file.tracks[0].events;
    EXPECT_EQ(ev[6].payload, (Bytes{0x7E, 0x09, 0xF7}));
    EXPECT_EQ(ev[7].payload, (Bytes{0xF8, 0xFA}));
    EXPECT_EQ(ev[8].payload, (Bytes{'S', 'o', 'n', 'g'}));
}

// Each malformed piece of a file is refused with a reason that names it; a file cut
// anywhere is the one-pass loader's test's.
TEST(MidiFileReader, RefusesMalformedHeadersChunksAndEventsWithTheirReason)
{
    TrackBytes end;
    end.end();
    TrackBytes note, cut;
    note.event(0, {0x90, 60, 100}).end(10);
    cut.raw({0x00, 0x90, 0x40});
    const auto track = [](std::initializer_list<int> body) {
        TrackBytes t;
        t.raw(body);
        return smf(0, 96, {t});
    };
    const auto joined = [](Bytes head, const Bytes& rest) {
        append(head, rest);
        return head;
    };
    const std::pair<Bytes, std::string> cases[] = {
        {{}, "MThd"},
        {{'M', 'T', 'h', 'd', 0, 0, 0, 4, 0, 0, 0, 1}, "shorter"},
        {smf(2, 96, {end}), "format 2"},
        {smf(0, 96, {end, end}), "exactly one track"},
        {smf(0, 0, {end}), "zero ticks"},
        {smf(1, 0xE700, {end}), "SMPTE"}, // -25 fps, 0 ticks per frame
        {header(1, 0, 96), "no tracks"},
        {joined(header(1, 2, 96), note.chunk()), "missing track"},
        {joined(header(1, 2, 96), cut.chunk()), "cut off"}, // the fault before the missing track
        {joined(header(0, 1, 96), {'X', 'X', 'X', 'X', 0xFF, 0xFF, 0xFF, 0xF0}), "past the end of the file"},
        {track({0x81, 0x80, 0x80, 0x80, 0x00, 0x90, 60, 1}), "longer than 4 bytes"},
        {track({0x00, 60, 100}), "no running status"},
        {track({0x00, 0xF0, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}), "longer than 4"},
        {track({0x00, 0xFF, 0x51, 0x02, 1, 2}), "tempo event"},
        {track({0x00, 0xF8}), "cannot stand"},
        {track({0x00, 0x90, 0x3C, 0x40, 0x00, 0x90, 0xFF, 0x01}), "above 127"},
    };
    for (const auto& [bytes, reason] : cases) {
        const auto file = readMidiFile(bytes);
        ASSERT_FALSE(file.ok()) << reason;
        EXPECT_NE(file.reason().find(reason), std::string::npos) << reason << ": " << file.reason();
        // The player's one-pass loader and the song facts refuse it for the same reason.
        EXPECT_EQ(loadTimeline(bytes).reason(), file.reason());
        EXPECT_EQ(songFactsOf(bytes).reason(), file.reason());
    }
}

TEST(TempoMap, TicksToTimeAcrossTempoChangesInAnyTrackAndIgnoringTempoForSmpte)
{
    // 120 bpm by default for one quarter, then 60 bpm, then 240 bpm from tick 192.
    TrackBytes conductor;
    conductor.tempo(96, 1000000).tempo(96, 250000).end(96);
    TrackBytes notes;
    notes.event(96, {0x90, 60, 1}).end();
    TrackBytes later; // a tempo in a later track applies to all
    later.tempo(48, 1000000).end(48);
    TrackBytes smpte;
    smpte.tempo(0, 1000000).event(1000, {0x90, 60, 1}).end(500);
    const TempoMap changes(readOk(smf(1, 96, {conductor, notes})));
    const TempoMap laterTrack(readOk(smf(1, 96, {notes, later})));
    const TempoMap frames25(readOk(smf(0, 0xE728, {smpte})));  // 40 ticks per frame: a tick is a millisecond
    const TempoMap dropFrame(readOk(smf(0, 0xE364, {smpte}))); // 29.97 frames per second, 100 ticks per frame
    const struct {
        const TempoMap& map;
        std::uint64_t tick;
        std::int64_t micros;
    } cases[] = {
        {changes, 96, 500000},
        {changes, 192, 1500000},
        {changes, 96 * 1000 + 192, 1500000 + 1000 * 250000},
        {laterTrack, 96, 250000 + 500000},
        {frames25, 1000, 1000000},
        {dropFrame, 2997, 1000000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.map.microsAt(c.tick), c.micros) << "tick " << c.tick;
}

TEST(Timeline, MergesTracksInTimeOrderWithSysExAndLengthPassingOverUnknownChunks)
{
    TrackBytes conductor;
    conductor.tempo(0, 1000000).event(96, {0xF0, 0x02, 0x7F, 0xF7}).end(0); // 1 s per quarter
    TrackBytes a;
    a.event(0, {0x90, 60, 100}).event(96, {0x80, 60, 0}).end(192);
    TrackBytes b;
    b.event(48, {0x91, 64, 100}).event(48, {0x81, 64, 0}).event(0, {0xFF, 0x01, 0x01, 'x'}).end(0).raw({0x12, 0x34});
    // Unknown chunks, bytes after an End of Track and after the last track are passed over.
    Bytes bytes = header(1, 3, 96);
    for (const Bytes& piece : {chunk("XFIH", {1, 2, 3}), conductor.chunk(), a.chunk(), chunk("Junk", {}), b.chunk()})
        append(bytes, piece);
    append(bytes, {0xDE, 0xAD});
    auto timeline = loadTimeline(bytes);
    ASSERT_TRUE(timeline.ok());

    std::vector<std::pair<int, std::int64_t>> statusAndTime;
    for (const PlayEvent& e : timeline->events)
        statusAndTime.emplace_back(e.status, e.micros);
    // Three events at one second: the conductor's SysEx first, then track order.
    ASSERT_EQ(statusAndTime, (std::vector<std::pair<int, std::int64_t>>{
                                 {0x90, 0}, {0x91, 500000}, {0xF0, 1000000}, {0x80, 1000000}, {0x81, 1000000}}));
    ASSERT_EQ(timeline->sysex.size(), 1u);
    EXPECT_EQ(timeline->sysex[timeline->events[2].sysex], (Bytes{0xF0, 0x7F, 0xF7}));
    EXPECT_EQ(timeline->lengthMicros, 3000000); // track a ends at tick 288
    EXPECT_EQ(timeline->firstAtOrAfter(500001), 2u);
    EXPECT_EQ(timeline->firstAtOrAfter(5000000), 5u);
}

// The player's one-pass loader and the song facts must tell exactly what the
// full reader and merge tell: same events in the same order, same length, and
// a refusal for every file cut short.
TEST(Timeline, OnePassLoaderAgreesWithTheFullReaderAndTheSongFacts)
{
    std::vector<Bytes> cases{
        smf(0, 96, {TrackBytes().event(0, {0x90, 60, 100}).event(10, {0xF7, 0x01, 0x02}).end(5)}),
        smf(0, 0xE364, {TrackBytes().tempo(0, 1000000).event(2997, {0x90, 60, 1}).end(500)}), // drop frame
    };
    std::mt19937 random(20261207);
    for (int n = 0; n < 20; ++n)
        cases.push_back(randomSong(random, 4)); // many tracks' events on one tick
    for (const Bytes& bytes : cases) {
        auto file = readMidiFile(bytes);
        auto loaded = loadTimeline(bytes);
        ASSERT_TRUE(file.ok() && loaded.ok());
        EXPECT_EQ(playDifference(*loaded, buildTimeline(*file)), "");
        auto facts = songFactsOf(bytes);
        ASSERT_TRUE(facts.ok());
        EXPECT_EQ(facts->format, file->format);
        EXPECT_EQ(facts->tracks, file->tracks.size());
        EXPECT_EQ(facts->lengthMicros, loaded->lengthMicros);
        EXPECT_EQ(facts->sizeBytes, bytes.size());
    }
    // A track chunk announces its full length, so a file cut anywhere is refused by every
    // reader; each prefix is a fresh, exactly sized buffer (sanitizers catch an overread).
    const Bytes& whole = cases[2]; // tempo changes, programs, SysEx, notes, some in running status
    for (std::size_t n = 0; n < whole.size(); ++n) {
        const Bytes prefix(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_FALSE(readMidiFile(prefix).ok() || loadTimeline(prefix).ok() || songFactsOf(prefix).ok()) << n;
    }
}
