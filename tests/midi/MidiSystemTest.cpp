// The MIDI layer through its public face: port lists and choices, the built-in
// keyboard driven by the core handshake, failures of vanished or busy ports.
#include "FakeBackend.h"
#include "SendSongs.h"

#include "base/core/Messages.h"
#include "midi/io/MidiSystem.h"
#include "midi/io/TransferRunner.h"
#include "midi/io/VirtualKeyboard.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <random>
#include <thread>

using namespace quillon;
using namespace quillon::midi;
using namespace std::chrono_literals;
using midi::testing::FakeBackend;
using midi::testing::sendSongs;

namespace {

frame::Bytes songFile(std::size_t bodyLength, unsigned seed)
{
    frame::Bytes song = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96};
    std::mt19937 rng(seed);
    for (std::size_t i = 0; i < bodyLength; ++i)
        song.push_back(static_cast<std::uint8_t>(rng()));
    return song;
}

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

TEST_F(WithKeyboard, RepliesComeFromTheKeyboardsThreadNotFromSend)
{
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::pair<std::uint32_t, std::thread::id>> replies;
    auto input = system->openInput(builtIn(), [&](std::uint32_t packed) {
        std::lock_guard lock(mutex);
        replies.emplace_back(packed, std::this_thread::get_id());
        arrived.notify_one();
    });
    ASSERT_NE(input, nullptr);
    EXPECT_EQ(system->sendOne(builtIn(), frame::buildTransferControl()), SendResult::Sent);
    EXPECT_EQ(system->sendOne(builtIn(), frame::buildSongHeader(3, 0)), SendResult::Sent);
    std::unique_lock lock(mutex);
    ASSERT_TRUE(arrived.wait_for(lock, 2s, [&] { return replies.size() == 2; }));
    EXPECT_EQ(replies[0].first, 0x7F3690u); // Note On, note 54 (ready), velocity 127
    EXPECT_EQ(replies[1].first, 0x7F3790u); // note 55: the zero-block song is done
    EXPECT_NE(replies[0].second, std::this_thread::get_id());
    lock.unlock();
    input->close();
    input->close(); // twice is harmless
}

TEST(Stalls, AStallNamesWhatIsKnownAndOnlyWhatHappenedDuringTheWait)
{
    using Change = std::function<void(FakeBackend&)>;
    const std::string silent(text::kStallKeyboardSilent);
    const std::string missed3 =
        std::string(text::kStallMissedCycles) + "3" + std::string(text::kStallMissedCyclesSuffix);
    const std::string bridged = silent + " " + std::string(text::kStallThroughBridge);
    struct Case {
        const char* what;
        Change duringWait;
        Stall stall;
        std::string detail;
        std::string output = "keys:in";
    };
    const std::vector<Case> cases = {
        {"silent keyboard", {}, {StallCause::KeyboardSilent, 0, false}, silent},
        {"cycles missed while waiting",
         [](FakeBackend& fake) { fake.missed += 3; },
         {StallCause::KeyboardSilent, 3, false},
         silent + " " + missed3},
        {"server stopped",
         [](FakeBackend& fake) { fake.stops = 1; },
         {StallCause::ServerStopped, 0, false},
         std::string(text::kStallServerStopped)},
        {"server runs no cycles (paused or stuck)",
         [](FakeBackend& fake) {
             fake.lastCycle = std::chrono::steady_clock::now() - std::chrono::seconds(3);
             fake.missed += 3; // its own doing: not mentioned
         },
         {StallCause::NoCycles, 3, false},
         std::string(text::kStallNoCycles)},
        {"port gone",
         [](FakeBackend& fake) { fake.m_inputs.clear(); },
         {StallCause::PortGone, 0, false},
         std::string(text::kStallPortGone)},
        {"bridge to hardware",
         {},
         {StallCause::KeyboardSilent, 0, true},
         bridged,
         "a2j:Keys [24] (playback): Keys MIDI 1"},
        {"server's own ALSA port", {}, {StallCause::KeyboardSilent, 0, true}, bridged, "system:midi_playback_1"},
    };
    for (const auto& c : cases) {
        std::vector<std::unique_ptr<Backend>> backends;
        auto* fake = static_cast<FakeBackend*>(backends.emplace_back(std::make_unique<FakeBackend>("JACK")).get());
        MidiSystem system(std::move(backends));
        fake->m_outputs = {c.output};
        fake->m_inputs = {"keys:out"};
        fake->missed = 5; // cycles missed before the wait are not its business
        fake->afterSend = c.duringWait;
        const auto report = sendSongs(system, {{songFile(10, 1), 1}}, system.choiceForIndex(0, Direction::Output),
                                      system.choiceForIndex(0, Direction::Input), 100ms);
        EXPECT_EQ(report.outcome, TransferOutcome::NoReply) << c.what;
        EXPECT_EQ(report.stall, c.stall) << c.what;
        EXPECT_EQ(report.detail, c.detail) << c.what;
    }
}

