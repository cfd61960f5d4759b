#pragma once
// The two kinds of port a JackClient registers. Both hand data between the
// JACK process thread and program threads without locks or allocation on the
// process side.
#include "midi/core/MessageRing.h"
#include "midi/io/MidiSystem.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>
#include <thread>
#include <vector>

#include <jack/jack.h>
#include <semaphore.h>

namespace quillon::midi {

class JackClient;

// A whole MIDI message as it arrived (SysEx included).
using MessageCallback = std::function<void(std::span<const std::uint8_t> message)>;

// An output port that knows when a message has really gone. The sender and
// the process callback share one message through a state word:
// Idle -> Pending (sender) -> Writing -> Written or TooBig (callback, then
// post) -> Idle (sender). A sender that gives up moves Pending back to Idle,
// so the callback never reads a buffer being replaced.
class JackPortWriter : public OutputConnection {
public:
    JackPortWriter(JackClient& owner, jack_port_t* port);
    ~JackPortWriter() override;

    // Sleeps until the message is in a cycle's buffer, bounded by sendTimeout().
    // SendFailed when nothing is connected to the port or the time ran out.
    SendResult send(std::span<const std::uint8_t> message) override;

    void process(jack_nframes_t frames); // JACK process thread

private:
    enum State : int { Idle, Pending, Writing, Written, TooBig };

    JackClient& m_owner;
    jack_port_t* m_port;
    std::vector<std::uint8_t> m_message;
    std::atomic<int> m_state{Idle};
    sem_t m_done;
};

// An input port. The process callback copies each whole message (SysEx too)
// into a lock-free ring, length first, and posts a semaphore once per
// message; a thread of its own hands them to the callback in arrival order.
// Copying a 1 KiB block costs the real-time thread microseconds: a reader
// that ran late would miss the writer's next cycle, and the message with it.
class JackPortReader : public InputConnection {
public:
    JackPortReader(JackClient& owner, jack_port_t* port, MessageCallback onMessage);
    ~JackPortReader() override;

    void close() override; // twice is harmless; the callback is not called afterwards

    // Messages the ring had no room for (the program fell behind by 256 KiB).
    std::uint64_t droppedMessages() const { return m_dropped.load(std::memory_order_relaxed); }

    void process(jack_nframes_t frames); // JACK process thread
    jack_port_t* port() const { return m_port; }

private:
    static constexpr std::size_t kRingBytes = 256 * 1024;

    void dispatch();

    JackClient& m_owner;
    jack_port_t* m_port;
    MessageCallback m_onMessage;
    MessageRing m_ring;
    sem_t m_ready;
    std::atomic<bool> m_stop{false};
    std::atomic<std::uint64_t> m_dropped{0};
    bool m_closed = false;
    std::thread m_thread;
};

} // namespace quillon::midi
