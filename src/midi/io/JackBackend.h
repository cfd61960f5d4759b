#pragma once
// JACK MIDI ports through one JackClient for the whole program. The client is
// opened the first time a JACK port is listed or opened, never at start, so a
// program that shows no port list costs the server nothing. When the server
// stops, the next listing or opening finds a server that came back and opens
// a new client; connections made earlier keep their own (dead) client until
// they close. Without a server the lists are empty.
#include "midi/io/MidiSystem.h"

#include <memory>
#include <string>

namespace quillon::midi {

class JackClient;

class JackBackend : public Backend {
public:
    static constexpr const char* kBackendName = "JACK";

    explicit JackBackend(std::string clientName);
    ~JackBackend() override;

    std::string name() const override { return kBackendName; }
    std::vector<PortInfo> outputs() override;
    std::vector<PortInfo> inputs() override;
    std::unique_ptr<OutputConnection> openOutput(const PortRef& port) override;
    std::unique_ptr<InputConnection> openInput(const PortRef& port, ShortMessageCallback onMessage) override;
    std::uint64_t missedCycles() const override;
    std::uint64_t serverStops() const override;
    std::optional<std::chrono::steady_clock::time_point> lastServerCycle() const override;
    // Told by the library: PipeWire's JACK layer drops a message now and then, and 1.x changes 8-bit SysEx bytes.
    RouteTraits routeTraits(const PortRef& port) const override;
    // Told by the client's port registration callback; the watch stays with
    // the client that was open when it began.
    std::unique_ptr<PortWatch> watchPorts(std::function<void()> changed) override;

    // The program's client when it is open and its server runs (opening it if
    // need be), else nullptr.
    std::shared_ptr<JackClient> client();

private:
    std::vector<PortInfo> ports(unsigned long flags);
    bool listed(const std::shared_ptr<JackClient>& client, unsigned long flags, const std::string& name) const;

    std::string m_clientName;
    std::shared_ptr<JackClient> m_client;
    // Counts of clients that the server left behind.
    std::uint64_t m_pastXruns = 0;
    std::uint64_t m_pastStops = 0;
};

// True for a JACK port that reaches hardware through a bridge to another MIDI
// system (a2j, the server's own ALSA MIDI ports "system:midi_*", a PipeWire
// MIDI bridge). Such bridges drop or split SysEx longer than 16 or 256 bytes.
bool isBridgedJackPort(const PortRef& port);

} // namespace quillon::midi