TEST_F(WithKeyboard, DefaultRouteIsTheRealDeviceWithAnInputElseTheBuiltInKeyboard)
{
    const auto route = system->resolve(PortChoice::defaultRoute(), Direction::Output);
    ASSERT_TRUE(route.has_value());
    EXPECT_EQ(route->backend, VirtualKeyboard::kBackendName);

    // A synth alone could not answer a transfer: the default stays on the built-in keyboard.
    fake->m_outputs = {"synth", "keyboard"};
    EXPECT_EQ(system->resolve(PortChoice::defaultRoute(), Direction::Output)->backend, VirtualKeyboard::kBackendName);
    fake->m_inputs = {"keyboard"};
    const auto real = system->resolve(PortChoice::defaultRoute(), Direction::Output);
    ASSERT_TRUE(real.has_value());
    EXPECT_EQ(*real, (PortRef{"Fake", "keyboard", 1}));
    EXPECT_EQ(system->sendOne(PortChoice::defaultRoute(), frame::buildTransferControl()), SendResult::Sent);
    EXPECT_EQ(fake->sent.size(), 1u);
    EXPECT_EQ(system->resolve(PortChoice::notChosen(), Direction::Output), std::nullopt);
}

TEST_F(WithKeyboard, ListIndicesMatchTheLists)
{
    fake->m_outputs = {"a", "b", "b"};
    ASSERT_EQ(system->outputs().size(), 4u);
    EXPECT_EQ(system->outputs()[0].ref.name, VirtualKeyboard::kPortName);
    EXPECT_EQ(system->choiceForIndex(-1, Direction::Output), PortChoice::defaultRoute());
    EXPECT_EQ(system->choiceForIndex(-1, Direction::Input).kind, PortChoice::Kind::NotChosen);
    EXPECT_EQ(system->choiceForIndex(4, Direction::Output).kind, PortChoice::Kind::NotChosen);
    EXPECT_EQ(system->choiceForIndex(-5, Direction::Output).kind, PortChoice::Kind::NotChosen);

    const auto secondB = system->choiceForIndex(3, Direction::Output);
    EXPECT_EQ(secondB.port, (PortRef{"Fake", "b", 2}));
    EXPECT_EQ(system->resolve(secondB, Direction::Output), (PortRef{"Fake", "b", 2}));
    // How a choice follows its port when the list changes is PortReconnectTest's.
}

// A transfer needs both its ports: an input held by another program or an
// output that went away stops it before anything is sent.
TEST_F(WithKeyboard, ATransferWithoutItsInputOrOutputSendsNothing)
{
    fake->m_outputs = {"keyboard"};
    fake->m_inputs = {"keyboard"};
    const auto out = system->choiceForIndex(0, Direction::Output); // a real device is listed first
    const auto in = system->choiceForIndex(0, Direction::Input);

    fake->inputHeldElsewhere = true;
    EXPECT_EQ(sendSongs(*system, {{songFile(10, 1), 1}}, out, in).outcome, TransferOutcome::NoInput);
    EXPECT_TRUE(fake->sent.empty());

    fake->m_outputs.clear();
    EXPECT_EQ(system->sendOne(PortChoice::notChosen(), frame::buildTransferControl()), SendResult::OpenFailed);
    EXPECT_EQ(sendSongs(*system, {{songFile(10, 1), 1}}, out, builtIn()).outcome, TransferOutcome::NoOutput);
    EXPECT_EQ(system->keyboard()->messagesReceived(), 0u);
}
