#include "midi/io/JackClient.h"

#include "midi/io/SemaphoreWait.h"

#include <cerrno>
#include <condition_variable>
#include <thread>
#include <utility>

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

// An output port of the client's pool, connected for as long as this lives.
class JackClient::BorrowedOutput : public OutputConnection {
public:
    BorrowedOutput(std::shared_ptr<JackClient> client, JackPortWriter* writer)
        : m_client(std::move(client)), m_writer(writer)
    {
    }
    ~BorrowedOutput() override
    {
        takeBackReplySend();
        m_writer->tolerateStall({});
        m_client->giveBack(m_writer);
    }
    SendResult send(std::span<const std::uint8_t> message) override { return m_writer->send(message); }
    void tolerateStall(std::chrono::milliseconds patience) override { m_writer->tolerateStall(patience); }
    bool reusable() const override { return !m_gate && m_writer->connected(); }
    bool sendOnReply(InputConnection& input, std::uint8_t replyNote, std::span<const std::uint8_t> message) override;
    SendResult takeBackReplySend() override
    {
        if (!m_gate)
            return SendResult::SendFailed;
        std::exchange(m_gate, nullptr)->clearGate();
        return m_writer->disarm();
    }

private:
    std::shared_ptr<JackClient> m_client;
    JackPortWriter* m_writer;
    JackPortReader* m_gate = nullptr; // the input armed to release a message
};

// An input port of the client's pool, connected and listening until closed.
class JackClient::BorrowedInput : public InputConnection {
public:
    BorrowedInput(std::shared_ptr<JackClient> client, JackPortReader* reader)
        : m_client(std::move(client)), m_reader(reader)
    {
    }
    ~BorrowedInput() override { close(); }
    void close() override
    {
        if (m_reader)
            m_client->giveBack(std::exchange(m_reader, nullptr));
    }
    // The reader, while this is open and belongs to `client`.
    JackPortReader* readerOf(const JackClient& client) const { return m_client.get() == &client ? m_reader : nullptr; }

private:
    std::shared_ptr<JackClient> m_client;
    JackPortReader* m_reader;
};

// Both ports belong to this client, so its process callback can hand the
// reply to the writer within one cycle: readers run before writers.
bool JackClient::BorrowedOutput::sendOnReply(InputConnection& input, std::uint8_t replyNote,
                                             std::span<const std::uint8_t> message)
{
    auto* borrowed = dynamic_cast<BorrowedInput*>(&input);
    JackPortReader* reader = borrowed ? borrowed->readerOf(*m_client) : nullptr;
    if (!reader || m_gate)
        return false;
    m_writer->arm(message);
    reader->armGate(m_writer, replyNote);
    m_gate = reader;
    return true;
}

void silenceJackMessages()
{
    static std::once_flag once;
    std::call_once(once, [] {
        jack_set_error_function([](const char*) {});
        jack_set_info_function([](const char*) {});
    });
}

namespace {

// jack_client_open() on a thread of its own: a server that is stopped (not
// gone) accepts the connection and never answers. After the deadline the
// opening is abandoned; should it still succeed, the thread closes it again.
jack_client_t* openWithin(const std::string& clientName, std::chrono::milliseconds timeout)
{
    struct Opening {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        bool abandoned = false;
        jack_client_t* client = nullptr;
    };
    auto opening = std::make_shared<Opening>();
    std::thread([opening, clientName] {
        jack_status_t status{};
        jack_client_t* client = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
        std::unique_lock lock(opening->mutex);
        if (opening->abandoned) {
            lock.unlock();
            if (client)
                jack_client_close(client);
            return;
        }
        opening->client = client;
        opening->finished = true;
        opening->done.notify_all();
    }).detach();
    std::unique_lock lock(opening->mutex);
    if (!opening->done.wait_for(lock, timeout, [&] { return opening->finished; })) {
        opening->abandoned = true;
        return nullptr;
    }
    return opening->client;
}

} // namespace

