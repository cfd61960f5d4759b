#pragma once
// Raw MIDI devices (hw:C,D,S), the most direct way to a keyboard: a message
// is written to the device as bytes and drained, and what the device sends is
// read as bytes. Listed as `amidi -l` lists them, by card and device names.
// Without sound cards the backend does not start.
#include "midi/io/MidiSystem.h"

#include <memory>

namespace quillon::midi {

class AlsaRawBackend : public Backend {
public:
    static constexpr const char* kBackendName = "ALSA raw";

    // nullptr on a machine without /dev/snd.
    static std::unique_ptr<AlsaRawBackend> start();

    std::string name() const override { return kBackendName; }
    std::vector<PortInfo> outputs() override;
    std::vector<PortInfo> inputs() override;
    std::unique_ptr<OutputConnection> openOutput(const PortRef& port) override;
    std::unique_ptr<InputConnection> openInput(const PortRef& port, ShortMessageCallback onMessage) override;
};

// True for ports of the ALSA sequencer and of raw MIDI devices: both reach a
// USB keyboard through the kernel's USB MIDI driver.
bool isAlsaPort(const PortRef& port);

} // namespace quillon::midi
