#pragma once
// A scriptable MIDI backend for tests: ports can appear and vanish (an empty
// name is a port whose query failed), opening and sending can fail as the test
// chooses, an input can be "held by another program", and short messages can
// be injected from any thread as if a driver delivered them.
#include "midi/io/MidiSystem.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace quillon::testing {

class FakeBackend : public midi::Backend {
public:
    explicit FakeBackend(std::string name, std::vector<std::string> outputs = {}, std::vector<std::string> inputs = {})
        : m_outputs(std::move(outputs)), m_inputs(std::move(inputs)), m_name(std::move(name))
    {
    }

    std::string name() const override { return m_name; }
    std::vector<midi::PortInfo> outputs() override { return list(m_outputs); }
    std::vector<midi::PortInfo> inputs() override { return list(m_inputs); }
    std::uint64_t missedCycles() const override { return missed; }
    std::uint64_t serverStops() const override { return stops; }
    std::optional<std::chrono::steady_clock::time_point> lastServerCycle() const override { return lastCycle; }
    midi::RouteTraits routeTraits(const midi::PortRef&) const override { return traits; }

    std::unique_ptr<midi::OutputConnection> openOutput(const midi::PortRef& port) override
    {
        return opens && listed(m_outputs, port) ? std::make_unique<Output>(*this) : nullptr;
    }

    std::unique_ptr<midi::InputConnection> openInput(const midi::PortRef& port,
                                                     midi::ShortMessageCallback onMessage) override
    {
        if (!listed(m_inputs, port) || inputHeldElsewhere)
            return nullptr;
        std::lock_guard lock(m_mutex);
        m_callback = std::move(onMessage);
        if (exclusive)
            inputHeldElsewhere = true;
        return std::make_unique<Input>(*this);
    }

    midi::PortRef ref(int index, const std::string& port) const { return {m_name, port, index}; }

    // Delivers as a driver thread would; nothing when no input is open.
    void inject(std::uint32_t packed)
    {
        std::lock_guard lock(m_mutex);
        if (m_callback)
            m_callback(packed);
    }
    // Note Ons on channel 1, one per velocity, from a thread of their own.
    void play(const std::vector<int>& velocities)
    {
        std::thread([&] {
            for (const int velocity : velocities)
                inject(0x90u | (60u << 8) | (static_cast<std::uint32_t>(velocity) << 16));
        }).join();
    }

    std::vector<std::string> m_outputs;
    std::vector<std::string> m_inputs;
    bool opens = true;                                // false: opening an output fails
    midi::SendResult result = midi::SendResult::Sent; // what each send answers
    bool exclusive = false;                           // an open input holds its port until closed
    std::atomic<bool> inputHeldElsewhere{false};      // also set by an input closing on another thread
    std::vector<std::vector<std::uint8_t>> sent;      // what was sent while the result was Sent
    // Runs after each send: a server that drops cycles or stops, a port that goes.
    std::function<void(FakeBackend&)> afterSend;
    std::uint64_t missed = 0;
    std::uint64_t stops = 0;
    std::optional<std::chrono::steady_clock::time_point> lastCycle;
    std::function<void()> onClose; // runs once, when a port is first closed
    midi::RouteTraits traits;

private:
    struct Output : midi::OutputConnection {
        explicit Output(FakeBackend& owner) : owner(owner) {}
        ~Output() override
        {
            if (auto hook = std::exchange(owner.onClose, nullptr))
                hook();
        }
        midi::SendResult send(std::span<const std::uint8_t> message) override
        {
            if (owner.result == midi::SendResult::Sent)
                owner.sent.emplace_back(message.begin(), message.end());
            if (owner.afterSend)
                owner.afterSend(owner);
            return owner.result;
        }
        FakeBackend& owner;
    };
    struct Input : midi::InputConnection {
        explicit Input(FakeBackend& owner) : owner(owner) {}
        ~Input() override { close(); }
        void close() override
        {
            if (std::exchange(open, false) && owner.exclusive)
                owner.inputHeldElsewhere = false;
            if (auto hook = std::exchange(owner.onClose, nullptr))
                hook();
            std::lock_guard lock(owner.m_mutex);
            owner.m_callback = nullptr;
        }
        FakeBackend& owner;
        bool open = true;
    };

    std::vector<midi::PortInfo> list(const std::vector<std::string>& names) const
    {
        std::vector<midi::PortInfo> ports;
        for (std::size_t i = 0; i < names.size(); ++i)
            if (!names[i].empty())
                ports.push_back({ref(static_cast<int>(i), names[i]), m_name + ": " + names[i]});
        return ports;
    }
    static bool listed(const std::vector<std::string>& names, const midi::PortRef& port)
    {
        return port.index >= 0 && static_cast<std::size_t>(port.index) < names.size() && !names[port.index].empty() &&
               names[port.index] == port.name;
    }

    std::string m_name;
    std::mutex m_mutex;
    midi::ShortMessageCallback m_callback;
};

} // namespace quillon::testing
