#include "midi/io/MidiSystem.h"

#include "midi/core/DevicePairing.h"
#include "midi/io/AlsaRawBackend.h"
#include "midi/io/JackBackend.h"
#include "midi/io/RtMidiBackends.h"
#include "midi/io/VirtualKeyboard.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>

namespace quillon::midi {

namespace {

std::vector<PortInfo> portsOf(Backend& backend, Direction direction)
{
    return direction == Direction::Output ? backend.outputs() : backend.inputs();
}

// ALSA port names end in the port's address (" 128:0"), which a restarted
// program or a replugged keyboard need not get again; without it the name
// still tells the device.
std::string_view withoutAddress(std::string_view name)
{
    const auto colon = name.rfind(':');
    const auto blank = name.rfind(' ');
    if (colon == std::string_view::npos || blank == std::string_view::npos || blank > colon || blank == 0)
        return name;
    auto digitsOnly = [](std::string_view part) {
        return !part.empty() && part.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (!digitsOnly(name.substr(blank + 1, colon - blank - 1)) || !digitsOnly(name.substr(colon + 1)))
        return name;
    return name.substr(0, blank);
}

} // namespace

// One thread that closes what it is handed, in order; it is done with all of it before it goes.
class MidiSystem::Closer {
public:
    Closer()
        : m_thread([this] {
              std::unique_lock lock(m_mutex);
              while (true) {
                  m_changed.wait(lock, [this] { return m_quit || !m_closes.empty(); });
                  if (m_closes.empty())
                      return;
                  {
                      auto close = std::move(m_closes.front());
                      m_closes.pop_front();
                      lock.unlock();
                      close(); // and what it holds goes with it, before the close counts as done
                  }
                  lock.lock();
                  --m_pending;
                  m_changed.notify_all();
              }
          })
    {
    }
    ~Closer()
    {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    void add(std::function<void()> close)
    {
        {
            std::lock_guard lock(m_mutex);
            m_closes.push_back(std::move(close));
            ++m_pending;
        }
        m_changed.notify_all();
    }
    // Returns once everything handed in is closed.
    void drain()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_pending == 0; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_closes;
    std::size_t m_pending = 0; // handed in, not yet closed
    bool m_quit = false;
    std::thread m_thread; // last: it starts when everything it uses is there
};

MidiSystem::MidiSystem(std::vector<std::unique_ptr<Backend>> backends)
    : m_backends(std::move(backends)), m_closer(std::make_unique<Closer>())
{
}

MidiSystem::~MidiSystem() = default;

void MidiSystem::closeLater(std::unique_ptr<InputConnection> input)
{
    if (!input)
        return;
    m_closer->add([input = std::shared_ptr<InputConnection>(std::move(input))] { input->close(); });
}

void MidiSystem::closeLater(std::unique_ptr<OutputConnection> output)
{
    if (!output)
        return;
    // The closure holds the last reference: the connection goes on the closer's thread.
    m_closer->add([output = std::shared_ptr<OutputConnection>(std::move(output))]() mutable { output.reset(); });
}

void MidiSystem::waitForClosing()
{
    // A port that is still closing may be the one wanted now, and only one may hold it.
    m_closer->drain();
}

std::unique_ptr<MidiSystem> MidiSystem::createDefault()
{
    std::vector<std::unique_ptr<Backend>> backends;
    backends.push_back(std::make_unique<VirtualKeyboard>());
    for (auto& backend : startRtMidiBackends("Quillon"))
        backends.push_back(std::move(backend));
    if (auto raw = AlsaRawBackend::start())
        backends.push_back(std::move(raw));
    backends.push_back(std::make_unique<JackBackend>("Quillon"));
    return std::make_unique<MidiSystem>(std::move(backends));
}

std::vector<PortInfo> MidiSystem::outputs() { return defaultFirst(Direction::Output); }
std::vector<PortInfo> MidiSystem::inputs() { return defaultFirst(Direction::Input); }

std::vector<PortInfo> MidiSystem::defaultFirst(Direction direction)
{
    auto all = allPorts(direction);
    const auto pair = defaultDevice();
    if (!pair)
        return all;
    const PortRef& wanted = direction == Direction::Output ? pair->output : pair->input;
    const auto found = std::find_if(all.begin(), all.end(), [&](const PortInfo& port) { return port.ref == wanted; });
    if (found != all.end())
        std::rotate(all.begin(), found, found + 1);
    return all;
}

bool MidiSystem::sameDevice(const PortRef& output, const PortRef& input)
{
    return pairsWith(output.backend, output.name, input.backend, input.name);
}

std::optional<MidiSystem::PortPair> MidiSystem::defaultDevice()
{
    std::optional<PortPair> builtIn;
    std::optional<PortPair> firstOfEach;
    std::vector<PortInfo> outs;
    std::vector<PortInfo> ins;
    for (auto& backend : m_backends) {
        const auto backendOuts = backend->outputs();
        const auto backendIns = backend->inputs();
        if (backendOuts.empty() || backendIns.empty())
            continue;
        if (!firstOfEach)
            firstOfEach = PortPair{backendOuts.front().ref, backendIns.front().ref};
        if (backend->name() == VirtualKeyboard::kBackendName) {
            if (!builtIn)
                builtIn = PortPair{backendOuts.front().ref, backendIns.front().ref};
            continue;
        }
        outs.insert(outs.end(), backendOuts.begin(), backendOuts.end());
        ins.insert(ins.end(), backendIns.begin(), backendIns.end());
    }
    const auto named = [](const std::vector<PortInfo>& ports) {
        std::vector<NamedPort> names;
        for (const auto& port : ports)
            names.push_back({port.ref.backend, port.ref.name});
        return names;
    };
    if (const auto pair = pickDevicePair(named(outs), named(ins)))
        return PortPair{outs[pair->output].ref, ins[pair->input].ref};
    if (builtIn)
        return builtIn;
    return firstOfEach;
}

std::vector<PortInfo> MidiSystem::allPorts(Direction direction)
{
    std::vector<PortInfo> all;
    for (auto& backend : m_backends) {
        auto ports = direction == Direction::Output ? backend->outputs() : backend->inputs();
        all.insert(all.end(), ports.begin(), ports.end());
    }
    return all;
}

std::uint64_t MidiSystem::sumOverBackends(std::uint64_t (Backend::*count)() const) const
{
    std::uint64_t total = 0;
    for (const auto& backend : m_backends)
        total += (*backend.*count)();
    return total;
}

std::uint64_t MidiSystem::missedCycles() const { return sumOverBackends(&Backend::missedCycles); }

namespace {
struct Watches : PortWatch {
    std::vector<std::unique_ptr<PortWatch>> each;
};
} // namespace

std::unique_ptr<PortWatch> MidiSystem::watchPorts(const std::function<void()>& changed)
{
    auto watches = std::make_unique<Watches>();
    for (auto& backend : m_backends)
        if (auto watch = backend->watchPorts(changed))
            watches->each.push_back(std::move(watch));
    if (watches->each.empty())
        return nullptr;
    return watches;
}

std::uint64_t MidiSystem::serverStops() const { return sumOverBackends(&Backend::serverStops); }

std::optional<std::chrono::steady_clock::time_point> MidiSystem::lastServerCycle(const PortRef& port)
{
    Backend* backend = backendNamed(port.backend);
    return backend ? backend->lastServerCycle() : std::nullopt;
}

std::vector<std::string> MidiSystem::backendNames() const
{
    std::vector<std::string> names;
    for (const auto& backend : m_backends)
        names.push_back(backend->name());
    return names;
}

Backend* MidiSystem::backendNamed(const std::string& name)
{
    for (auto& backend : m_backends) {
        if (backend->name() == name)
            return backend.get();
    }
    return nullptr;
}

std::optional<PortRef> MidiSystem::resolve(const PortChoice& choice, Direction direction)
{
    switch (choice.kind) {
    case PortChoice::Kind::NotChosen: return std::nullopt;
    case PortChoice::Kind::DefaultRoute: {
        if (choice.defaultResolved())
            return resolve(PortChoice::of(choice.port), direction);
        if (const auto pair = defaultDevice())
            return direction == Direction::Output ? pair->output : pair->input;
        // Nothing to pair (no inputs at all): the first port still plays a song.
        const auto all = allPorts(direction);
        return all.empty() ? std::nullopt : std::optional<PortRef>(all.front().ref);
    }
    case PortChoice::Kind::Port: {
        Backend* backend = backendNamed(choice.port.backend);
        if (!backend)
            return std::nullopt;
        std::optional<PortRef> sameName;
        std::optional<PortRef> sameDevice;
        for (const auto& port : portsOf(*backend, direction)) {
            if (port.ref.name != choice.port.name) {
                if (!sameDevice && withoutAddress(port.ref.name) == withoutAddress(choice.port.name))
                    sameDevice = port.ref;
                continue;
            }
            if (port.ref.index == choice.port.index)
                return port.ref;
            if (!sameName)
                sameName = port.ref;
        }
        return sameName ? sameName : sameDevice;
    }
    }
    return std::nullopt;
}

std::unique_ptr<OutputConnection> MidiSystem::openOutput(const PortChoice& choice)
{
    waitForClosing();
    const auto port = resolve(choice, Direction::Output);
    if (!port)
        return nullptr;
    Backend* backend = backendNamed(port->backend);
    return backend ? backend->openOutput(*port) : nullptr;
}

RouteTraits MidiSystem::routeTraits(const PortChoice& choice)
{
    const auto port = resolve(choice, Direction::Output);
    Backend* backend = port ? backendNamed(port->backend) : nullptr;
    return backend ? backend->routeTraits(*port) : RouteTraits{};
}

SendResult MidiSystem::sendOne(const PortChoice& choice, std::span<const std::uint8_t> message)
{
    const auto port = resolve(choice, Direction::Output);
    if (!m_kept || !port || *port != m_keptPort || !m_kept->reusable()) {
        closeLater(std::move(m_kept));
        Backend* backend = port ? backendNamed(port->backend) : nullptr;
        if (backend && *port == m_keptPort)
            waitForClosing(); // a device may take one opener at a time
        m_kept = backend ? backend->openOutput(*port) : nullptr;
        if (!m_kept)
            return SendResult::OpenFailed;
        m_keptPort = *port;
    }
    const SendResult result = m_kept->send(message);
    if (!m_kept->reusable())
        closeLater(std::move(m_kept));
    return result;
}

std::unique_ptr<InputConnection> MidiSystem::openInput(const PortChoice& choice, ShortMessageCallback onMessage)
{
    waitForClosing();
    const auto port = resolve(choice, Direction::Input);
    if (!port)
        return nullptr;
    Backend* backend = backendNamed(port->backend);
    return backend ? backend->openInput(*port, std::move(onMessage)) : nullptr;
}

VirtualKeyboard* MidiSystem::keyboard()
{
    for (auto& backend : m_backends) {
        if (auto* builtIn = dynamic_cast<VirtualKeyboard*>(backend.get()))
            return builtIn;
    }
    return nullptr;
}

PortChoice MidiSystem::choiceForIndex(int index, Direction direction)
{
    if (index == -1 && direction == Direction::Output)
        return PortChoice::defaultRoute();
    const auto ports = direction == Direction::Output ? outputs() : inputs();
    if (index < 0 || index >= static_cast<int>(ports.size()))
        return PortChoice::notChosen();
    return PortChoice::of(ports[static_cast<std::size_t>(index)].ref);
}

} // namespace quillon::midi
