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
//
// One client serves a whole program. Connections made with connect() and
// listen() borrow a port of the client and give it back disconnected when
// they close; the port stays registered for the next connection, so opening
// and closing costs one request to the server each. Closing right after a
// send waits for the start of the next cycle, by when the destination has
// read the message even if it runs before this client.
// Every request that waits for the server is bounded (JackServerCalls): a
// stopped or stuck server makes calls fail, never hang.
#include "midi/io/JackPorts.h"
#include "midi/io/JackServerCalls.h"
#include "midi/io/MidiSystem.h"
#include "midi/io/PortWatchers.h"

#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <jack/jack.h>
#include <semaphore.h>

namespace quillon::midi {

class JackClient : public std::enable_shared_from_this<JackClient> {
public:
    // What the server tells the client. Called on one of JACK's threads; keep it short.
    struct Events {
        // The server stopped or threw the client out; the client is of no further use.
        std::function<void()> onServerGone;
    };

    // nullptr when no JACK server is reachable; never prints anything.
    static std::shared_ptr<JackClient> open(const std::string& clientName, Events events = {});
    ~JackClient();
    JackClient(const JackClient&) = delete;
    JackClient& operator=(const JackClient&) = delete;

    // The client's name as the server registered it (it may differ from the one asked for).
    std::string name() const { return m_name; }
    // "client:port" as other programs see it.
    std::string portFullName(const std::string& portName) const { return m_name + ':' + portName; }

    // False once the server has gone (its shutdown callback), or a request to it got stuck.
    bool serverRunning() const;

    // MIDI ports of other clients with all of `flags` (JackPortIsInput: ports
    // one can send to), in the server's order.
    std::vector<std::string> otherPorts(unsigned long flags) const;

    // Ports of this client under a fixed name that other programs connect to
    // (nullptr when the name is taken or every slot is in use). Sending on an
    // output nobody is connected to fails at once.
    std::unique_ptr<JackPortWriter> openOutputPort(const std::string& portName);
    std::unique_ptr<JackPortReader> openInputPort(const std::string& portName, MessageCallback onMessage);

    // An output connected to the JACK input port `destination` ("client:port");
    // nullptr when that port does not exist (any more), or the connection is
    // not reported within a second. The first message leaves once data can
    // flow through the new connection (settleCycles()).
    std::unique_ptr<OutputConnection> connect(const std::string& destination);

    // An input fed by the JACK output port `source`; short messages reach
    // onMessage on a thread of its own, in arrival order. nullptr when that
    // port does not exist (any more).
    std::unique_ptr<InputConnection> listen(const std::string& source, ShortMessageCallback onMessage);

    // Sleeps until `cycles` more process cycles have completed (bounded).
    bool waitCycles(int cycles);

    // Cycles after a change of connections is reported before a message
    // written to a port reaches its new destination, and a message written
    // before a disconnection has certainly arrived. On jackd2 the next cycle
    // carries it; PipeWire's JACK layer drops what is written in the first
    // cycles after it reports the connection.
    std::uint64_t settleCycles() const { return m_realtime->settleCycles; }

    // The PipeWire version behind libjack ("1.4.2"), empty when libjack is jackd2's.
    static std::string pipeWireVersion();
    // False when the server changes bytes above 0x7F inside a SysEx (PipeWire 1.x):
    // then only 7-bit messages arrive as sent.
    static bool carriesEightBitSysEx();

    // Cycles the server reported as missed (xruns) since the client opened.
    // When a reading program misses a cycle, what was written for it in that
    // cycle is gone, though the writer saw it leave.
    std::uint64_t xruns() const { return m_realtime->xruns.load(std::memory_order_relaxed); }

    // When the latest process cycle ran; none before the first.
    std::optional<std::chrono::steady_clock::time_point> lastCycle() const
    {
        const std::int64_t nanos = m_realtime->lastCycleNanos.load(std::memory_order_relaxed);
        if (nanos == 0)
            return std::nullopt;
        return std::chrono::steady_clock::time_point(std::chrono::nanoseconds(nanos));
    }

    // Told on JACK's notification thread whenever any client registers or
    // unregisters a port, while the watch lives.
    std::unique_ptr<PortWatch> watchPorts(std::function<void()> changed)
    {
        return m_realtime->portWatchers.add(std::move(changed));
    }

private:
    friend class JackPortWriter;
    friend class JackPortReader;
    class BorrowedOutput;
    class BorrowedInput;

    static constexpr std::size_t kMaxPorts = 8;
    // On PipeWire 0.3.65 (128 frames), 1000 curve sends, each on a new
    // connection, lost 6 with 1 cycle, 8 with 2, 2 with 4, 0 with 8 and 1 with
    // 16 (twice 8, for a busy machine): past a few cycles what is left is
    // PipeWire's own rare drop, which no wait avoids.
    static constexpr std::uint64_t kPipeWireSettleCycles = 16;
    static constexpr int kConnectCycles = 400; // about a second at 128 frames and 48 kHz

    static void serverGone(void* realtime); // either shutdown callback; acts once

    // What the process and notification callbacks touch. Left allocated when
    // the server could not be told to stop calling them.
    struct Realtime {
        std::array<std::atomic<JackPortWriter*>, kMaxPorts> writers{};
        std::array<std::atomic<JackPortReader*>, kMaxPorts> readers{};
        std::atomic<std::uint64_t> cycles{0};
        std::atomic<std::int64_t> lastCycleNanos{0}; // steady clock
        std::atomic<std::uint64_t> xruns{0};
        std::atomic<std::uint64_t> connectionChanges{0}; // reported by the server, or made by us
        std::uint64_t settleCycles = 1;
        std::atomic<int> cycleWaiters{0};
        std::atomic<bool> serverGone{false};
        sem_t cycleDone;
        Events events;
        PortWatchers portWatchers;
    };

    JackClient(jack_client_t* client, Events events);
    bool registerCallbacks();
    static int process(jack_nframes_t frames, void* realtime);
    jack_port_t* registerPort(const std::string& portName, unsigned long flags);
    bool connectPorts(const std::string& source, const std::string& destination);
    void disconnectPort(jack_port_t* port);
    void releaseWriter(JackPortWriter* writer, jack_port_t* port);
    void releaseReader(JackPortReader* reader, jack_port_t* port);
    // A free port of the pool, or a new one made by openNew(number) and added to it; nullptr when none can be had.
    template <typename Port, typename Open>
    Port* borrow(std::vector<std::pair<std::unique_ptr<Port>, bool>>& pool, Open openNew);
    void giveBack(JackPortWriter* writer);
    void giveBack(JackPortReader* reader);

    jack_client_t* m_client;
    std::string m_name;
    Realtime* m_realtime;
    JackServerCalls m_calls;
    bool m_closing = false;
    unsigned m_nextPortNumber = 1;

    // Ports lent to connections; `busy` says which are out.
    std::mutex m_poolMutex;
    std::vector<std::pair<std::unique_ptr<JackPortWriter>, bool>> m_outputPool;
    std::vector<std::pair<std::unique_ptr<JackPortReader>, bool>> m_inputPool;
};

// Silences libjack's own messages (a missing server is not an error for us).
void silenceJackMessages();

} // namespace quillon::midi
