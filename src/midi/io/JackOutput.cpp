#include "midi/io/JackOutput.h"

#include "midi/io/SendTimeout.h"

#include <cerrno>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

#include <jack/midiport.h>
#include <jack/ringbuffer.h>

namespace quillon::midi {

namespace {

timespec monotonicDeadline(std::chrono::milliseconds after)
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long ns = now.tv_nsec + (after.count() % 1000) * 1'000'000LL;
    timespec deadline{};
    deadline.tv_sec = now.tv_sec + after.count() / 1000 + ns / 1'000'000'000LL;
    deadline.tv_nsec = ns % 1'000'000'000LL;
    return deadline;
}

// Sleeps on the semaphore until it is posted or the deadline passes.
bool waitUntil(sem_t& semaphore, const timespec& deadline)
{
    while (true) {
        if (sem_clockwait(&semaphore, CLOCK_MONOTONIC, &deadline) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
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

// One registered output port. The sender and the process callback share one
// message through `m_state`: Idle -> Pending (sender) -> Writing -> Written or
// TooBig (callback, then post) -> Idle (sender). A sender that gives up moves
// Pending back to Idle, so the callback never reads a buffer being replaced.
class JackPortWriter : public OutputConnection {
public:
    enum State : int { Idle, Pending, Writing, Written, TooBig };

    JackPortWriter(JackWriterClient& owner, jack_port_t* port) : m_owner(owner), m_port(port)
    {
        sem_init(&m_done, 0, 0);
    }
    ~JackPortWriter() override
    {
        m_owner.release(this, m_port);
        sem_destroy(&m_done);
    }

    SendResult send(std::span<const std::uint8_t> message) override
    {
        if (jack_port_connected(m_port) == 0)
            return SendResult::SendFailed; // the destination went away
        m_message.assign(message.begin(), message.end());
        m_state.store(Pending, std::memory_order_release);
        const timespec deadline = monotonicDeadline(sendTimeout(message.size()));
        if (!waitUntil(m_done, deadline)) {
            int expected = Pending;
            if (m_state.compare_exchange_strong(expected, Idle))
                return SendResult::SendFailed;
            // The callback took it just now; it finishes within the cycle.
            waitUntil(m_done, monotonicDeadline(std::chrono::milliseconds(1000)));
        }
        const int outcome = m_state.exchange(Idle);
        return outcome == Written ? SendResult::Sent : SendResult::SendFailed;
    }

    // Real-time thread: no locks, no allocation.
    void process(jack_nframes_t frames)
    {
        void* buffer = jack_port_get_buffer(m_port, frames);
        jack_midi_clear_buffer(buffer);
        int expected = Pending;
        if (!m_state.compare_exchange_strong(expected, Writing, std::memory_order_acquire))
            return;
        const bool fits = m_message.size() <= jack_midi_max_event_size(buffer) &&
                          jack_midi_event_write(buffer, 0, m_message.data(), m_message.size()) == 0;
        m_state.store(fits ? Written : TooBig, std::memory_order_release);
        sem_post(&m_done);
    }

private:
    JackWriterClient& m_owner;
    jack_port_t* m_port;
    std::vector<std::uint8_t> m_message;
    std::atomic<int> m_state{Idle};
    sem_t m_done;
};

// One registered input port. The process callback copies short messages into
// a lock-free ring and posts a semaphore; a thread of its own hands them to
// the callback, so the real-time thread never waits on the program.
class JackPortReader : public InputConnection {
public:
    JackPortReader(JackWriterClient& owner, jack_port_t* port, ShortMessageCallback onMessage)
        : m_owner(owner), m_port(port), m_onMessage(std::move(onMessage)), m_ring(jack_ringbuffer_create(kRingBytes))
    {
        sem_init(&m_ready, 0, 0);
        m_thread = std::thread([this] { dispatch(); });
    }
    ~JackPortReader() override
    {
        close();
        jack_ringbuffer_free(m_ring);
        sem_destroy(&m_ready);
    }

    void close() override
    {
        if (m_closed)
            return;
        m_closed = true;
        m_owner.releaseReader(this, m_port); // after this no cycle touches the reader
        m_stop.store(true, std::memory_order_release);
        sem_post(&m_ready);
        m_thread.join(); // the callback is not called again
    }

    // Real-time thread: no locks, no allocation.
    void process(jack_nframes_t frames)
    {
        void* buffer = jack_port_get_buffer(m_port, frames);
        const std::uint32_t count = jack_midi_get_event_count(buffer);
        for (std::uint32_t i = 0; i < count; ++i) {
            jack_midi_event_t event{};
            if (jack_midi_event_get(&event, buffer, i) != 0 || event.buffer == nullptr)
                continue;
            if (event.size == 0 || event.size > 3 || event.buffer[0] == 0xF0)
                continue; // long input is of no use to anyone here
            std::uint32_t packed = 0;
            for (std::size_t b = 0; b < event.size; ++b)
                packed |= std::uint32_t(event.buffer[b]) << (8 * b);
            if (jack_ringbuffer_write_space(m_ring) < sizeof packed) {
                m_overflows.fetch_add(1, std::memory_order_relaxed);
                continue;
            }
            jack_ringbuffer_write(m_ring, reinterpret_cast<const char*>(&packed), sizeof packed);
            sem_post(&m_ready);
        }
    }

private:
    static constexpr std::size_t kRingBytes = 4096;

    void dispatch()
    {
        while (true) {
            while (sem_wait(&m_ready) != 0 && errno == EINTR) {
            }
            if (m_stop.load(std::memory_order_acquire))
                return;
            std::uint32_t packed = 0;
            if (jack_ringbuffer_read(m_ring, reinterpret_cast<char*>(&packed), sizeof packed) == sizeof packed)
                m_onMessage(packed);
        }
    }

    JackWriterClient& m_owner;
    jack_port_t* m_port;
    ShortMessageCallback m_onMessage;
    jack_ringbuffer_t* m_ring;
    sem_t m_ready;
    std::atomic<bool> m_stop{false};
    std::atomic<std::uint64_t> m_overflows{0};
    bool m_closed = false;
    std::thread m_thread;
};

std::unique_ptr<JackWriterClient> JackWriterClient::open(const std::string& clientName)
{
    silenceJackMessages();
    jack_status_t status{};
    jack_client_t* client = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
    if (!client)
        return nullptr;
    std::unique_ptr<JackWriterClient> self(new JackWriterClient(client));
    const auto countXrun = [](void* owner) {
        static_cast<JackWriterClient*>(owner)->m_xruns.fetch_add(1, std::memory_order_relaxed);
        return 0;
    };
    if (jack_set_xrun_callback(client, countXrun, self.get()) != 0 ||
        jack_set_process_callback(client, &JackWriterClient::process, self.get()) != 0 || jack_activate(client) != 0)
        return nullptr;
    return self;
}

JackWriterClient::JackWriterClient(jack_client_t* client) : m_client(client) { sem_init(&m_cycleDone, 0, 0); }

JackWriterClient::~JackWriterClient()
{
    jack_deactivate(m_client);
    jack_client_close(m_client);
    sem_destroy(&m_cycleDone);
}

int JackWriterClient::process(jack_nframes_t frames, void* self)
{
    auto* client = static_cast<JackWriterClient*>(self);
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

bool JackWriterClient::waitCycles(int cycles)
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

std::unique_ptr<OutputConnection> JackWriterClient::connect(const std::string& destination)
{
    const std::string portName = "out-" + std::to_string(m_nextPortNumber++);
    jack_port_t* port = jack_port_register(m_client, portName.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (!port)
        return nullptr;
    const int connected = jack_connect(m_client, jack_port_name(port), destination.c_str());
    if (connected != 0 && connected != EEXIST) {
        jack_port_unregister(m_client, port);
        return nullptr;
    }
    // The server applies a new connection at a cycle boundary; until then the
    // port reads as unconnected and a send would be refused.
    // A loaded machine can take a while; give it half a second.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (jack_port_connected(port) == 0 && std::chrono::steady_clock::now() < giveUp)
        waitCycles(1);
    if (jack_port_connected(port) == 0) {
        jack_port_unregister(m_client, port);
        return nullptr;
    }
    // The connection shows before the cycle that first carries it has begun:
    // a message written in that cycle was seen to get lost. One more cycle.
    waitCycles(1);
    auto writer = std::make_unique<JackPortWriter>(*this, port);
    for (auto& slot : m_writers) {
        JackPortWriter* empty = nullptr;
        if (slot.compare_exchange_strong(empty, writer.get())) {
            // The server puts a new connection into its graph at a cycle
            // boundary; a message written before then reaches nobody.
            waitCycles(2);
            return writer;
        }
    }
    return nullptr; // every slot taken; the writer's destructor unregisters the port
}

std::unique_ptr<InputConnection> JackWriterClient::listen(const std::string& source, ShortMessageCallback onMessage)
{
    const std::string portName = "in-" + std::to_string(m_nextPortNumber++);
    jack_port_t* port = jack_port_register(m_client, portName.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    if (!port)
        return nullptr;
    auto reader = std::make_unique<JackPortReader>(*this, port, std::move(onMessage));
    bool placed = false;
    for (auto& slot : m_readers) {
        JackPortReader* empty = nullptr;
        if (slot.compare_exchange_strong(empty, reader.get())) {
            placed = true;
            break;
        }
    }
    if (!placed)
        return nullptr; // every slot taken; the reader's destructor unregisters the port
    const int connected = jack_connect(m_client, source.c_str(), jack_port_name(port));
    if (connected != 0 && connected != EEXIST)
        return nullptr;
    // As for outputs: the connection is live only from a cycle boundary on.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (jack_port_connected(port) == 0 && std::chrono::steady_clock::now() < giveUp)
        waitCycles(1);
    if (jack_port_connected(port) == 0)
        return nullptr;
    waitCycles(2);
    return reader;
}

void JackWriterClient::releaseReader(JackPortReader* reader, jack_port_t* port)
{
    jack_port_disconnect(m_client, port);
    for (auto& slot : m_readers) {
        JackPortReader* expected = reader;
        slot.compare_exchange_strong(expected, nullptr);
    }
    // A cycle that loaded the reader before it was taken out may still be running.
    waitCycles(2);
    jack_port_unregister(m_client, port);
}

void JackWriterClient::release(JackPortWriter* writer, jack_port_t* port)
{
    // JACK keeps an output buffer's content until its owner clears it, so a
    // port left connected without its writer would hand the last message to
    // the destination again in every cycle. Disconnect first, while the
    // writer still clears the buffer each cycle.
    jack_port_disconnect(m_client, port);
    waitCycles(1);
    for (auto& slot : m_writers) {
        JackPortWriter* expected = writer;
        slot.compare_exchange_strong(expected, nullptr);
    }
    // A cycle that loaded the writer before it was taken out may still be
    // running; two more cycles and it is certainly done with it.
    waitCycles(2);
    jack_port_unregister(m_client, port);
}

} // namespace quillon::midi
