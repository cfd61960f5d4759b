// The sequencer plays into a recording sink on a virtual clock: what comes out, when, and
// what halting, starting mid-song, changing the sink and opening one song over another do.
#include "player/engine/Sequencer.h"
#include "player/engine/RecordingSink.h"

#include "PlayerFixtures.h"
#include "VirtualClock.h"

#include <gtest/gtest.h>

#include <set>

using namespace quillon::player;
using namespace quillon::testing;
using namespace std::chrono_literals;

namespace {

bool isSilence(const RecordedMessage& m)
{
    return m.bytes.size() == 3 && (m.bytes[0] & 0xF0) == 0xB0 && (m.bytes[1] == 123 || m.bytes[1] == 64) &&
           m.bytes[2] == 0;
}

// True when `messages` holds, from `from` on, sustain off and all notes off on each of the 16 channels and nothing
// else.
bool silencesEveryChannel(const std::vector<RecordedMessage>& messages, std::size_t from)
{
    std::set<Bytes> silences;
    for (std::size_t i = from; i < messages.size(); ++i)
        if (!isSilence(messages[i]) || !silences.insert(messages[i].bytes).second)
            return false;
    return silences.size() == 32;
}

// What was played besides the silencing, each message with its time.
using Timed = std::pair<Bytes, Micros>;
std::vector<Timed> timed(const std::vector<RecordedMessage>& messages)
{
    std::vector<Timed> out;
    for (const auto& m : messages)
        if (!isSilence(m))
            out.emplace_back(m.bytes, m.at);
    return out;
}

class SequencerTest : public ::testing::Test {
protected:
    VirtualClock clock;
    std::shared_ptr<RecordingSink> sink = std::make_shared<RecordingSink>(clock);
    Sequencer sequencer{sink, clock};
};

// Four notes at 0, 250, 500 and 1000 ms, the song ending at 1500 ms.
Bytes fourNotes()
{
    TrackBytes t = millisecondTrack();
    t.event(0, {0x90, 60, 100})
        .event(250, {0x90, 64, 100})
        .event(250, {0xF0, 0x03, 0x7E, 0x01, 0xF7})
        .event(500, {0x80, 60, 0})
        .end(500);
    return millisecondSong(t);
}

} // namespace

// Another sink while playing, pause, play, stop and the song's end: each halt
// silences every channel, and every event goes out once, at its time.
TEST_F(SequencerTest, PlaysEachEventAtItsTimeAndSilencesOnEveryHaltAndAtTheEnd)
{
    sequencer.load(timelineOf(fourNotes()));
    EXPECT_EQ(sequencer.lengthMs(), 1500);
    clock.runUntil(10s);
    sequencer.play();
    clock.runUntil(10300ms);
    auto other = std::make_shared<RecordingSink>(clock);
    sequencer.setSink(other); // the old sink is silenced, the new one goes on
    const auto old = sink->messages();
    EXPECT_EQ(timed({old.begin(), old.begin() + 2}),
              (std::vector<Timed>{{{0x90, 60, 100}, 10s}, {{0x90, 64, 100}, 10250ms}}));
    EXPECT_TRUE(silencesEveryChannel(old, 2));
    const Bytes sysex{0xF0, 0x7E, 0x01, 0xF7};

    clock.runUntil(10700ms);
    sequencer.pause();
    const auto paused = other->take();
    EXPECT_EQ(timed({paused.front()}), (std::vector<Timed>{{sysex, 10500ms}}));
    EXPECT_TRUE(silencesEveryChannel(paused, 1));
    EXPECT_FALSE(sequencer.isPlaying());
    clock.runUntil(13s);
    EXPECT_TRUE(other->messages().empty());
    EXPECT_EQ(sequencer.positionMs(), 700);

    sequencer.play();
    clock.runUntil(13400ms);
    // 300 ms of song were left before the note off.
    EXPECT_EQ(timed(other->take()), (std::vector<Timed>{{{0x80, 60, 0}, 13300ms}}));
    sequencer.stop();
    EXPECT_TRUE(silencesEveryChannel(other->take(), 0));
    EXPECT_EQ(sequencer.positionMs(), 0);

    sequencer.play();
    clock.runFor(5s);
    const auto messages = other->messages();
    ASSERT_EQ(messages.size(), 4u + 32u);
    EXPECT_EQ(timed(messages),
              (std::vector<Timed>{
                  {{0x90, 60, 100}, 13400ms}, {{0x90, 64, 100}, 13650ms}, {sysex, 13900ms}, {{0x80, 60, 0}, 14400ms}}));
    EXPECT_TRUE(silencesEveryChannel(messages, 4));
    EXPECT_EQ(messages[4].at, 14900ms);
    // The song has ended, but it is still "playing" and stands at its end.
    EXPECT_TRUE(sequencer.isPlaying());
    EXPECT_EQ(sequencer.positionMs(), 1500);
    EXPECT_EQ(sink->messages().size(), old.size());
}

TEST_F(SequencerTest, DestructionWhilePlayingJoinsTheThreadAndSilences)
{
    auto local = std::make_unique<Sequencer>(sink, clock);
    local->load(timelineOf(fourNotes()));
    local->play();
    clock.runFor(100ms);
    sink->take();
    local.reset();
    EXPECT_TRUE(silencesEveryChannel(sink->take(), 0));
}

TEST_F(SequencerTest, StartingMidSongRestoresProgramsControllersAndBend)
{
    TrackBytes t = millisecondTrack();
    t.event(0, {0xC2, 40})
        .event(0, {0xB2, 7, 90})
        .event(0, {0xE2, 0x00, 0x50})
        .event(0, {0x92, 60, 100})
        .event(100, {0xB2, 7, 70}) // the later volume wins
        .event(100, {0xC2, 41})
        .event(800, {0x82, 60, 0})
        .end(0);
    sequencer.load(timelineOf(millisecondSong(t)));
    sequencer.seekMs(500);
    sequencer.play();
    clock.runFor(1s);
    const auto messages = timed(sink->messages());
    ASSERT_EQ(messages.size(), 4u);
    const Micros start = messages[0].second;
    EXPECT_EQ(
        messages,
        (std::vector<Timed>{
            {{0xC2, 41}, start}, {{0xB2, 7, 70}, start}, {{0xE2, 0x00, 0x50}, start}, {{0x82, 60, 0}, start + 500ms}}));
}

// Opening one song after another fills the old song's storage with the new one:
// nothing of the old song may be left in what is played.
TEST_F(SequencerTest, ASongOpenedOverAnotherPlaysOnlyItsOwnEvents)
{
    TempFolder folder;
    TrackBytes big = millisecondTrack();
    for (int i = 0; i < 200; ++i)
        big.event(5, {0x90, 40 + i % 40, 100});
    big.event(0, {0xF0, 0x03, 0x7E, 0x01, 0xF7}).end(0);
    TrackBytes small = millisecondTrack();
    small.event(10, {0x91, 70, 90}).event(20, {0x81, 70, 0}).end(30);

    ASSERT_TRUE(sequencer.open(folder.write("big.mid", millisecondSong(big))).ok());
    sequencer.play();
    clock.runFor(100ms);
    // Opened while the first song plays.
    ASSERT_TRUE(sequencer.open(folder.write("small.mid", millisecondSong(small))).ok());
    sink->take();
    EXPECT_EQ(sequencer.lengthMs(), 60);
    sequencer.play();
    clock.runFor(1s);
    const auto played = timed(sink->take());
    ASSERT_EQ(played.size(), 2u);
    EXPECT_EQ(played[0].first, (Bytes{0x91, 70, 90}));
}
