#pragma once
// A scriptable MIDI backend for tests: ports can appear and vanish, an input
// can be "held by another program", and short messages can be injected from
// any thread as if a driver delivered them.
#include "midi/io/MidiSystem.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <utility>

namespace quillon::midi::testing {

class FakeBackend : public Backend {
public:
    explicit FakeBackend(std::string name) : m_name(std::move(name)) {}

    std::string name() const override { return m_name; }
    std::vector<PortInfo> outputs() override { return list(m_outputs); }
    std::vector<PortInfo> inputs() override { return list(m_inputs); }
    std::uint64_t missedCycles() const override { return missed; }
    std::uint64_t serverStops() const override { return stops; }
    std::optional<std::chrono::steady_clock::time_point> lastServerCycle() const override { return lastCycle; }
    RouteTraits routeTraits(const PortRef&) const override { return traits; }

    std::unique_ptr<OutputConnection> openOutput(const PortRef& port) override
    {
        return listed(m_outputs, port) ? std::make_unique<Output>(*this) : nullptr;
    }

    std::unique_ptr<InputConnection> openInput(const PortRef& port, ShortMessageCallback onMessage) override
    {
        if (!listed(m_inputs, port) || inputHeldElsewhere)
            return nullptr;
        std::lock_guard lock(m_mutex);
        m_callback = std::move(onMessage);
        return std::make_unique<Input>(*this);
    }

    // Delivers as a driver thread would; nothing when no input is open.
    void inject(std::uint32_t packed)
    {
        std::lock_guard lock(m_mutex);
        if (m_callback)
            m_callback(packed);
    }

    std::vector<std::string> m_outputs;
    std::vector<std::string> m_inputs;
    std::atomic<bool> inputHeldElsewhere{false}; // also set by an input closing on another thread
    std::vector<std::vector<std::uint8_t>> sent;
    // Runs after each send: a server that drops cycles or stops, a port that goes.
    std::function<void(FakeBackend&)> afterSend;
    std::uint64_t missed = 0;
    std::uint64_t stops = 0;
    std::optional<std::chrono::steady_clock::time_point> lastCycle;
    std::function<void()> onClose; // runs once, when an input is first closed
    RouteTraits traits;

private:
    struct Output : OutputConnection {
        explicit Output(FakeBackend& owner) : owner(owner) {}
        SendResult send(std::span<const std::uint8_t> message) override
        {
            owner.sent.emplace_back(message.begin(), message.end());
            if (owner.afterSend)
                owner.afterSend(owner);
            return SendResult::Sent;
        }
        FakeBackend& owner;
    };
    struct Input : InputConnection {
        explicit Input(FakeBackend& owner) : owner(owner) {}
        ~Input() override { close(); }
        void close() override
        {
            if (auto hook = std::exchange(owner.onClose, nullptr))
                hook();
            std::lock_guard lock(owner.m_mutex);
            owner.m_callback = nullptr;
        }
        FakeBackend& owner;
    };

    std::vector<PortInfo> list(const std::vector<std::string>& names) const
    {
        std::vector<PortInfo> ports;
        for (std::size_t i = 0; i < names.size(); ++i)
            ports.push_back({{m_name, names[i], static_cast<int>(i)}, m_name + ": " + names[i]});
        return ports;
    }
    static bool listed(const std::vector<std::string>& names, const PortRef& port)
    {
        return port.index >= 0 && static_cast<std::size_t>(port.index) < names.size() && names[port.index] == port.name;
    }

    std::string m_name;
    std::mutex m_mutex;
    ShortMessageCallback m_callback;
};

} // namespace quillon::midi::testing
