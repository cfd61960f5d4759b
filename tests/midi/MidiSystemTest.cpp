// The MIDI layer through its public face: port lists and choices, the built-in
// keyboard driven by the core handshake, failures of vanished or busy ports.
#include "../support/FakeBackend.h"
#include "SendSongs.h"

#include "base/core/Messages.h"
#include "midi/io/MidiSystem.h"
#include "midi/io/VirtualKeyboard.h"
#include "transfer/io/TransferRunner.h"

#include <gtest/gtest.h>

#include <functional>

using namespace quillon;
using namespace quillon::midi;
using namespace quillon::transfer;
using namespace std::chrono_literals;
using midi::testing::sendSongs;
using midi::testing::songFile;
using quillon::testing::FakeBackend;

namespace {

PortChoice builtIn() { return PortChoice::of({VirtualKeyboard::kBackendName, VirtualKeyboard::kPortName, 0}); }

// The built-in keyboard and a backend whose ports a test sets.
class WithKeyboard : public ::testing::Test {
protected:
    WithKeyboard()
    {
        std::vector<std::unique_ptr<Backend>> backends;
        backends.push_back(std::make_unique<VirtualKeyboard>());
        fake = static_cast<FakeBackend*>(backends.emplace_back(std::make_unique<FakeBackend>("Fake")).get());
        system = std::make_unique<MidiSystem>(std::move(backends));
    }
    FakeBackend* fake;
    std::unique_ptr<MidiSystem> system;
};

} // namespace

// Which slot keeps which song is the keyboard model's to check; here the runner's road, port kept open or not.
TEST_F(WithKeyboard, SongsArriveByteExactInTheirSlotsWithPortKeptOpenOrNot)
{
    const auto small = songFile(100, 1);
    const auto large = songFile(20000, 2); // many blocks
    auto* keyboard = system->keyboard();
    for (bool keepOpen : {true, false}) {
        keyboard->reset();
        const auto report = sendSongs(*system, {{small, 5}, {large, 28}}, builtIn(), builtIn(), 5000ms, keepOpen);
        ASSERT_EQ(report.outcome, TransferOutcome::Finished) << outcomeName(report.outcome);
        EXPECT_EQ(keyboard->song(5), small);
        EXPECT_EQ(keyboard->song(28), large);
        EXPECT_TRUE(keyboard->errors().empty());
        EXPECT_FALSE(keyboard->transferOpen()); // the closing control message arrived
        EXPECT_EQ(report.messagesSent, keyboard->messagesReceived());
    }
}

