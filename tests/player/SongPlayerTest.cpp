// The song player's answers and flag rules, on a virtual clock with a recording sink.
#include "player/engine/SongPlayer.h"
#include "player/engine/RecordingSink.h"

#include "PlayerFixtures.h"
#include "VirtualClock.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace quillon::player;
using namespace quillon::testing;
using namespace std::chrono_literals;

namespace {

class SongPlayerTest : public ::testing::Test {
protected:
    TempFolder folder;
    VirtualClock clock;
    std::shared_ptr<RecordingSink> sink = std::make_shared<RecordingSink>(clock);
    SongPlayer player{sink, clock};
    std::string long200 = folder.write("long.mid", tickingSong(200)); // 3 min 20 s

    // What getLength answers, with the minutes and seconds it wrote.
    std::tuple<bool, int, int> reportedLength()
    {
        int minutes = 7, seconds = 7;
        const bool known = player.getLength(minutes, seconds);
        return {known, minutes, seconds};
    }
    // Times at which note-ons arrived, relative to `since`.
    std::vector<Micros> noteOnsSince(Micros since)
    {
        std::vector<Micros> out;
        for (const auto& m : sink->messages())
            if (m.bytes[0] == 0x90 && m.at >= since)
                out.push_back(m.at - since);
        return out;
    }
};

} // namespace

TEST_F(SongPlayerTest, ClosedPlayerAnswersFalseAndMinusOne)
{
    EXPECT_EQ(reportedLength(), std::tuple(false, -1, -1));
    EXPECT_EQ(std::pair(player.positionMinutes(), player.positionSeconds()), std::pair(-1, -1));
    EXPECT_FALSE(player.play() || player.pause() || player.stop() || player.seekTo(0, 10) || player.skipForward(8) ||
                 player.skipBack(8));
    EXPECT_TRUE(sink->messages().empty());
}

TEST_F(SongPlayerTest, OpenRefusesMissingAndBadFilesAndASecondSongAndStopRewinds)
{
    EXPECT_FALSE(player.open((folder.path() / "missing.mid").string()));
    EXPECT_FALSE(player.lastError().empty());
    EXPECT_FALSE(player.open(folder.write("bad.mid", {'M', 'T', 'h', 'd'})));
    EXPECT_FALSE(player.isOpen());

    ASSERT_TRUE(player.open(long200));
    EXPECT_TRUE(player.lastError().empty());
    EXPECT_EQ(reportedLength(), std::tuple(true, 3, 20));
    EXPECT_EQ(player.position().totalSeconds(), 0);

    EXPECT_FALSE(player.stop() || player.pause()); // before Play

    ASSERT_TRUE(player.play());
    clock.runFor(65s);
    ASSERT_TRUE(player.pause());
    // A second open keeps the old song, its position and its state.
    EXPECT_FALSE(player.open(folder.write("short.mid", tickingSong(2))));
    EXPECT_EQ(player.length().totalSeconds(), 200);
    EXPECT_EQ(std::pair(player.positionMinutes(), player.positionSeconds()), std::pair(1, 5));
    EXPECT_TRUE(player.isPlaying());
    EXPECT_TRUE(player.isPaused());

    // Stop rewinds and keeps the song open; the silencing itself is the sequencer's (SequencerTest).
    ASSERT_TRUE(player.stop());
    EXPECT_TRUE(player.isOpen());
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.position().totalSeconds(), 0);
    EXPECT_FALSE(player.stop() || player.pause());
    EXPECT_TRUE(player.close());
    EXPECT_FALSE(player.close());
}

TEST_F(SongPlayerTest, PlayAfterPauseResumesAtTheWholeSecond)
{
    ASSERT_TRUE(player.open(long200));
    ASSERT_TRUE(player.play());
    clock.runUntil(83700ms); // 1 min 23.7 s
    ASSERT_TRUE(player.pause());
    EXPECT_TRUE(player.pause()); // pausing again is still a pause
    clock.runFor(10s);
    EXPECT_EQ(player.positionSeconds(), 23);

    const Micros resumedAt = clock.now();
    ASSERT_TRUE(player.play());
    EXPECT_FALSE(player.isPaused());
    EXPECT_EQ(player.position().totalSeconds(), 83);
    clock.runFor(1600ms);
    // The note of second 83 sounds again right away, the next one a second later.
    EXPECT_EQ(noteOnsSince(resumedAt), (std::vector<Micros>{0ms, 1s}));
}

TEST_F(SongPlayerTest, SeeksAndSkipsResumeOnlyARunningSongAndClampToTheSong)
{
    ASSERT_TRUE(player.open(long200));
    // Stopped: they only move, and the next Play starts at the target second.
    EXPECT_FALSE(player.skipForward(8));
    EXPECT_EQ(player.position().totalSeconds(), 8);
    EXPECT_FALSE(player.seekTo(0, -20)); // before the start is the start
    EXPECT_EQ(player.position().totalSeconds(), 0);
    EXPECT_FALSE(player.seekTo(1, 40));
    EXPECT_EQ(player.position().totalSeconds(), 100);
    ASSERT_TRUE(player.play());
    EXPECT_EQ(player.position().totalSeconds(), 100);

    clock.runFor(2500ms);
    EXPECT_TRUE(player.seekTo(0, 3));
    EXPECT_TRUE(player.isPlaying());
    clock.runFor(1s);
    EXPECT_EQ(player.position().totalSeconds(), 4);
    EXPECT_TRUE(player.skipBack(8)); // within the first 8 seconds: back to the start, not a wrap
    EXPECT_EQ(player.position().totalSeconds(), 0);
    EXPECT_TRUE(player.isPlaying());
    clock.runFor(10500ms);
    EXPECT_TRUE(player.skipForward(8)); // 10.5 s + 8 s, resumed at the whole second
    EXPECT_EQ(player.position().totalSeconds(), 18);

    // Paused: they only move, and the song stays paused; a target past the end is the end.
    ASSERT_TRUE(player.pause());
    EXPECT_FALSE(player.seekTo(9, 0));
    EXPECT_EQ(player.position().totalSeconds(), 200);
    EXPECT_FALSE(player.seekTo(2, 0));
    EXPECT_TRUE(player.isPaused());
    EXPECT_EQ(player.position().totalSeconds(), 120);
    EXPECT_FALSE(player.skipBack(8));
    EXPECT_EQ(player.position().totalSeconds(), 112);
    clock.runFor(3s);
    EXPECT_EQ(player.position().totalSeconds(), 112);
}

TEST_F(SongPlayerTest, PlayFromTheEndSoundsNothingAndShortSongsMeasureZero)
{
    const std::string twoSeconds = folder.write("two.mid", tickingSong(2));
    ASSERT_TRUE(player.open(twoSeconds));
    ASSERT_TRUE(player.play());
    clock.runFor(10s);
    EXPECT_TRUE(player.pause());
    EXPECT_TRUE(player.play()); // from the end: nothing more is heard
    const Micros replayAt = clock.now();
    clock.runFor(5s);
    EXPECT_TRUE(noteOnsSince(replayAt).empty());
    EXPECT_TRUE(player.close());

    TrackBytes blip = millisecondTrack();
    blip.event(0, {0x90, 60, 100}).event(999, {0x80, 60, 0}).end();
    ASSERT_TRUE(player.open(folder.write("blip.mid", millisecondSong(blip))));
    EXPECT_EQ(reportedLength(), std::tuple(true, 0, 0));
}
