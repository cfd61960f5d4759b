#pragma once
// The one way to MIDI hardware (and to the built-in keyboard): ordered, named
// port lists across every backend that works on this machine, sending one
// complete SysEx message, and opening an input whose short messages are
// handed to a callback on the backend's own thread.
//
// Thread: everything here except the input callback is called from one
// thread (the window thread, or the CLI's main thread).
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillon::midi {

enum class SendResult { Sent, OpenFailed, PrepareFailed, SendFailed };

enum class Direction { Output, Input };

// A port's identity, stable across re-enumeration: which backend, the port's
// name, and where it stood in that backend's list when it was chosen.
struct PortRef {
    std::string backend; // "Virtual", "ALSA" (sequencer), "ALSA raw", "JACK", or a test backend's name
    std::string name;
    int index = -1;
    bool operator==(const PortRef&) const = default;
};

struct PortInfo {
    PortRef ref;
    std::string label; // what a list shows
};

// The user's choice for one direction, as the session keeps it.
struct PortChoice {
    enum class Kind { NotChosen, DefaultRoute, Port };
    Kind kind = Kind::NotChosen;
    // For Kind::Port the port; for Kind::DefaultRoute the output the default
    // meant when the user confirmed it, or none: whatever it means at the time.
    PortRef port;
    static PortChoice notChosen() { return {}; }
    static PortChoice defaultRoute() { return {Kind::DefaultRoute, {}}; }
    static PortChoice defaultRoute(PortRef meant) { return {Kind::DefaultRoute, std::move(meant)}; }
    bool defaultResolved() const { return kind == Kind::DefaultRoute && !port.backend.empty(); }
    static PortChoice of(PortRef ref) { return {Kind::Port, std::move(ref)}; }
    bool operator==(const PortChoice&) const = default;
};

// Packed short message: status in the lowest byte, then data 1, then data 2.
using ShortMessageCallback = std::function<void(std::uint32_t packed)>;

// A channel or system message of one to three bytes: what an input hands on.
// SysEx and anything longer is of no use to a listener here.
inline bool isShortMessage(std::span<const std::uint8_t> bytes)
{
    return !bytes.empty() && bytes.size() <= 3 && bytes.front() != 0xF0;
}

inline std::uint32_t packShortMessage(std::span<const std::uint8_t> bytes)
{
    std::uint32_t packed = 0;
    for (std::size_t i = 0; i < bytes.size() && i < 4; ++i)
        packed |= std::uint32_t(bytes[i]) << (8 * i);
    return packed;
}

class InputConnection;

struct RouteTraits {
    // Bytes above 0x7F inside a SysEx (the data blocks' command byte) arrive unchanged.
    bool eightBitSysEx = true;
    // The server is known to drop a message now and then without reporting an xrun.
    bool dropsMessages = false;
};

// An open output. send() returns only when the message has left the program
// (bounded wait; SendFailed on timeout).
class OutputConnection {
public:
    virtual ~OutputConnection() = default;
    virtual SendResult send(std::span<const std::uint8_t> message) = 0;
    // How long a send may wait while the MIDI server runs no cycle for this
    // port at all (a program ahead of it in the server's graph is paused) before
    // it fails. A paused keyboard is waited for as long as its reply would be.
    virtual void tolerateStall(std::chrono::milliseconds) {}
    // True while the next message can go through this connection as well as
    // through a new one (its destination is still connected to it). Such a
    // connection is kept between single sends (MidiSystem::sendOne): on JACK
    // a new connection carries data only after some cycles.
    virtual bool reusable() const { return false; }

    // A reply-paced transfer waits, for every block, for the reply to travel
    // from the input through the program's threads and the next block back
    // out: on JACK a whole extra cycle. sendOnReply() leaves `message` with
    // the port instead, to go out in the very cycle in which `input` receives
    // a Note On (status 0x90) with note `replyNote`, provided that is the
    // next Note On to arrive; any other Note On takes it back unsent. False
    // (nothing armed) when these two connections cannot do that.
    virtual bool sendOnReply(InputConnection& /*input*/, std::uint8_t /*replyNote*/,
                             std::span<const std::uint8_t> /*message*/)
    {
        return false;
    }
    // Ends what sendOnReply() armed; afterwards it can no longer leave.
    // Sent when it has left (the reply came), SendFailed when it has not.
    virtual SendResult takeBackReplySend() { return SendResult::SendFailed; }
};

// An open input. Closing twice is harmless; destruction closes.
class InputConnection {
public:
    virtual ~InputConnection() = default;
    virtual void close() = 0;
};

// A running watch on port lists; destroying it stops the notices.
class PortWatch {
public:
    virtual ~PortWatch() = default;
};

// One MIDI API (or the built-in keyboard, or a test fake).
class Backend {
public:
    virtual ~Backend() = default;
    virtual std::string name() const = 0;
    // Ports that could be queried, in the backend's order; PortRef::index is the backend's own index.
    virtual std::vector<PortInfo> outputs() = 0;
    virtual std::vector<PortInfo> inputs() = 0;
    // nullptr when the port cannot be opened (gone, held by another program).
    virtual std::unique_ptr<OutputConnection> openOutput(const PortRef& port) = 0;
    virtual std::unique_ptr<InputConnection> openInput(const PortRef& port, ShortMessageCallback onMessage) = 0;
    // How often, since the backend started, it learned that messages between
    // programs may have been dropped (a JACK server that missed a cycle).
    // A message written in such a cycle can vanish without any error on
    // either side, so a stalled transfer reports this count.
    virtual std::uint64_t missedCycles() const { return 0; }
    // Calls `changed` (on a thread of the backend's) whenever its ports may
    // have appeared or gone, while the returned watch lives. nullptr when the
    // backend cannot tell (its lists never change, or only Refresh shows it).
    virtual std::unique_ptr<PortWatch> watchPorts(std::function<void()> /*changed*/) { return nullptr; }
    // How often, since the backend started, the MIDI server it talks to stopped.
    virtual std::uint64_t serverStops() const { return 0; }
    // When the MIDI server last ran a cycle for this program; none for a
    // backend without such a clock, or before its first cycle. A server that
    // runs no cycle for seconds is paused or stuck (or, in synchronous mode,
    // waits for a paused program ahead of this one), so nothing moves.
    virtual std::optional<std::chrono::steady_clock::time_point> lastServerCycle() const { return std::nullopt; }
    // What the MIDI server between this program and `port` is known to do to messages.
    virtual RouteTraits routeTraits(const PortRef& /*port*/) const { return {}; }
};

class VirtualKeyboard;

class MidiSystem {
public:
    explicit MidiSystem(std::vector<std::unique_ptr<Backend>> backends);
    ~MidiSystem();
    MidiSystem(const MidiSystem&) = delete;
    MidiSystem& operator=(const MidiSystem&) = delete;

    // The built-in keyboard first, then ALSA when the machine has a sequencer,
    // then its raw MIDI devices when it has sound cards, then JACK (whose client opens only when its ports are first
    // asked for).
    static std::unique_ptr<MidiSystem> createDefault();

    // Every port, the default device's first (see defaultDevice()), then the
    // others in backend order. Position 0 of each list is thus one device, so
    // the dialog's first entries and quillon-cli's `--out -1 --in 0` pair.
    std::vector<PortInfo> outputs();
    std::vector<PortInfo> inputs();

    // The one device both defaults mean, so that the keyboard that receives a
    // transfer also has its replies heard: the real output and input of one
    // device (see pickDevicePair(): never a loopback, a direct port before a
    // bridge); when no real device has both, the built-in keyboard in both
    // directions; without a built-in keyboard (tests), the first output and
    // input of the first backend that has both. nullopt when no backend has both.
    struct PortPair {
        PortRef output;
        PortRef input;
    };
    std::optional<PortPair> defaultDevice();

    // Whether an output and an input port belong to one device that can be
    // paired (see pairsWith()).
    static bool sameDevice(const PortRef& output, const PortRef& input);

    // Sum of every backend's missedCycles(), and of their serverStops().
    std::uint64_t missedCycles() const;
    std::uint64_t serverStops() const;
    // What the server on the way to the port a choice means does to messages
    // (see Backend); the default traits when the choice means no port.
    RouteTraits routeTraits(const PortChoice& choice);
    // When the server of the backend that carries `port` last ran a cycle for us (see Backend).
    std::optional<std::chrono::steady_clock::time_point> lastServerCycle(const PortRef& port);

    // Finds the port a choice means now: by backend and name (index breaks ties
    // between equal names). DefaultRoute = the port it was resolved to, like a
    // port chosen by name (gone means gone: never another device); unresolved,
    // that direction's port of defaultDevice(), else the first port.
    // nullopt = not chosen or gone.
    std::optional<PortRef> resolve(const PortChoice& choice, Direction direction);

    std::unique_ptr<OutputConnection> openOutput(const PortChoice& choice);
    // Sends one message. A reusable connection (see OutputConnection) stays
    // open while the choice means the same port; any other is closed again at
    // once. A change of port takes effect with the next message.
    SendResult sendOne(const PortChoice& choice, std::span<const std::uint8_t> message);
    std::unique_ptr<InputConnection> openInput(const PortChoice& choice, ShortMessageCallback onMessage);

    // The built-in keyboard, or nullptr when this system was built without one (tests).
    VirtualKeyboard* keyboard();

    // The choice that a list index means, as the device dialog and quillon-cli number
    // ports: 0..n-1 into outputs()/inputs(), -1 = default route (output only).
    // Any other index, or one past the end, is NotChosen.
    PortChoice choiceForIndex(int index, Direction direction);

    // Every backend's watch at once (see Backend::watchPorts); nullptr when none can tell.
    std::unique_ptr<PortWatch> watchPorts(const std::function<void()>& changed);

    // Names of the backends that started, in list order ("Virtual", "ALSA", "JACK", ...).
    std::vector<std::string> backendNames() const;

    // Closes `input` or `output` on a thread of the system's own and returns at
    // once: closing a JACK port waits for the server, seconds when it is paused.
    // An input's callback may still run until the close is done; opening a port
    // waits for every close handed in before.
    void closeLater(std::unique_ptr<InputConnection> input);
    void closeLater(std::unique_ptr<OutputConnection> output);

    // Connections must not outlive the system that opened them.
private:
    void waitForClosing();
    Backend* backendNamed(const std::string& name);
    std::uint64_t sumOverBackends(std::uint64_t (Backend::*count)() const) const;
    std::vector<PortInfo> allPorts(Direction direction);
    std::vector<PortInfo> defaultFirst(Direction direction);

    std::vector<std::unique_ptr<Backend>> m_backends;
    class Closer;
    std::unique_ptr<Closer> m_closer; // after the backends: it is done before they go
    // sendOne()'s connection and its port; closed before the backends go.
    PortRef m_keptPort;
    std::unique_ptr<OutputConnection> m_kept;
};

} // namespace quillon::midi
