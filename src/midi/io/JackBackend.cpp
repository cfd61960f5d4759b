#include "midi/io/JackBackend.h"

#include "midi/io/JackClient.h"

#include <algorithm>

#include <unistd.h>

namespace quillon::midi {

JackBackend::JackBackend(std::string clientName) : m_clientName(std::move(clientName)) {}

JackBackend::~JackBackend() = default;

std::shared_ptr<JackClient> JackBackend::client()
{
    if (m_client && !m_client->serverRunning()) {
        m_pastXruns += m_client->xruns();
        ++m_pastStops;
        m_client.reset(); // connections still open keep it until they close
    }
    // PipeWire's JACK layer gives a second client of the same name that very
    // name, and the two programs' ports then share full names: each would
    // connect the other's. So there the name carries the process id.
    if (!m_client)
        m_client = JackClient::open(
            JackClient::pipeWireVersion().empty() ? m_clientName : m_clientName + '-' + std::to_string(getpid()));
    return m_client;
}

std::vector<PortInfo> JackBackend::ports(unsigned long flags)
{
    std::vector<PortInfo> list;
    const auto jack = client();
    if (!jack)
        return list;
    for (auto& name : jack->otherPorts(flags)) {
        const int index = static_cast<int>(list.size());
        list.push_back({{kBackendName, name, index}, std::string(kBackendName) + ": " + name});
    }
    return list;
}

std::unique_ptr<PortWatch> JackBackend::watchPorts(std::function<void()> changed)
{
    const auto jack = client();
    if (!jack)
        return nullptr;
    return jack->watchPorts(std::move(changed));
}

// Ports of other programs one sends to are their inputs, and the other way round.
std::vector<PortInfo> JackBackend::outputs() { return ports(JackPortIsInput); }
std::vector<PortInfo> JackBackend::inputs() { return ports(JackPortIsOutput); }

bool JackBackend::listed(const std::shared_ptr<JackClient>& jack, unsigned long flags, const std::string& name) const
{
    const auto names = jack->otherPorts(flags);
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::unique_ptr<OutputConnection> JackBackend::openOutput(const PortRef& port)
{
    const auto jack = port.backend == kBackendName ? client() : nullptr;
    if (!jack || !listed(jack, JackPortIsInput, port.name))
        return nullptr;
    return jack->connect(port.name);
}

std::unique_ptr<InputConnection> JackBackend::openInput(const PortRef& port, ShortMessageCallback onMessage)
{
    const auto jack = port.backend == kBackendName && onMessage ? client() : nullptr;
    if (!jack || !listed(jack, JackPortIsOutput, port.name))
        return nullptr;
    return jack->listen(port.name, std::move(onMessage));
}

std::uint64_t JackBackend::missedCycles() const { return m_pastXruns + (m_client ? m_client->xruns() : 0); }

std::optional<std::chrono::steady_clock::time_point> JackBackend::lastServerCycle() const
{
    return m_client ? m_client->lastCycle() : std::nullopt;
}

std::uint64_t JackBackend::serverStops() const
{
    return m_pastStops + (m_client && !m_client->serverRunning() ? 1 : 0);
}

RouteTraits JackBackend::routeTraits(const PortRef&) const
{
    return {.eightBitSysEx = JackClient::carriesEightBitSysEx(),
            .dropsMessages = !JackClient::pipeWireVersion().empty()};
}

bool isBridgedJackPort(const PortRef& port)
{
    if (port.backend != JackBackend::kBackendName)
        return false;
    const std::string_view name = port.name;
    const auto colon = name.find(':');
    const std::string_view client = name.substr(0, colon);
    const std::string_view portName = colon == std::string_view::npos ? std::string_view() : name.substr(colon + 1);
    return client.starts_with("a2j") || client == "Midi-Bridge" ||
           (client == "system" && portName.starts_with("midi_"));
}

} // namespace quillon::midi