// A stall names what is known and only what happened during the wait; a transfer
// that cannot start sends nothing at all.
TEST(Stalls, AStallNamesWhatIsKnownAndATransferThatCannotStartSendsNothing)
{
    using Change = std::function<void(FakeBackend&)>;
    using enum StallCause;
    using enum TransferOutcome;
    const std::string silent(text::kStallKeyboardSilent);
    const std::string missed3 =
        silent + " " + std::string(text::kStallMissedCycles) + "3" + std::string(text::kStallMissedCyclesSuffix);
    const std::string bridged = silent + " " + std::string(text::kStallThroughBridge);
    // The keyboard takes the control message and the header, then nothing more.
    const Change noBlockReply = [](FakeBackend& fake) {
        if (fake.sent.size() <= 2)
            fake.inject(fake.sent.size() == 1 ? 0x7F3690 : 0x7F3590);
    };
    const Change freeze = [](FakeBackend& fake) {
        fake.lastCycle = std::chrono::steady_clock::now() - std::chrono::seconds(3);
        fake.missed += 3; // its own doing: not mentioned
    };
    const Change mangle = [](FakeBackend& fake) { fake.traits.eightBitSysEx = false; };
    struct Case {
        const char* what;
        Change before, during; // before anything is sent; after each send
        Stall stall;
        std::string_view detail;
        std::string backend = "JACK", output = "keys:in";
        TransferOutcome outcome = NoReply;
    };
    const Case cases[] = {
        {"silent keyboard", {}, {}, {}, silent},
        {"cycles missed while waiting", {}, [](FakeBackend& f) { f.missed += 3; }, {KeyboardSilent, 3}, missed3},
        {"server stopped", {}, [](FakeBackend& f) { f.stops = 1; }, {ServerStopped}, text::kStallServerStopped},
        {"server runs no cycles (paused or stuck)", {}, freeze, {NoCycles, 3}, text::kStallNoCycles},
        {"drops some", {}, [](FakeBackend& f) { f.traits.dropsMessages = true; }, {MaybeLost}, text::kStallMaybeLost},
        {"port gone", {}, [](FakeBackend& f) { f.m_inputs.clear(); }, {PortGone}, text::kStallPortGone},
        {"bridge", {}, {}, {KeyboardSilent, 0, true}, bridged, "JACK", "a2j:Keys [24] (playback): Keys MIDI 1"},
        {"ALSA, block unanswered", {}, noBlockReply, {.blockOverAlsa = true}, text::kStallBlockOverAlsa, "ALSA raw"},
        {"JACK, block unanswered", {}, noBlockReply, {}, silent},
        // Every song has 8-bit data blocks, which such a server changes.
        {"server changes 8-bit bytes", mangle, {}, {}, text::kRefusedEightBitRoute, "JACK", "keys:in", Refused},
        {"input held", [](FakeBackend& f) { f.inputHeldElsewhere = true; }, {}, {}, "", "JACK", "keys:in", NoInput},
        {"output gone", [](FakeBackend& f) { f.m_outputs.clear(); }, {}, {}, "", "JACK", "keys:in", NoOutput},
    };
    for (const auto& c : cases) {
        std::vector<std::unique_ptr<Backend>> backends;
        auto* fake = static_cast<FakeBackend*>(backends.emplace_back(std::make_unique<FakeBackend>(c.backend)).get());
        MidiSystem system(std::move(backends));
        fake->m_outputs = {c.output};
        fake->m_inputs = {"keys:out"};
        fake->missed = 5; // cycles missed before the wait are not its business
        fake->afterSend = c.during;
        const auto out = system.choiceForIndex(0, Direction::Output);
        const auto in = system.choiceForIndex(0, Direction::Input);
        if (c.before)
            c.before(*fake);
        const auto report = sendSongs(system, {{songFile(1000, 1), 1}}, out, in, 100ms);
        EXPECT_EQ(report.outcome, c.outcome) << c.what;
        EXPECT_EQ(report.stall, c.stall) << c.what;
        EXPECT_EQ(report.detail, c.detail) << c.what;
        EXPECT_EQ(fake->sent.empty(), c.outcome != NoReply) << c.what;
    }
}

// Looks on time that find the server's last cycle old tell a server that
// paused; a look far later than meant tells that this program was stopped.
TEST(Stalls, LooksDuringAWaitTellAPausedServerFromAStoppedSender)
{
    using Clock = WaitTimeline::Clock;
    const struct {
        const char* what;
        std::vector<std::pair<int, int>> looks; // ms into the wait; age of the last cycle then (-1: no clock)
        bool senderStopped, serverPaused;
    } cases[] = {
        {"all well", {{1000, 1}, {2000, 3}, {3000, 2}}, false, false},
        {"server paused, then went on", {{1000, 1}, {2000, 1001}, {3000, 1}}, false, true},
        {"sender stopped for 10 s", {{1000, 1}, {11000, 5}}, true, false},
        {"sender stopped, no server clock", {{1000, -1}, {11000, -1}}, true, false},
        {"no server clock", {{1000, -1}, {2000, -1}}, false, false},
    };
    for (const auto& c : cases) {
        WaitTimeline timeline(1000ms);
        const auto start = Clock::now();
        timeline.restart(start);
        for (const auto& [at, age] : c.looks) {
            const auto now = start + std::chrono::milliseconds(at);
            timeline.look(now, age < 0 ? std::nullopt : std::optional(now - std::chrono::milliseconds(age)));
        }
        EXPECT_EQ(timeline.senderStopped(), c.senderStopped) << c.what;
        EXPECT_EQ(timeline.serverPaused(), c.serverPaused) << c.what;
    }
}

