// Real JACK ports (a server must be running; run-tests.sh starts one with the
// dummy driver). Skipped when no JACK server is reachable.
#include "midi/core/DeviceFrame.h"
#include "midi/io/JackClient.h"
#include "midi/io/MidiSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unistd.h>

using namespace quillon;
using namespace quillon::midi;
using namespace std::chrono_literals;

namespace {

// A JACK MIDI input port inside the test that keeps every message it gets.
class Sink {
public:
    explicit Sink(const std::string& client) : m_client(JackClient::open(client))
    {
        if (!m_client)
            return;
        m_in = m_client->openInputPort("in", [this](std::span<const std::uint8_t> message) { keep(message); });
        portName = m_client->portFullName("in"); // the server may have given the client another name
    }

    bool ready() const { return m_in != nullptr; }
    bool waitFor(std::size_t count, std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_messages.size() >= count; });
    }
    std::vector<frame::Bytes> received()
    {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    void close() { m_in.reset(); }

    std::string portName;

private:
    void keep(std::span<const std::uint8_t> message)
    {
        std::lock_guard lock(m_mutex);
        m_messages.emplace_back(message.begin(), message.end());
        m_changed.notify_all();
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<frame::Bytes> m_messages;
    std::unique_ptr<JackClient> m_client;
    std::unique_ptr<JackPortReader> m_in;
};

class JackPorts : public ::testing::Test {
protected:
    void SetUp() override
    {
        system = MidiSystem::createDefault();
        const auto names = system->backendNames();
        if (std::find(names.begin(), names.end(), "JACK") == names.end())
            GTEST_SKIP() << "no JACK server reachable (set JACK_DEFAULT_SERVER or start jackd)";
        sink = std::make_unique<Sink>("quillon-sink-" + std::to_string(::getpid()));
        ASSERT_TRUE(sink->ready()) << "the test's own JACK port could not be registered";
    }

    PortChoice sinkChoice()
    {
        for (const auto& port : system->outputs()) {
            if (port.ref.backend == "JACK" && port.ref.name == sink->portName)
                return PortChoice::of(port.ref);
        }
        return PortChoice::notChosen();
    }

    static frame::Bytes block(unsigned index)
    {
        frame::Bytes payload(1024);
        for (std::size_t i = 0; i < payload.size(); ++i)
            payload[i] = static_cast<std::uint8_t>((i * 7 + index) & 0x7F);
        return frame::buildDataBlock(24, index, payload);
    }

    std::unique_ptr<MidiSystem> system;
    std::unique_ptr<Sink> sink;
};

} // namespace

TEST_F(JackPorts, BackToBackBigSysExAllArriveInOrderOnAKeptOpenPort)
{
    const auto choice = sinkChoice();
    ASSERT_EQ(choice.kind, PortChoice::Kind::Port) << "the test's own port is not listed";
    auto output = system->openOutput(choice);
    ASSERT_NE(output, nullptr);
    constexpr unsigned count = 64; // 66 KiB without a pause: far more than one JACK cycle carries
    for (unsigned i = 0; i < count; ++i)
        ASSERT_EQ(output->send(block(i)), SendResult::Sent) << "block " << i;
    ASSERT_TRUE(sink->waitFor(count, 5s)) << sink->received().size() << " of " << count << " arrived";
    const auto received = sink->received();
    ASSERT_EQ(received.size(), count);
    for (unsigned i = 0; i < count; ++i)
        EXPECT_EQ(received[i], block(i)) << "block " << i;
}

TEST_F(JackPorts, OpenPerMessageDeliversEachMessageExactlyOnce)
{
    const auto choice = sinkChoice();
    ASSERT_EQ(choice.kind, PortChoice::Kind::Port);
    for (unsigned i = 0; i < 5; ++i)
        ASSERT_EQ(system->sendOne(choice, block(i)), SendResult::Sent);
    ASSERT_TRUE(sink->waitFor(5, 3s));
    std::this_thread::sleep_for(100ms); // long enough for a repeated stale buffer to show up
    const auto received = sink->received();
    ASSERT_EQ(received.size(), 5u);
    for (unsigned i = 0; i < 5; ++i)
        EXPECT_EQ(received[i], block(i));
}

TEST_F(JackPorts, APortThatVanishedFailsCleanly)
{
    const auto choice = sinkChoice();
    ASSERT_EQ(choice.kind, PortChoice::Kind::Port);
    auto kept = system->openOutput(choice);
    ASSERT_NE(kept, nullptr);
    sink->close();
    EXPECT_EQ(system->sendOne(choice, block(0)), SendResult::OpenFailed);
    EXPECT_EQ(system->openOutput(choice), nullptr);
    // The connection opened before the port went away notices and refuses.
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(kept->send(block(1)), SendResult::SendFailed);
}
