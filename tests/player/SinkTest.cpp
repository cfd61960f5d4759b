// The built-in synthesizer really makes sound, and the port sink sends whole, correctly sized messages.
#include "player/engine/PortSink.h"
#include "player/engine/RecordingSink.h"
#include "player/engine/Sequencer.h"
#include "player/engine/SynthSink.h"

#include "../support/FakeBackend.h"
#include "PlayerFixtures.h"
#include "VirtualClock.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace quillon::player;
using namespace quillon::testing;
using namespace std::chrono_literals;

namespace {

double rms(const std::vector<float>& samples)
{
    double sum = 0;
    for (float s : samples)
        sum += static_cast<double>(s) * s;
    return samples.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

} // namespace

TEST(SynthSink, ASongPlayedIntoTheSynthesizerRendersSoundAndSilenceAfterAllNotesOffAndAMissingSoundFontIsNamed)
{
    auto created = SynthSink::create({.soundFont = "", .openAudio = false, .sampleRate = 44100.0});
    ASSERT_TRUE(created.ok()) << created.reason();
    std::shared_ptr<SynthSink> synth = std::move(created).value();

    EXPECT_LT(rms(synth->render(4410)), 1e-6); // nothing played yet

    // A short song: GM reset, piano chord, pitch bend; sent through a sequencer in virtual time.
    TrackBytes t = millisecondTrack();
    t.event(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7})
        .event(0, {0xC0, 0})
        .event(0, {0x90, 60, 110})
        .event(0, {0x90, 64, 110})
        .event(0, {0xE0, 0x00, 0x48})
        .end(400);
    VirtualClock clock;
    Sequencer sequencer(synth, clock);
    sequencer.load(timelineOf(millisecondSong(t)));
    sequencer.play();
    clock.runFor(100ms); // the notes are on, the end (and its silencing) is not reached

    EXPECT_GT(rms(synth->render(11025)), 1e-3);

    sequencer.pause();        // all notes off, sustain off
    synth->render(44100 * 2); // release tails die away
    EXPECT_LT(rms(synth->render(4410)), 1e-4);

    auto missing = SynthSink::create({.soundFont = "/nonexistent/none.sf2", .openAudio = false, .sampleRate = 44100.0});
    ASSERT_FALSE(missing.ok());
    EXPECT_NE(missing.reason().find("none.sf2"), std::string::npos);
}

TEST(PortSink, SendsEachMessageWithItsOwnLength)
{
    quillon::testing::FakeBackend port("Scripted", {"out"});
    PortSink sink(port.openOutput(port.ref(0, "out")));
    sink.sendShort(0x93, 60, 100);
    sink.sendShort(0xC5, 12, 0);
    sink.sendShort(0xD1, 99, 0);
    sink.sendShort(0xE0, 0x00, 0x40);
    const Bytes sysex{0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    sink.sendSysEx(sysex);
    sink.sendSysEx(Bytes{0xF8}); // an escape packet is no message of its own
    EXPECT_EQ(port.sent, (std::vector<Bytes>{{0x93, 60, 100}, {0xC5, 12}, {0xD1, 99}, {0xE0, 0x00, 0x40}, sysex}));
}