// The default is the keyboard, as real machines name their ports: never the
// kernel's loopback, one device both ways, a direct port before a bridge.
TEST(DefaultDevice, IsTheKeyboardAmongRealWorldPortNames)
{
    struct Ports {
        std::string backend;
        std::vector<std::string> outputs, inputs;
    };
    const Ports bridgedKeys{
        "JACK",
        {"Midi-Bridge:Synth:(playback_0) Synth MIDI 1", "Midi-Bridge:USB Keys:(playback_0) USB Keys MIDI 1"},
        {"Midi-Bridge:Pads:(capture_0) Pads MIDI 1", "Midi-Bridge:USB Keys:(capture_0) USB Keys MIDI 1"}};
    const Ports seqKeys{
        "ALSA",
        {"Midi Through:Midi Through Port-0 14:0", "USB Keys:USB Keys MIDI 1 20:0", "USB Keys:USB Keys MIDI 1 24:0"},
        {"Midi Through:Midi Through Port-0 14:0", "USB Keys:USB Keys MIDI 1 24:0", "Pads:Pads MIDI 1 28:0"}};
    const std::string builtInPort(VirtualKeyboard::kPortName);
    const struct {
        const char* what;
        std::vector<Ports> backends;
        std::string output, input; // the built-in keyboard's port when no device pairs
    } cases[] = {
        {"loopbacks behind either bridge, the server's own ports and a synth that cannot answer",
         {{"JACK",
           {"Midi-Bridge:Midi Through:(playback_0) Midi Through Port-0",
            "a2j:Midi Through [14] (playback): Midi Through Port-0", "system:midi_playback_1", "synth:in"},
           {"Midi-Bridge:Midi Through:(capture_0) Midi Through Port-0",
            "a2j:Midi Through [14] (capture): Midi Through Port-0", "system:midi_capture_1"}},
          {"ALSA", {seqKeys.outputs[0]}, {seqKeys.inputs[0]}}},
         builtInPort,
         builtInPort},
        {"raw MIDI paired by card",
         {{"ALSA raw", {"S:S hw:2,0,0", "K:K hw:1,0,0"}, {"S:S hw:3,0,0", "K:K hw:1,0,0"}}},
         "K:K hw:1,0,0",
         "K:K hw:1,0,0"},
        {"a program's output on a second client",
         {{"JACK", {"synth:in", "kbd:in"}, {"kbd-out:out"}}},
         "kbd:in",
         "kbd-out:out"},
        {"one device behind a bridge, each port one way", {bridgedKeys}, bridgedKeys.outputs[1], bridgedKeys.inputs[1]},
        {"the sequencer paired by client number, before the bridge",
         {bridgedKeys, seqKeys},
         seqKeys.outputs[2],
         seqKeys.inputs[1]},
    };
    for (const auto& c : cases) {
        std::vector<std::unique_ptr<Backend>> backends;
        backends.push_back(std::make_unique<VirtualKeyboard>());
        for (const auto& ports : c.backends)
            backends.push_back(std::make_unique<FakeBackend>(ports.backend, ports.outputs, ports.inputs));
        MidiSystem system(std::move(backends));
        const auto pair = system.defaultDevice();
        ASSERT_TRUE(pair) << c.what;
        EXPECT_EQ(pair->output.name, c.output) << c.what;
        EXPECT_EQ(pair->input.name, c.input) << c.what;
        EXPECT_EQ(system.resolve(PortChoice::defaultRoute(), Direction::Output), pair->output) << c.what;
        EXPECT_EQ(system.outputs().front().ref, pair->output) << c.what;
    }
}

// An index past either end chooses nothing (and sends nowhere); a repeated name is told apart by its place.
TEST_F(WithKeyboard, ListIndicesMatchTheLists)
{
    fake->m_outputs = {"a", "b", "b"};
    EXPECT_EQ(system->choiceForIndex(-1, Direction::Output), PortChoice::defaultRoute());
    for (const int index : {-5, 4})
        EXPECT_EQ(system->choiceForIndex(index, Direction::Output).kind, PortChoice::Kind::NotChosen) << index;
    EXPECT_EQ(system->sendOne(PortChoice::notChosen(), frame::buildTransferControl()), SendResult::OpenFailed);
    const auto secondB = system->choiceForIndex(3, Direction::Output);
    EXPECT_EQ(system->resolve(secondB, Direction::Output), (PortRef{"Fake", "b", 2}));
    // How a choice follows its port when the list changes is PortReconnectTest's.
}
