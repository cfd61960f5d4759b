#include "midi/io/JackPorts.h"

#include "midi/core/DeviceFrame.h"
#include "midi/io/JackClient.h"
#include "midi/io/SemaphoreWait.h"
#include "midi/io/SendTimeout.h"

#include <jack/midiport.h>

namespace quillon::midi {

JackPortWriter::JackPortWriter(JackClient& owner, jack_port_t* port) : m_owner(owner), m_port(port)
{
    sem_init(&m_done, 0, 0);
}

JackPortWriter::~JackPortWriter()
{
    m_owner.releaseWriter(this, m_port);
    sem_destroy(&m_done);
}

SendResult JackPortWriter::send(std::span<const std::uint8_t> message)
{
    if (!connected())
        return SendResult::SendFailed; // the destination went away
    m_message.assign(message.begin(), message.end());
    m_state.store(Pending, std::memory_order_release);
    return awaitWritten(message.size());
}

// Off the process thread: jack_port_connected() takes a lock inside some servers' libjack.
bool JackPortWriter::connected() const { return m_owner.serverRunning() && jack_port_connected(m_port) > 0; }

bool JackPortWriter::lastMessageInFlight() const
{
    const std::uint64_t written = m_writtenInCycle.load(std::memory_order_acquire);
    return written != 0 && m_cycles.load(std::memory_order_acquire) < written + m_owner.settleCycles();
}

SendResult JackPortWriter::awaitWritten(std::size_t messageSize)
{
    const auto started = std::chrono::steady_clock::now();
    const std::uint64_t cyclesBefore = m_cycles.load(std::memory_order_acquire);
    timespec deadline = monotonicDeadline(sendTimeout(messageSize));
    while (!waitUntil(m_done, deadline)) {
        // No cycle at all for this port since then: the graph is held up by a
        // paused program, and the message leaves once it goes on.
        const bool noCycle = m_cycles.load(std::memory_order_acquire) == cyclesBefore;
        if (noCycle && m_owner.serverRunning() && std::chrono::steady_clock::now() - started < m_stallPatience) {
            deadline = monotonicDeadline(std::chrono::milliseconds(100));
            continue;
        }
        int expected = Pending;
        if (m_state.compare_exchange_strong(expected, Idle))
            return SendResult::SendFailed;
        // The callback took it just now; it finishes within the cycle.
        waitUntil(m_done, monotonicDeadline(std::chrono::milliseconds(1000)));
        break;
    }
    const int outcome = m_state.exchange(Idle);
    return outcome == Written ? SendResult::Sent : SendResult::SendFailed;
}

void JackPortWriter::arm(std::span<const std::uint8_t> message)
{
    m_message.assign(message.begin(), message.end());
    m_state.store(Armed, std::memory_order_release);
}

void JackPortWriter::releaseArmed()
{
    int expected = Armed;
    m_state.compare_exchange_strong(expected, Pending, std::memory_order_acq_rel);
}

void JackPortWriter::cancelArmed()
{
    int expected = Armed;
    m_state.compare_exchange_strong(expected, Idle, std::memory_order_acq_rel);
}

SendResult JackPortWriter::disarm()
{
    int state = Armed;
    if (m_state.compare_exchange_strong(state, Idle))
        return SendResult::SendFailed; // no reply released it
    if (state == Idle)
        return SendResult::SendFailed; // another note took it back
    // Released: written in this cycle or being written; the callback posts once either way.
    return awaitWritten(m_message.size());
}

void JackPortWriter::process(jack_nframes_t frames, std::uint64_t connectionChanges)
{
    const std::uint64_t cycle = m_cycles.fetch_add(1, std::memory_order_acq_rel) + 1;
    void* buffer = jack_port_get_buffer(m_port, frames);
    jack_midi_clear_buffer(buffer);
    // A connection made or undone takes effect at a cycle boundary, on some
    // servers only cycles after it is reported; what is written before that
    // reaches nobody, so a message waits until then (whichever connection
    // changed: this thread cannot ask which without taking a lock).
    if (connectionChanges != m_changesSeen) {
        m_changesSeen = connectionChanges;
        m_liveFrom = cycle + m_owner.settleCycles();
    }
    if (cycle < m_liveFrom)
        return;
    int expected = Pending;
    if (!m_state.compare_exchange_strong(expected, Writing, std::memory_order_acquire))
        return;
    const bool fits = m_message.size() <= jack_midi_max_event_size(buffer) &&
                      jack_midi_event_write(buffer, 0, m_message.data(), m_message.size()) == 0;
    if (fits)
        m_writtenInCycle.store(cycle, std::memory_order_release);
    m_state.store(fits ? Written : TooBig, std::memory_order_release);
    sem_post(&m_done);
}

JackPortReader::JackPortReader(JackClient& owner, jack_port_t* port, MessageCallback onMessage)
    : m_owner(owner), m_port(port), m_onMessage(std::move(onMessage)), m_ring(kRingBytes), m_joiner(kLongestMessage)
{
    sem_init(&m_ready, 0, 0);
    m_thread = std::thread([this] { dispatch(); });
}

JackPortReader::~JackPortReader()
{
    close();
    sem_destroy(&m_ready);
}

void JackPortReader::close()
{
    if (m_closed)
        return;
    m_closed = true;
    m_owner.releaseReader(this, m_port); // after this no cycle touches the reader
    m_stop.store(true, std::memory_order_release);
    sem_post(&m_ready);
    m_thread.join();
}

void JackPortReader::lend(MessageCallback onMessage)
{
    std::lock_guard lock(m_callbackMutex);
    m_onMessage = std::move(onMessage);
    m_firstOfLending = m_pushed.load(std::memory_order_acquire);
    m_listening.store(true, std::memory_order_release);
}

void JackPortReader::takeBack()
{
    clearGate();
    m_listening.store(false, std::memory_order_release);
    std::lock_guard lock(m_callbackMutex);
    m_onMessage = nullptr;
}

void JackPortReader::process(jack_nframes_t frames)
{
    if (!m_listening.load(std::memory_order_acquire))
        return;
    void* buffer = jack_port_get_buffer(m_port, frames);
    if (!buffer)
        return;
    const std::uint32_t count = jack_midi_get_event_count(buffer);
    for (std::uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event{};
        // A late cycle can hand over an event whose buffer the writer is
        // already refilling: check before reading through it.
        if (jack_midi_event_get(&event, buffer, i) != 0 || event.buffer == nullptr || event.size == 0)
            continue;
        m_joiner.feed({event.buffer, event.size}, [this](std::span<const std::uint8_t> message) {
            openGate(message);
            if (!m_ring.push(message)) {
                m_dropped.fetch_add(1, std::memory_order_relaxed);
                return;
            }
            m_pushed.fetch_add(1, std::memory_order_release);
            sem_post(&m_ready); // one post per complete message
        });
    }
    m_brokenSeen.store(m_joiner.broken(), std::memory_order_relaxed);
}

void JackPortReader::armGate(JackPortWriter* writer, std::uint8_t replyNote)
{
    m_gateNote.store(replyNote, std::memory_order_relaxed);
    m_gateWriter.store(writer, std::memory_order_release);
}

void JackPortReader::openGate(std::span<const std::uint8_t> message)
{
    // Only a Note On moves a transfer on; other messages (clock, sensing) pass by.
    if (message.size() < 2 || message[0] != frame::kReplyStatus)
        return;
    JackPortWriter* writer = m_gateWriter.exchange(nullptr, std::memory_order_acq_rel);
    if (!writer)
        return;
    if (message[1] == m_gateNote.load(std::memory_order_relaxed))
        writer->releaseArmed();
    else
        writer->cancelArmed();
}

void JackPortReader::dispatch()
{
    std::vector<std::uint8_t> message;
    std::uint64_t popped = 0; // counts alongside m_pushed: each message pushed is popped once, in order
    while (true) {
        waitForever(m_ready);
        if (m_stop.load(std::memory_order_acquire))
            return;
        if (!m_ring.pop(message))
            continue;
        const std::uint64_t index = popped++;
        std::lock_guard lock(m_callbackMutex);
        if (m_onMessage && index >= m_firstOfLending)
            m_onMessage(message);
    }
}

} // namespace quillon::midi
