// The song player's answers and flag rules, on a virtual clock with a recording sink.
#include "player/engine/SongPlayer.h"
#include "player/engine/RecordingSink.h"

#include "PlayerFixtures.h"
#include "VirtualClock.h"

#include <gtest/gtest.h>

#include <functional>

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

TEST_F(SongPlayerTest, OpenRefusesAMissingFileAndASecondSongAndStopRewinds)
{
    EXPECT_FALSE(player.play() || player.pause() || player.stop() || player.seekTo(0, 10));
    EXPECT_FALSE(player.open((folder.path() / "missing.mid").string()));
    EXPECT_FALSE(player.lastError().empty()); // a spoilt song: the sequencer's and the Midiplay window's tests

    ASSERT_TRUE(player.open(long200));
    EXPECT_FALSE(player.stop() || player.pause()); // before Play
    ASSERT_TRUE(player.play());
    clock.runFor(65s);
    ASSERT_TRUE(player.pause());
    // A second open keeps the old song, its position and its state.
    EXPECT_FALSE(player.open(folder.write("short.mid", tickingSong(2))));
    EXPECT_EQ(player.length().totalSeconds(), 200);
    EXPECT_EQ(std::pair(player.positionMinutes(), player.positionSeconds()), std::pair(1, 5));
    EXPECT_TRUE(player.isPlaying() && player.isPaused());

    // Stop rewinds and keeps the song open; the silencing itself is the sequencer's.
    ASSERT_TRUE(player.stop());
    EXPECT_TRUE(player.isOpen() && !player.isPlaying());
    EXPECT_EQ(player.position().totalSeconds(), 0);
    EXPECT_TRUE(player.close());
}

// Stopped or paused, seeks and skips only move (the next Play starts there); running,
// they resume at the target's whole second. Targets are clamped to the song. Every
// Play starts at the whole second, so a paused song resumes at the start of its second.
TEST_F(SongPlayerTest, SeeksSkipsAndPlayResumeAtTheWholeSecondAndClampToTheSong)
{
    ASSERT_TRUE(player.open(long200));
    Micros resumedAt{}, replayedAt{};
    const struct {
        std::function<bool()> act;
        bool resumed;
        int at;
        Micros thenRun;
    } steps[] = {
        {[&] { return player.skipForward(8); }, false, 8, 0ms},
        {[&] { return player.seekTo(0, -20); }, false, 0, 0ms}, // before the start is the start
        {[&] { return player.seekTo(1, 40); }, false, 100, 0ms},
        {[&] { return player.play(); }, true, 100, 2500ms},
        {[&] { return player.seekTo(0, 3); }, true, 3, 1s},
        {[&] { return player.skipBack(8); }, true, 0, 10500ms},   // from 4 s: the start, not a wrap
        {[&] { return player.skipForward(8); }, true, 18, 700ms}, // 10.5 s + 8 s at the whole second
        {[&] { return player.pause(); }, true, 18, 0ms},
        {[&] { return player.pause(); }, true, 18, 10s}, // pausing again is still a pause
        {[&] { return resumedAt = clock.now(), player.play(); }, true, 18, 1600ms},
        {[&] { return player.pause(); }, true, 19, 0ms},
        {[&] { return player.skipBack(8); }, false, 11, 3s},
        {[&] { return player.isPaused(); }, true, 11, 0ms},     // still there
        {[&] { return player.seekTo(9, 0); }, false, 200, 0ms}, // past the end is the end
        {[&] { return replayedAt = clock.now(), player.play(); }, true, 200, 5s},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(step.act(), step.resumed) << "before " << step.at;
        EXPECT_EQ(player.position().totalSeconds(), step.at);
        clock.runFor(step.thenRun);
    }
    // Resumed from 18.7 s: the note of second 18 sounds again right away, the next one a
    // second later; from the end nothing more is heard.
    EXPECT_EQ(noteOnsSince(resumedAt), (std::vector<Micros>{0ms, 1s}));
    EXPECT_TRUE(noteOnsSince(replayedAt).empty());
}
