#pragma once
// A MIDI backend with one output port ("Scripted: out") that keeps every
// message it sends and answers with the result a test chooses, or refuses to open.
#include "midi/io/MidiSystem.h"

#include <memory>
#include <string>
#include <vector>

namespace quillon::testing {

class ScriptedBackend : public midi::Backend {
public:
    midi::SendResult result = midi::SendResult::Sent;
    bool opens = true;
    std::vector<std::vector<std::uint8_t>> sent; // what was sent while the result was Sent

    static midi::PortRef port() { return {"Scripted", "out", 0}; }

    std::string name() const override { return "Scripted"; }
    std::vector<midi::PortInfo> outputs() override { return {{port(), "Scripted: out"}}; }
    std::vector<midi::PortInfo> inputs() override { return {}; }
    std::unique_ptr<midi::OutputConnection> openOutput(const midi::PortRef&) override
    {
        return opens ? std::make_unique<Connection>(*this) : nullptr;
    }
    std::unique_ptr<midi::InputConnection> openInput(const midi::PortRef&, midi::ShortMessageCallback) override
    {
        return nullptr;
    }

private:
    class Connection : public midi::OutputConnection {
    public:
        explicit Connection(ScriptedBackend& owner) : m_owner(owner) {}
        midi::SendResult send(std::span<const std::uint8_t> message) override
        {
            if (m_owner.result == midi::SendResult::Sent)
                m_owner.sent.emplace_back(message.begin(), message.end());
            return m_owner.result;
        }

    private:
        ScriptedBackend& m_owner;
    };
};

} // namespace quillon::testing
