// Real JACK ports (a server must be running; run-tests.sh starts one with the
// dummy driver). Skipped when no JACK server is reachable.
#include "curve/core/CurveMessage.h"
#include "midi/core/DeviceFrame.h"
#include "midi/io/JackClient.h"
#include "midi/io/MidiSystem.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
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
        m_out = m_client->openOutputPort("out");
        portName = m_client->portFullName("in"); // the server may have given the client another name
        outName = m_client->portFullName("out");
    }

    bool ready() const { return m_in != nullptr && m_out != nullptr; }
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
    std::string outName;

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
    std::shared_ptr<JackClient> m_client;
    std::unique_ptr<JackPortReader> m_in;
    std::unique_ptr<JackPortWriter> m_out;
};

class JackPorts : public ::testing::Test {
protected:
    void SetUp() override
    {
        sink = std::make_unique<Sink>("quillon-sink-" + std::to_string(::getpid()));
        if (!sink->ready())
            GTEST_SKIP() << "no JACK server reachable (set JACK_DEFAULT_SERVER or start jackd)";
        system = MidiSystem::createDefault();
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

// The program's clients and ports ("Quillon...") that come or go on the
// server, as any other JACK program sees them.
class ClientWatch {
public:
    ClientWatch() : m_client(jack_client_open("quillon-watch", JackNoStartServer, nullptr))
    {
        if (!m_client)
            return;
        jack_set_client_registration_callback(
            m_client,
            [](const char* name, int, void* self) {
                if (std::string_view(name).starts_with("Quillon"))
                    ++static_cast<ClientWatch*>(self)->clientChanges;
            },
            this);
        jack_set_port_registration_callback(
            m_client,
            [](jack_port_id_t id, int, void* self) {
                auto* watch = static_cast<ClientWatch*>(self);
                if (jack_port_t* port = jack_port_by_id(watch->m_client, id))
                    if (std::string_view(jack_port_name(port)).starts_with("Quillon"))
                        ++watch->portChanges;
            },
            this);
        jack_activate(m_client);
    }
    ~ClientWatch()
    {
        if (m_client)
            jack_client_close(m_client);
    }
    // Clients of the program on the server now (by the "client:" of their ports).
    std::set<std::string> programClients() const
    {
        std::set<std::string> clients;
        if (const char** ports = jack_get_ports(m_client, "^Quillon", nullptr, 0)) {
            for (const char** port = ports; *port; ++port)
                clients.insert(std::string(*port).substr(0, std::string(*port).find(':')));
            jack_free(ports);
        }
        return clients;
    }
    std::atomic<int> clientChanges{0};
    std::atomic<int> portChanges{0};

private:
    jack_client_t* m_client;
};

} // namespace

TEST_F(JackPorts, CurvesSentOneByOneAllArriveThroughTheProgramsOneClient)
{
    const auto choice = sinkChoice(); // listing the ports opens the program's client
    ASSERT_EQ(choice.kind, PortChoice::Kind::Port);
    ClientWatch watch;
    std::vector<frame::Bytes> curves;
    for (unsigned i = 0; i < 20; ++i) {
        curve::Table table{};
        for (std::size_t v = 0; v < table.size(); ++v)
            table[v] = static_cast<std::int32_t>(1 + (v + i) % 127);
        const auto message = curve::buildCurveMessage(table);
        ASSERT_TRUE(message.ok());
        curves.push_back(*message);
        ASSERT_EQ(system->sendOne(choice, curves.back()), SendResult::Sent) << "curve " << i;
    }
    ASSERT_TRUE(sink->waitFor(curves.size(), 5s)) << sink->received().size() << " of 20 arrived";
    std::this_thread::sleep_for(50ms); // long enough for a repeated stale buffer to show up
    EXPECT_EQ(sink->received(), curves);
    EXPECT_EQ(watch.clientChanges.load(), 0) << "clients were opened or closed per message";
    EXPECT_LE(watch.portChanges.load(), 1) << "ports were registered or unregistered per message";
    EXPECT_EQ(watch.programClients(), std::set<std::string>{"Quillon"});
}

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

// Open per message without a loop is the curves case above. Here the sink also
// feeds the program's input, as a keyboard that answers does, so the two
// clients form a loop and the sink runs first in each cycle.
TEST_F(JackPorts, OpenPerMessageIntoALoopDeliversEachMessageExactlyOnce)
{
    const auto choice = sinkChoice();
    ASSERT_EQ(choice.kind, PortChoice::Kind::Port);
    const auto answers = system->openInput(PortChoice::of({"JACK", sink->outName, 0}), [](std::uint32_t) {});
    ASSERT_NE(answers, nullptr);
    for (unsigned i = 0; i < 5; ++i)
        ASSERT_EQ(system->sendOne(choice, block(i)), SendResult::Sent) << "block " << i;
    ASSERT_TRUE(sink->waitFor(5, 3s)) << sink->received().size() << " of 5 arrived";
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
