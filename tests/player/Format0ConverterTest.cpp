// Format 0 conversion: the merged song plays event for event at the same times
// as the original, passes the song checks, keeps its meta events and division,
// and new files never replace existing ones.
#include "player/core/Format0Converter.h"
#include "player/core/MidiFile.h"
#include "player/core/SmfWriter.h"
#include "player/core/Timeline.h"
#include "transfer/core/SongCheck.h"

#include "PlayerFixtures.h"

#include <gtest/gtest.h>

#include <set>

using namespace quillon;
using namespace quillon::player;
using quillon::testing::Bytes;
using quillon::testing::readBytes;
using quillon::testing::smf;
using quillon::testing::TrackBytes;

namespace {

namespace fs = std::filesystem;

Bytes convertOrDie(const Bytes& original)
{
    auto converted = convertToFormat0(original);
    EXPECT_TRUE(converted.ok()) << (converted ? "" : converted.reason());
    return converted ? *converted : Bytes{};
}

std::multiset<std::pair<int, Bytes>> metaEventsBesidesEnd(const MidiFile& file)
{
    std::multiset<std::pair<int, Bytes>> metas;
    for (const Track& track : file.tracks)
        for (const TrackEvent& e : track.events)
            if (e.kind == EventKind::Meta && e.metaType != kMetaEndOfTrack)
                metas.emplace(e.metaType, e.payload);
    return metas;
}

// Meta events in every track, a SysEx, a tempo change in the last track, and
// the last track ending latest.
Bytes threeTrackSong()
{
    TrackBytes conductor;
    conductor.event(0, {0xFF, 0x03, 4, 'S', 'o', 'n', 'g'}).tempo(0, 600000).tempo(480, 400000).end(960);
    TrackBytes piano;
    piano.event(0, {0xFF, 0x03, 5, 'P', 'i', 'a', 'n', 'o'}).event(0, {0x90, 60, 100}).event(240, {60, 0}).end(0);
    TrackBytes strings;
    strings.event(0, {0x91, 48, 70}).event(480, {0xF0, 3, 0x7E, 0x10, 0xF7}).tempo(480, 300000).end(600);
    return smf(1, 480, {conductor, piano, strings});
}

// Delta times at the edges of the one-, two- and three-byte quantities.
TEST(Format0Conversion, WritesEveryStatusByteAndKeepsTheDivisionWordByteForByte)
{
    TrackBytes a;
    a.event(0, {0x90, 60, 100}).event(0x4080, {61, 101}).end(0x3FFF);
    TrackBytes b;
    b.event(0x80, {0xC2, 9}).end();
    const Bytes converted = convertOrDie(smf(1, 0x0180, {a, b}));
    const Bytes expected{'M',  'T',  'h',  'd',  0,   0,   0, 6, 0,  0,    0,    1,  0x01,
                         0x80, 'M',  'T',  'r',  'k', 0,   0, 0, 19, 0x00, 0x90, 60, 100, // tick 0
                         0x81, 0x00, 0xC2, 9,              // tick 0x80, from the second track
                         0x81, 0x80, 0x00, 0x90, 61,  101, // tick 0x4080: its status written again
                         0xFF, 0x7F, 0xFF, 0x2F, 0x00};    // the one End of Track, at the first track's end
    EXPECT_EQ(converted, expected);
}

TEST(Format0Conversion, SongsPlayTheSameEventForEventAndKeepTheirMetaEvents)
{
    std::vector<Bytes> songs{threeTrackSong()};
    std::mt19937 random(20261206);
    for (int song = 0; song < 40; ++song) // every other one puts many tracks' events on one tick
        songs.push_back(quillon::testing::randomSong(random, song % 2 ? 4 : 2000));
    for (const Bytes& bytes : songs) {
        SCOPED_TRACE("song " + std::to_string(&bytes - songs.data()));
        const Bytes converted = convertOrDie(bytes);
        EXPECT_FALSE(transfer::checkSongHead(converted).has_value());
        auto a = loadTimeline(bytes);
        auto b = loadTimeline(converted);
        ASSERT_TRUE(a.ok() && b.ok());
        // The same events in track order on one tick, and the length of the track ending latest.
        EXPECT_EQ(quillon::testing::playDifference(*a, *b), "");
        EXPECT_EQ(metaEventsBesidesEnd(*readMidiFile(converted)), metaEventsBesidesEnd(*readMidiFile(bytes)));
        // Converting again changes nothing: the result is already in its final form.
        EXPECT_EQ(convertOrDie(converted), converted);
    }
}

TEST(Format0Files, ConvertedCopyGoesBesideTheSongUnderAFreeNameAndNeverReplacesAFile)
{
    const quillon::testing::TempFolder temp;
    const fs::path& folder = temp.path();
    const fs::path song = temp.write("my song.mid", threeTrackSong());
    const fs::path taken = temp.write("my song-0.mid", {'k', 'e', 'e', 'p'});

    auto made = convertSongBeside(song);
    ASSERT_TRUE(made.ok()) << made.reason();
    EXPECT_EQ(*made, folder / "my song-0-2.mid");
    EXPECT_EQ(readBytes(*made), convertOrDie(threeTrackSong()));
    EXPECT_EQ(readBytes(song), threeTrackSong());
    EXPECT_EQ(readBytes(taken), (Bytes{'k', 'e', 'e', 'p'}));
    EXPECT_EQ(*format0TargetPath(song), folder / "my song-0-3.mid");

    // What cannot be converted leaves no file behind: a cut header, format 2, a missing song.
    TrackBytes t;
    t.event(0, {0x90, 60, 1}).end();
    const fs::path broken = temp.write("broken.mid", {'M', 'T', 'h', 'd', 0, 0});
    const fs::path patterns = temp.write("patterns.mid", smf(2, 96, {t, t}));
    EXPECT_FALSE(convertSongBeside(broken).ok());
    EXPECT_FALSE(convertSongBeside(patterns).ok());
    EXPECT_FALSE(convertSongBeside(folder / "absent.mid").ok());
    EXPECT_FALSE(fs::exists(folder / "broken-0.mid"));
    EXPECT_FALSE(fs::exists(folder / "patterns-0.mid"));
}

} // namespace
