// A chosen port that disappears and comes back (a keyboard unplugged and
// plugged in again) is found again by its backend and name: with a backend
// whose port list changes under the system, and across a real JACK server by
// stopping and restarting quillon-keyboard (skipped when no JACK server answers).
#include "../midi/SendSongs.h"
#include "../support/FakeBackend.h"
#include "../support/KeyboardProcess.h"
#include "midi/core/DeviceFrame.h"
#include "midi/io/MidiSystem.h"
#include "transfer/io/TransferRunner.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quillon;
using namespace quillon::midi;
using namespace quillon::transfer;
using namespace std::chrono_literals;

namespace {

using quillon::testing::FakeBackend;
using quillon::testing::KeyboardProcess;

struct TwoBackends {
    FakeBackend* alsa = nullptr;
    FakeBackend* jack = nullptr;
    std::unique_ptr<MidiSystem> system;

    TwoBackends()
    {
        std::vector<std::unique_ptr<Backend>> backends;
        alsa = static_cast<FakeBackend*>(backends.emplace_back(std::make_unique<FakeBackend>("ALSA")).get());
        jack = static_cast<FakeBackend*>(backends.emplace_back(std::make_unique<FakeBackend>("JACK")).get());
        system = std::make_unique<MidiSystem>(std::move(backends));
    }
    std::optional<PortRef> out(const PortChoice& choice) { return system->resolve(choice, Direction::Output); }
};

TEST(PortReconnect, ChoiceFindsItsPortAgainAfterItVanishedAndCameBackElsewhereOrUnderANewClientNumber)
{
    TwoBackends midi;
    midi.jack->m_outputs = {"synth:in", "keys:in"};
    midi.jack->m_inputs = {"keys-out:out"};
    const PortChoice out = midi.system->choiceForIndex(0, Direction::Output); // the device with both ports comes first
    const PortChoice in = midi.system->choiceForIndex(0, Direction::Input);

    // Unplugged: the choice names nothing and sending fails; the choice itself stays.
    midi.jack->m_outputs = {"synth:in"};
    midi.jack->m_inputs = {};
    EXPECT_EQ(midi.out(out), std::nullopt);
    EXPECT_EQ(midi.system->openInput(in, [](std::uint32_t) {}), nullptr);

    // Plugged in again after other devices: same name, new place in the list.
    midi.jack->m_outputs = {"drums:in", "synth:in", "pad:in", "keys:in"};
    midi.jack->m_inputs = {"drums-out:out", "keys-out:out"};
    EXPECT_EQ(midi.out(out), (PortRef{"JACK", "keys:in", 3}));
    EXPECT_EQ(midi.system->resolve(in, Direction::Input), (PortRef{"JACK", "keys-out:out", 1}));
    EXPECT_EQ(midi.system->sendOne(out, frame::buildTransferControl()), SendResult::Sent);
    EXPECT_NE(midi.system->openInput(in, [](std::uint32_t) {}), nullptr);
    EXPECT_EQ(midi.jack->sent.size(), 1u);

    // Only the same backend and the same name count.
    midi.jack->m_outputs = {"keys:in2", "Keys:in"};
    midi.alsa->m_outputs = {"keys:in"};
    EXPECT_EQ(midi.out(out), std::nullopt);

    // ALSA names end in the port's address, which a replugged keyboard need not get again.
    midi.jack->m_outputs = midi.jack->m_inputs = {};
    midi.alsa->m_outputs = {"Through:Through Port-0 14:0", "Keys:Keys MIDI 1 24:0"};
    const PortChoice alsa = midi.system->choiceForIndex(1, Direction::Output);
    midi.alsa->m_outputs = {"Through:Through Port-0 14:0", "Other:Other MIDI 1 24:0", "Keys:Keys MIDI 1 28:0"};
    EXPECT_EQ(midi.out(alsa), (PortRef{"ALSA", "Keys:Keys MIDI 1 28:0", 2}));
    EXPECT_EQ(midi.system->sendOne(alsa, frame::buildTransferControl()), SendResult::Sent);

    // The exact name still comes first; another port of the same device is not taken for it.
    midi.alsa->m_outputs = {"Keys:Keys MIDI 1 28:0", "Keys:Keys MIDI 1 24:0"};
    EXPECT_EQ(midi.out(alsa), (PortRef{"ALSA", "Keys:Keys MIDI 1 24:0", 1}));
    midi.alsa->m_outputs = {"Keys:Keys MIDI 2 24:1"};
    EXPECT_EQ(midi.out(alsa), std::nullopt);
}

TEST(PortReconnectJack, SendingWorksAgainAfterTheKeyboardProgramRestarts)
{
    const quillon::testing::TempFolder folder;
    const std::string name = "quillon-kbd-reconnect-" + std::to_string(::getpid());
    KeyboardProcess keyboard(name, folder.path() / "keyboard.log");
    if (!keyboard.start())
        GTEST_SKIP() << "quillon-keyboard could not start on JACK (no server reachable?): " << keyboard.log();

    auto system = MidiSystem::createDefault();
    const PortChoice out = PortChoice::of({"JACK", name + ":in", 0}), in = PortChoice::of({"JACK", name + ":out", 0});
    if (!system->resolve(out, Direction::Output) || !system->resolve(in, Direction::Input))
        GTEST_SKIP() << "this program reaches no JACK server of its own";
    if (!system->routeTraits(out).eightBitSysEx)
        GTEST_SKIP()
            << "this server changes 8-bit SysEx, so songs are refused up front (midi_jack_transfer checks that)";

    const frame::Bytes bytes = midi::testing::songFile(3000, 31);
    auto sendSong = [&] { return midi::testing::sendSongs(*system, {{bytes, 3}}, out, in, 3000ms).outcome; };

    EXPECT_EQ(sendSong(), TransferOutcome::Finished) << keyboard.log();

    // Resolving a choice as the port list changes is the test above's; here the JACK ports really go and come back.
    ASSERT_TRUE(keyboard.stop());
    EXPECT_EQ(system->sendOne(out, frame::buildTransferControl()), SendResult::OpenFailed);

    ASSERT_TRUE(keyboard.start()) << keyboard.log();
    EXPECT_EQ(sendSong(), TransferOutcome::Finished) << keyboard.log();
}

} // namespace
