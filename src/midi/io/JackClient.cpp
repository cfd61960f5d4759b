#include "midi/io/JackClient.h"

#include "midi/io/SemaphoreWait.h"

#include <cerrno>
#include <mutex>

namespace quillon::midi {

namespace {

template <typename Slots, typename Port>
bool takeSlot(Slots& slots, Port* port)
{
    for (auto& slot : slots) {
        Port* empty = nullptr;
        if (slot.compare_exchange_strong(empty, port))
            return true;
    }
    return false;
}

template <typename Slots, typename Port>
void leaveSlot(Slots& slots, Port* port)
{
    for (auto& slot : slots) {
        Port* expected = port;
        slot.compare_exchange_strong(expected, nullptr);
    }
}

// Short messages only, packed status first.
MessageCallback shortMessagesOnly(ShortMessageCallback onMessage)
{
    return [onMessage = std::move(onMessage)](std::span<const std::uint8_t> message) {
        if (isShortMessage(message))
            onMessage(packShortMessage(message));
    };
}

} // namespace

void silenceJackMessages()
{
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function([](const char*) {});
        jack_set_info_function([](const char*) {});
    });
}

std::unique_ptr<JackClient> JackClient::open(const std::string& clientName)
{
    silenceJackMessages();
    jack_status_t status{};
    jack_client_t* client = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
    if (!client)
        return nullptr;
    std::unique_ptr<JackClient> self(new JackClient(client));
    const auto countXrun = [](void* owner) {
        static_cast<JackClient*>(owner)->m_xruns.fetch_add(1, std::memory_order_relaxed);
        return 0;
    };
    const auto portsChanged = [](jack_port_id_t, int, void* owner) {
        static_cast<JackClient*>(owner)->m_portWatchers.notify();
    };
    if (jack_set_xrun_callback(client, countXrun, self.get()) != 0 ||
        jack_set_port_registration_callback(client, portsChanged, self.get()) != 0 ||
        jack_set_process_callback(client, &JackClient::process, self.get()) != 0 || jack_activate(client) != 0)
        return nullptr;
    return self;
}

JackClient::JackClient(jack_client_t* client) : m_client(client) { sem_init(&m_cycleDone, 0, 0); }

JackClient::~JackClient()
{
    jack_deactivate(m_client);
    jack_client_close(m_client);
    sem_destroy(&m_cycleDone);
}

std::string JackClient::portFullName(const std::string& portName) const
{
    return std::string(jack_get_client_name(m_client)) + ':' + portName;
}

int JackClient::process(jack_nframes_t frames, void* self)
{
    auto* client = static_cast<JackClient*>(self);
    for (auto& slot : client->m_writers) {
        if (JackPortWriter* writer = slot.load(std::memory_order_acquire))
            writer->process(frames);
    }
    for (auto& slot : client->m_readers) {
        if (JackPortReader* reader = slot.load(std::memory_order_acquire))
            reader->process(frames);
    }
    client->m_cycles.fetch_add(1, std::memory_order_release);
    if (client->m_cycleWaiters.load(std::memory_order_acquire) > 0)
        sem_post(&client->m_cycleDone);
    return 0;
}

bool JackClient::waitCycles(int cycles)
{
    const std::uint64_t target = m_cycles.load() + static_cast<std::uint64_t>(cycles);
    const timespec deadline = monotonicDeadline(std::chrono::milliseconds(1000));
    m_cycleWaiters.fetch_add(1);
    bool reached = true;
    while (m_cycles.load() < target) {
        if (!waitUntil(m_cycleDone, deadline)) {
            reached = false;
            break;
        }
    }
    m_cycleWaiters.fetch_sub(1);
    return reached;
}

jack_port_t* JackClient::registerPort(const std::string& portName, unsigned long flags)
{
    return jack_port_register(m_client, portName.c_str(), JACK_DEFAULT_MIDI_TYPE, flags, 0);
}

bool JackClient::waitUntilConnected(jack_port_t* port)
{
    // The server applies a new connection at a cycle boundary; until then the
    // port reads as unconnected. A loaded machine can take a while; give it half a second.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (jack_port_connected(port) == 0 && std::chrono::steady_clock::now() < giveUp)
        waitCycles(1);
    return jack_port_connected(port) != 0;
}

std::unique_ptr<JackPortWriter> JackClient::openOutputPort(const std::string& portName)
{
    jack_port_t* port = registerPort(portName, JackPortIsOutput);
    if (!port)
        return nullptr;
    auto writer = std::make_unique<JackPortWriter>(*this, port);
    if (!takeSlot(m_writers, writer.get()))
        return nullptr; // the writer's destructor unregisters the port
    return writer;
}

std::unique_ptr<JackPortReader> JackClient::openInputPort(const std::string& portName, MessageCallback onMessage)
{
    jack_port_t* port = registerPort(portName, JackPortIsInput);
    if (!port)
        return nullptr;
    auto reader = std::make_unique<JackPortReader>(*this, port, std::move(onMessage));
    if (!takeSlot(m_readers, reader.get()))
        return nullptr; // the reader's destructor unregisters the port
    return reader;
}

std::unique_ptr<OutputConnection> JackClient::connect(const std::string& destination)
{
    jack_port_t* port = registerPort("out-" + std::to_string(m_nextPortNumber++), JackPortIsOutput);
    if (!port)
        return nullptr;
    const int connected = jack_connect(m_client, jack_port_name(port), destination.c_str());
    if ((connected != 0 && connected != EEXIST) || !waitUntilConnected(port)) {
        jack_port_unregister(m_client, port);
        return nullptr;
    }
    // The connection shows before the cycle that first carries it has begun:
    // a message written in that cycle was seen to get lost. One more cycle.
    waitCycles(1);
    auto writer = std::make_unique<JackPortWriter>(*this, port);
    if (!takeSlot(m_writers, writer.get()))
        return nullptr;
    // The server puts a new connection into its graph at a cycle boundary; a
    // message written before then reaches nobody.
    waitCycles(2);
    return writer;
}

std::unique_ptr<InputConnection> JackClient::listen(const std::string& source, ShortMessageCallback onMessage)
{
    auto reader = openInputPort("in-" + std::to_string(m_nextPortNumber++), shortMessagesOnly(std::move(onMessage)));
    if (!reader)
        return nullptr;
    const int connected = jack_connect(m_client, source.c_str(), jack_port_name(reader->port()));
    if ((connected != 0 && connected != EEXIST) || !waitUntilConnected(reader->port()))
        return nullptr;
    waitCycles(2); // as for outputs: the connection is live only from a cycle boundary on
    return reader;
}

void JackClient::releaseReader(JackPortReader* reader, jack_port_t* port)
{
    jack_port_disconnect(m_client, port);
    leaveSlot(m_readers, reader);
    // A cycle that loaded the reader before it was taken out may still be running.
    waitCycles(2);
    jack_port_unregister(m_client, port);
}

void JackClient::releaseWriter(JackPortWriter* writer, jack_port_t* port)
{
    // JACK keeps an output buffer's content until its owner clears it, so a
    // port left connected without its writer would hand the last message to
    // the destination again in every cycle. Disconnect first, while the
    // writer still clears the buffer each cycle.
    jack_port_disconnect(m_client, port);
    waitCycles(1);
    leaveSlot(m_writers, writer);
    // A cycle that loaded the writer before it was taken out may still be
    // running; two more cycles and it is certainly done with it.
    waitCycles(2);
    jack_port_unregister(m_client, port);
}

} // namespace quillon::midi
