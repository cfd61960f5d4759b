// The built-in synthesizer really makes sound, and the port sink sends whole, correctly sized messages.
#include "player/engine/PortSink.h"
#include "player/engine/RecordingSink.h"
#include "player/engine/Sequencer.h"
#include "player/engine/SynthSink.h"

#include "../support/FakeBackend.h"
#include "PlayerFixtures.h"
#include "VirtualClock.h"

#include <gtest/gtest.h>

using namespace quillon::player;
using namespace quillon::testing;
using namespace std::chrono_literals;

TEST(SynthSink, ASongPlayedIntoTheSynthesizerRendersSound)
{
    auto created = SynthSink::create({.soundFont = "", .openAudio = false, .sampleRate = 44100.0});
    ASSERT_TRUE(created.ok()) << created.reason();
    std::shared_ptr<SynthSink> synth = std::move(created).value();
    TrackBytes t = millisecondTrack();
    t.event(0, {0x90, 60, 110}).end(400);
    VirtualClock clock;
    Sequencer sequencer(synth, clock);
    sequencer.load(timelineOf(millisecondSong(t)));
    sequencer.play();
    clock.runFor(100ms); // the note is on, the end (and its silencing) is not reached
    const auto samples = synth->render(11025);
    double sum = 0;
    for (float sample : samples)
        sum += static_cast<double>(sample) * sample;
    EXPECT_GT(sum / static_cast<double>(samples.size()), 1e-6);
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
