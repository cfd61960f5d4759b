#pragma once
// Our own JACK client for MIDI in and out.
//
// RtMidi's JACK output copies a message into a ring buffer and returns; its
// process callback later moves whatever is queued into the cycle's MIDI buffer
// and silently discards what does not fit, so back-to-back 1 KiB SysEx
// messages get lost and the sender can never learn that a message has left.
// Its JACK input reads events without checking them and allocates on the
// real-time thread. Here each output port hands exactly one message at a time
// to the process callback and the sender sleeps until it is written; each
// input port copies whole messages into a ring for a thread of its own.
#include "midi/io/JackPorts.h"
#include "midi/io/MidiSystem.h"
#include "midi/io/PortWatchers.h"

#include <array>
#include <atomic>
#include <memory>
#include <string>

#include <jack/jack.h>
#include <semaphore.h>

namespace quillon::midi {

// Opening it is the test for "is a JACK server reachable"; it never prints anything.
class JackClient {
public:
    static std::unique_ptr<JackClient> open(const std::string& clientName);
    ~JackClient();
    JackClient(const JackClient&) = delete;
    JackClient& operator=(const JackClient&) = delete;

    // "client:port" as other programs see it.
    std::string portFullName(const std::string& portName) const;

    // Ports of this client that other programs connect to (nullptr when the
    // name is taken or every slot is in use). Sending on an output nobody is
    // connected to fails at once.
    std::unique_ptr<JackPortWriter> openOutputPort(const std::string& portName);
    std::unique_ptr<JackPortReader> openInputPort(const std::string& portName, MessageCallback onMessage);

    // A new output port connected to the JACK input port `destination`
    // ("client:port"); nullptr when that port does not exist (any more).
    std::unique_ptr<OutputConnection> connect(const std::string& destination);

    // A new input port fed by the JACK output port `source`; short messages
    // reach onMessage on a thread of its own, in arrival order. nullptr when
    // that port does not exist (any more).
    std::unique_ptr<InputConnection> listen(const std::string& source, ShortMessageCallback onMessage);

    // Sleeps until `cycles` more process cycles have completed (bounded).
    bool waitCycles(int cycles);

    // Cycles the server reported as missed (xruns) since the client opened.
    // When a reading program misses a cycle, what was written for it in that
    // cycle is gone, though the writer saw it leave.
    std::uint64_t xruns() const { return m_xruns.load(std::memory_order_relaxed); }

    // Told on JACK's notification thread whenever any client registers or
    // unregisters a port, while the watch lives.
    std::unique_ptr<PortWatch> watchPorts(std::function<void()> changed)
    {
        return m_portWatchers.add(std::move(changed));
    }

private:
    friend class JackPortWriter;
    friend class JackPortReader;
    explicit JackClient(jack_client_t* client);
    static int process(jack_nframes_t frames, void* self);
    jack_port_t* registerPort(const std::string& portName, unsigned long flags);
    bool waitUntilConnected(jack_port_t* port);
    void releaseWriter(JackPortWriter* writer, jack_port_t* port);
    void releaseReader(JackPortReader* reader, jack_port_t* port);

    static constexpr std::size_t kMaxPorts = 8;
    jack_client_t* m_client;
    std::array<std::atomic<JackPortWriter*>, kMaxPorts> m_writers{};
    std::array<std::atomic<JackPortReader*>, kMaxPorts> m_readers{};
    std::atomic<std::uint64_t> m_cycles{0};
    std::atomic<std::uint64_t> m_xruns{0};
    std::atomic<int> m_cycleWaiters{0};
    sem_t m_cycleDone;
    unsigned m_nextPortNumber = 1;
    PortWatchers m_portWatchers;
};

// Silences libjack's own messages (a missing server is not an error for us).
void silenceJackMessages();

} // namespace quillon::midi
