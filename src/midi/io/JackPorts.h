#pragma once
// The two kinds of port a JackClient registers. Both hand data between the
// JACK process thread and program threads without locks or allocation on the
// process side.
#include "midi/core/MessageRing.h"
#include "midi/core/SysExJoiner.h"
#include "midi/io/MidiSystem.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
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
    // SendFailed at once when nothing is connected to the port, else when the
    // time ran out.
    SendResult send(std::span<const std::uint8_t> message) override;
    void tolerateStall(std::chrono::milliseconds patience) override { m_stallPatience = patience; }
    // Whether something is connected to the port and its server still runs.
    bool connected() const;

    // The last message written is still in the buffer of the latest cycle: a
    // program that runs before this client in a cycle (one that feeds this
    // client's input, so the two form a loop) reads it only in the next one.
    // Where the server takes cycles to carry a new connection, it takes as
    // many to carry the last message before a disconnection.
    bool lastMessageInFlight() const;

    // A message held back until a reply arrives (see OutputConnection::sendOnReply):
    // arm() parks it (Armed); the input's process step then makes it Pending,
    // to be written later in the same cycle, or drops it (Idle). disarm()
    // ends either way and says whether it was written.
    void arm(std::span<const std::uint8_t> message);
    void releaseArmed(); // JACK process thread
    void cancelArmed();  // JACK process thread
    SendResult disarm();

    // JACK process thread. `connectionChanges` counts the changes of
    // connections the server has reported so far (see JackClient).
    void process(jack_nframes_t frames, std::uint64_t connectionChanges);
    jack_port_t* port() const { return m_port; }

private:
    enum State : int { Idle, Pending, Writing, Written, TooBig, Armed };

    // Waits for the process callback to write the Pending message (or give up
    // on it), bounded as send() is; leaves the state Idle.
    SendResult awaitWritten(std::size_t messageSize);

    JackClient& m_owner;
    jack_port_t* m_port;
    std::vector<std::uint8_t> m_message;
    std::atomic<int> m_state{Idle};
    std::atomic<std::uint64_t> m_cycles{0}; // process calls so far
    // Process thread only: the count of connection changes last seen, and the
    // first cycle in which a write reaches whoever is connected now.
    std::uint64_t m_changesSeen = 0;
    std::uint64_t m_liveFrom = 0;
    std::atomic<std::uint64_t> m_writtenInCycle{0}; // the process call that wrote the last message
    std::chrono::milliseconds m_stallPatience{0};
    sem_t m_done;
};

// An input port. The process callback joins a SysEx that the server hands
// over in pieces (PipeWire does) and copies each whole message into a
// lock-free ring, length first, and posts a semaphore once per
// message; a thread of its own hands them to the callback in arrival order.
// A port the client lends to one connection after another is handed a new
// callback each time; messages that arrived for an earlier one are dropped.
// Copying a 1 KiB block costs the real-time thread microseconds: a reader
// that ran late would miss the writer's next cycle, and the message with it.
class JackPortReader : public InputConnection {
public:
    JackPortReader(JackClient& owner, jack_port_t* port, MessageCallback onMessage);
    ~JackPortReader() override;

    void close() override; // twice is harmless; the callback is not called afterwards

    // For a lent port: from now on messages go to onMessage; takeBack() stops
    // them (no callback after it returns) until the next lend().
    void lend(MessageCallback onMessage);
    void takeBack();

    // Messages the ring had no room for (the program fell behind by 256 KiB),
    // and SysEx messages that came in pieces and could not be joined.
    std::uint64_t droppedMessages() const
    {
        return m_dropped.load(std::memory_order_relaxed) + m_brokenSeen.load(std::memory_order_relaxed);
    }

    // The next Note On this port receives releases `writer`'s armed message
    // (note == replyNote, in the same cycle, before the writer's turn) or
    // cancels it (any other note). clearGate() stops that; a cycle under way
    // may still act once.
    void armGate(JackPortWriter* writer, std::uint8_t replyNote);
    void clearGate() { m_gateWriter.store(nullptr, std::memory_order_release); }

    void process(jack_nframes_t frames); // JACK process thread
    jack_port_t* port() const { return m_port; }

private:
    static constexpr std::size_t kRingBytes = 256 * 1024;
    // Far above the longest message the keyboard takes (a data block of about 1.2 KiB).
    static constexpr std::size_t kLongestMessage = 16 * 1024;

    void openGate(std::span<const std::uint8_t> message); // JACK process thread

    void dispatch();

    JackClient& m_owner;
    jack_port_t* m_port;
    std::mutex m_callbackMutex; // held while the callback runs
    MessageCallback m_onMessage;
    std::atomic<bool> m_listening{true};
    // Messages ever put into the ring; those before the current lending began are dropped.
    std::atomic<std::uint64_t> m_pushed{0};
    std::uint64_t m_firstOfLending = 0; // guarded by m_callbackMutex
    MessageRing m_ring;
    SysExJoiner m_joiner; // JACK process thread only
    std::atomic<std::uint64_t> m_brokenSeen{0};
    sem_t m_ready;
    std::atomic<bool> m_stop{false};
    std::atomic<std::uint64_t> m_dropped{0};
    std::atomic<JackPortWriter*> m_gateWriter{nullptr};
    std::atomic<std::uint8_t> m_gateNote{0};
    bool m_closed = false;
    std::thread m_thread;
};

} // namespace quillon::midi