std::shared_ptr<JackClient> JackClient::open(const std::string& clientName, Events events)
{
    silenceJackMessages();
    // JackNoStartServer: a missing server makes this fail at once.
    jack_client_t* client = openWithin(clientName, JackServerCalls::kDefaultTimeout);
    if (!client)
        return nullptr;
    std::shared_ptr<JackClient> self(new JackClient(client, std::move(events)));
    if (!pipeWireVersion().empty())
        self->m_realtime->settleCycles = kPipeWireSettleCycles;
    if (!self->registerCallbacks())
        return nullptr;
    bool activated = false;
    if (!self->m_calls.run([&] { activated = jack_activate(client) == 0; }) || !activated)
        return nullptr;
    return self;
}

JackClient::JackClient(jack_client_t* client, Events events)
    : m_client(client), m_name(jack_get_client_name(client)), m_realtime(new Realtime)
{
    sem_init(&m_realtime->cycleDone, 0, 0);
    m_realtime->events = std::move(events);
}

// Every callback the client takes from the server, in one place; all of them
// get the Realtime part, which outlives a client the server no longer answers.
bool JackClient::registerCallbacks()
{
    const auto countXrun = [](void* realtime) {
        static_cast<Realtime*>(realtime)->xruns.fetch_add(1, std::memory_order_relaxed);
        return 0;
    };
    const auto portsChanged = [](jack_port_id_t, int, void* realtime) {
        static_cast<Realtime*>(realtime)->portWatchers.notify();
    };
    const auto connectionChanged = [](jack_port_id_t, jack_port_id_t, int, void* realtime) {
        static_cast<Realtime*>(realtime)->connectionChanges.fetch_add(1, std::memory_order_release);
    };
    // jackd2 calls the one with the reason when both are set, PipeWire 0.3 only the plain one.
    jack_on_info_shutdown(
        m_client, [](jack_status_t, const char*, void* realtime) { serverGone(realtime); }, m_realtime);
    jack_on_shutdown(m_client, &JackClient::serverGone, m_realtime);
    return jack_set_xrun_callback(m_client, countXrun, m_realtime) == 0 &&
           jack_set_port_registration_callback(m_client, portsChanged, m_realtime) == 0 &&
           jack_set_port_connect_callback(m_client, connectionChanged, m_realtime) == 0 &&
           jack_set_process_callback(m_client, &JackClient::process, m_realtime) == 0;
}

std::string JackClient::pipeWireVersion()
{
    // PipeWire's libjack says "3.0.0.0 (using PipeWire 1.4.2)"; jackd2's a bare "1.9.21".
    const std::string_view text = jack_get_version_string();
    constexpr std::string_view kMark = "PipeWire ";
    const auto at = text.find(kMark);
    if (at == std::string_view::npos)
        return {};
    const auto version = text.substr(at + kMark.size());
    return std::string(version.substr(0, version.find_first_not_of("0123456789.")));
}

bool JackClient::carriesEightBitSysEx()
{
    // PipeWire 1.x passes JACK MIDI through its own event format, which
    // clears the top bit of every byte inside a SysEx.
    const std::string version = pipeWireVersion();
    return version.empty() || version.starts_with("0.");
}

void JackClient::serverGone(void* realtime)
{
    auto* state = static_cast<Realtime*>(realtime);
    if (state->serverGone.exchange(true, std::memory_order_acq_rel))
        return;                  // told twice
    sem_post(&state->cycleDone); // a waiter for cycles need not wait for its deadline
    if (state->events.onServerGone)
        state->events.onServerGone();
}

JackClient::~JackClient()
{
    // Once the server has stopped calling back, nothing of the client is in
    // use. After the server went away libjack has dropped the client's shared
    // state and crashes in jack_deactivate() or jack_client_close(): the
    // handle is left as it is.
    const bool serverGone = m_realtime->serverGone.load(std::memory_order_acquire);
    bool quiet = !serverGone && m_calls.run([this] { jack_deactivate(m_client); });
    m_closing = true; // the ports below go with the client; no request per port
    m_outputPool.clear();
    m_inputPool.clear();
    quiet = quiet && m_calls.run([this] { jack_client_close(m_client); });
    if (quiet) {
        sem_destroy(&m_realtime->cycleDone);
        delete m_realtime;
    }
    // Otherwise the server may still call back into m_realtime some day: it is
    // left allocated, as is the client handle libjack still holds.
}

bool JackClient::serverRunning() const
{
    return !m_realtime->serverGone.load(std::memory_order_acquire) && !m_calls.stuck();
}

