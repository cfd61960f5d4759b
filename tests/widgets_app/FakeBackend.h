#pragma once
// A MIDI backend whose port lists a test sets directly; opening always fails
// (the windows under test only list and choose ports).
#include "../support/SessionRig.h"

#include "midi/io/MidiSystem.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quillon::testing {

class FakeBackend : public midi::Backend {
public:
    explicit FakeBackend(std::string name) : m_name(std::move(name)) {}

    std::string name() const override { return m_name; }
    std::vector<midi::PortInfo> outputs() override { return m_outputs; }
    std::vector<midi::PortInfo> inputs() override { return m_inputs; }
    std::unique_ptr<midi::OutputConnection> openOutput(const midi::PortRef&) override { return nullptr; }
    std::unique_ptr<midi::InputConnection> openInput(const midi::PortRef&, midi::ShortMessageCallback) override
    {
        return nullptr;
    }

    // Ports by (index, name); an index left out is a port whose query failed.
    void setOutputs(const std::vector<std::pair<int, std::string>>& ports) { m_outputs = make(ports); }
    void setInputs(const std::vector<std::pair<int, std::string>>& ports) { m_inputs = make(ports); }

    midi::PortRef ref(int index, const std::string& name) const { return {m_name, name, index}; }

private:
    std::vector<midi::PortInfo> make(const std::vector<std::pair<int, std::string>>& ports) const
    {
        std::vector<midi::PortInfo> infos;
        for (const auto& [index, name] : ports)
            infos.push_back({ref(index, name), name});
        return infos;
    }

    std::string m_name;
    std::vector<midi::PortInfo> m_outputs;
    std::vector<midi::PortInfo> m_inputs;
};

// A session over one fake backend, kept at hand, with three ports each way to start with.
struct FakeMidi : SessionRig {
    FakeBackend& fake = backend<FakeBackend>(0);

    FakeMidi() : SessionRig(backendsOf(std::make_unique<FakeBackend>("Fake")))
    {
        fake.setOutputs({{0, "Out A"}, {1, "Out B"}, {2, "Out C"}});
        fake.setInputs({{0, "In A"}, {1, "In B"}, {2, "In C"}});
    }
};

} // namespace quillon::testing
