#pragma once
// Output to JACK MIDI ports that knows when a message has really gone.
//
// RtMidi's JACK output copies a message into a ring buffer and returns; its
// process callback later moves whatever is queued into the cycle's MIDI buffer
// and silently discards what does not fit, so back-to-back 1 KiB SysEx
// messages get lost and the sender can never learn that a message has left.
// Here each output port hands exactly one message at a time to the process
// callback, which writes it into the port buffer (or reports that it cannot
// fit) and wakes the sender through a semaphore. send() sleeps until then,
// bounded by sendTimeout(); nothing spins.
#include "midi/io/MidiSystem.h"

#include <array>
#include <atomic>
#include <memory>
#include <string>

#include <jack/jack.h>
#include <semaphore.h>

namespace quillon::midi {

class JackPortWriter;
class JackPortReader;

// One JACK client that carries the program's output ports. Opening it is the
// test for "is a JACK server reachable"; it never prints anything.
class JackWriterClient {
public:
    static std::unique_ptr<JackWriterClient> open(const std::string& clientName);
    ~JackWriterClient();
    JackWriterClient(const JackWriterClient&) = delete;
    JackWriterClient& operator=(const JackWriterClient&) = delete;

    // A new output port connected to the JACK input port `destination`
    // ("client:port"); nullptr when that port does not exist (any more).
    std::unique_ptr<OutputConnection> connect(const std::string& destination);

    // A new input port fed by the JACK output port `source`; short messages
    // reach onMessage on a thread of its own, in arrival order. nullptr when
    // that port does not exist (any more). Events the server hands over
    // inconsistently (a late cycle whose buffer the writer is already
    // refilling) are skipped, never read through a bad pointer.
    std::unique_ptr<InputConnection> listen(const std::string& source, ShortMessageCallback onMessage);

    // Sleeps until `cycles` more process cycles have completed (bounded).
    bool waitCycles(int cycles);

    // Cycles the server reported as missed (xruns) since the client opened.
    // When a reading program misses a cycle, what was written for it in that
    // cycle is gone, though the writer saw it leave.
    std::uint64_t xruns() const { return m_xruns.load(std::memory_order_relaxed); }

private:
    friend class JackPortWriter;
    friend class JackPortReader;
    void releaseReader(JackPortReader* reader, jack_port_t* port);
    explicit JackWriterClient(jack_client_t* client);
    static int process(jack_nframes_t frames, void* self);
    void release(JackPortWriter* writer, jack_port_t* port);

    static constexpr std::size_t kMaxPorts = 8;
    jack_client_t* m_client;
    std::array<std::atomic<JackPortWriter*>, kMaxPorts> m_writers{};
    std::array<std::atomic<JackPortReader*>, kMaxPorts> m_readers{};
    std::atomic<std::uint64_t> m_cycles{0};
    std::atomic<std::uint64_t> m_xruns{0};
    std::atomic<int> m_cycleWaiters{0};
    sem_t m_cycleDone;
    unsigned m_nextPortNumber = 1;
};

// Silences libjack's own messages (a missing server is not an error for us).
void silenceJackMessages();

} // namespace quillon::midi