std::vector<std::string> JackClient::otherPorts(unsigned long flags) const
{
    std::vector<std::string> names;
    if (!serverRunning())
        return names;
    // Reads the server's port list from shared memory; no request that could block.
    const char** ports = jack_get_ports(m_client, nullptr, JACK_DEFAULT_MIDI_TYPE, flags);
    if (!ports)
        return names;
    const std::string own = m_name + ':';
    for (const char** port = ports; *port; ++port) {
        if (std::string_view(*port).substr(0, own.size()) != own)
            names.emplace_back(*port);
    }
    jack_free(ports);
    return names;
}

int JackClient::process(jack_nframes_t frames, void* realtime)
{
    auto* state = static_cast<Realtime*>(realtime);
    // Readers first: a reply read here may release a message a writer sends in this same cycle.
    for (auto& slot : state->readers) {
        if (JackPortReader* reader = slot.load(std::memory_order_acquire))
            reader->process(frames);
    }
    const std::uint64_t connectionChanges = state->connectionChanges.load(std::memory_order_acquire);
    for (auto& slot : state->writers) {
        if (JackPortWriter* writer = slot.load(std::memory_order_acquire))
            writer->process(frames, connectionChanges);
    }
    // The monotonic clock is read without a system call: safe on this thread.
    state->lastCycleNanos.store(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count(),
        std::memory_order_relaxed);
    state->cycles.fetch_add(1, std::memory_order_release);
    if (state->cycleWaiters.load(std::memory_order_acquire) > 0)
        sem_post(&state->cycleDone);
    return 0;
}

bool JackClient::waitCycles(int cycles)
{
    Realtime& state = *m_realtime;
    const std::uint64_t target = state.cycles.load() + static_cast<std::uint64_t>(cycles);
    const timespec deadline = monotonicDeadline(std::chrono::milliseconds(1000));
    state.cycleWaiters.fetch_add(1);
    bool reached = true;
    while (state.cycles.load() < target) {
        if (!serverRunning() || !waitUntil(state.cycleDone, deadline)) {
            reached = false;
            break;
        }
    }
    state.cycleWaiters.fetch_sub(1);
    return reached;
}

jack_port_t* JackClient::registerPort(const std::string& portName, unsigned long flags)
{
    jack_port_t* port = nullptr;
    if (!serverRunning() ||
        !m_calls.run([&] { port = jack_port_register(m_client, portName.c_str(), JACK_DEFAULT_MIDI_TYPE, flags, 0); }))
        return nullptr;
    return port;
}

bool JackClient::connectPorts(const std::string& source, const std::string& destination)
{
    int result = -1;
    if (!serverRunning() || !m_calls.run([&] { result = jack_connect(m_client, source.c_str(), destination.c_str()); }))
        return false;
    return result == 0 || result == EEXIST;
}

void JackClient::disconnectPort(jack_port_t* port)
{
    if (serverRunning())
        m_calls.run([&] { jack_port_disconnect(m_client, port); });
}

std::unique_ptr<JackPortWriter> JackClient::openOutputPort(const std::string& portName)
{
    jack_port_t* port = registerPort(portName, JackPortIsOutput);
    if (!port)
        return nullptr;
    auto writer = std::make_unique<JackPortWriter>(*this, port);
    if (!takeSlot(m_realtime->writers, writer.get()))
        return nullptr; // the writer's destructor unregisters the port
    return writer;
}

std::unique_ptr<JackPortReader> JackClient::openInputPort(const std::string& portName, MessageCallback onMessage)
{
    jack_port_t* port = registerPort(portName, JackPortIsInput);
    if (!port)
        return nullptr;
    auto reader = std::make_unique<JackPortReader>(*this, port, std::move(onMessage));
    if (!takeSlot(m_realtime->readers, reader.get()))
        return nullptr; // the reader's destructor unregisters the port
    return reader;
}

template <typename Port, typename Open>
Port* JackClient::borrow(std::vector<std::pair<std::unique_ptr<Port>, bool>>& pool, Open openNew)
{
    {
        std::lock_guard lock(m_poolMutex);
        for (auto& [pooled, busy] : pool) {
            if (!busy) {
                busy = true;
                return pooled.get();
            }
        }
    }
    std::unique_ptr<Port> created = openNew(m_nextPortNumber++);
    if (!created)
        return nullptr;
    Port* port = created.get();
    std::lock_guard lock(m_poolMutex);
    pool.emplace_back(std::move(created), true);
    return port;
}

std::unique_ptr<OutputConnection> JackClient::connect(const std::string& destination)
{
    JackPortWriter* writer =
        borrow(m_outputPool, [this](unsigned number) { return openOutputPort("out-" + std::to_string(number)); });
    if (!writer)
        return nullptr;
    auto borrowed = std::make_unique<BorrowedOutput>(shared_from_this(), writer);
    if (!connectPorts(jack_port_name(writer->port()), destination))
        return nullptr; // gives the port back
    // PipeWire makes the connection after jack_connect() has returned.
    for (int cycle = 0; !writer->connected(); ++cycle) {
        if (cycle == kConnectCycles || !waitCycles(1))
            return nullptr;
    }
    // Counted as a change of its own: the first message waits the settling
    // cycles from now even when the server's report came earlier or never does.
    m_realtime->connectionChanges.fetch_add(1, std::memory_order_release);
    return borrowed;
}

std::unique_ptr<InputConnection> JackClient::listen(const std::string& source, ShortMessageCallback onMessage)
{
    JackPortReader* reader =
        borrow(m_inputPool, [this](unsigned number) { return openInputPort("in-" + std::to_string(number), {}); });
    if (!reader)
        return nullptr;
    reader->lend(shortMessagesOnly(std::move(onMessage)));
    auto borrowed = std::make_unique<BorrowedInput>(shared_from_this(), reader);
    // No wait for the connection to come up: the keyboard answers only what
    // it was sent, and an output connected after this one is live no earlier.
    if (!connectPorts(source, jack_port_name(reader->port())))
        return nullptr; // gives the port back
    return borrowed;
}

void JackClient::giveBack(JackPortWriter* writer)
{
    // A destination that feeds one of our inputs runs before us in each
    // cycle and reads what we wrote one cycle late: disconnecting right after
    // a send would take the message away before it got there, while the
    // sender already counts it as gone. So the port stays connected until
    // the cycle after the last write has begun (bounded by waitCycles()).
    while (writer->lastMessageInFlight() && waitCycles(1)) {
    }
    // Disconnected before the next borrower: the destination must not get
    // its messages. The port keeps clearing its buffer every cycle.
    disconnectPort(writer->port());
    std::lock_guard lock(m_poolMutex);
    for (auto& [pooled, busy] : m_outputPool) {
        if (pooled.get() == writer)
            busy = false;
    }
}

void JackClient::giveBack(JackPortReader* reader)
{
    reader->takeBack();
    disconnectPort(reader->port());
    std::lock_guard lock(m_poolMutex);
    for (auto& [pooled, busy] : m_inputPool) {
        if (pooled.get() == reader)
            busy = false;
    }
}

void JackClient::releaseReader(JackPortReader* reader, jack_port_t* port)
{
    if (m_closing) {
        leaveSlot(m_realtime->readers, reader);
        return;
    }
    disconnectPort(port);
    leaveSlot(m_realtime->readers, reader);
    // A cycle that loaded the reader before it was taken out may still be running.
    waitCycles(2);
    if (serverRunning())
        m_calls.run([&] { jack_port_unregister(m_client, port); });
}

void JackClient::releaseWriter(JackPortWriter* writer, jack_port_t* port)
{
    if (m_closing) {
        leaveSlot(m_realtime->writers, writer);
        return;
    }
    // JACK keeps an output buffer's content until its owner clears it, so a
    // port left connected without its writer would hand the last message to
    // the destination again in every cycle. Disconnect first, while the
    // writer still clears the buffer each cycle.
    disconnectPort(port);
    waitCycles(1);
    leaveSlot(m_realtime->writers, writer);
    // A cycle that loaded the writer before it was taken out may still be
    // running; two more cycles and it is certainly done with it.
    waitCycles(2);
    if (serverRunning())
        m_calls.run([&] { jack_port_unregister(m_client, port); });
}

} // namespace quillon::midi
