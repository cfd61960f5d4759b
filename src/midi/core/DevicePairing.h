#pragma once
// Which ports lead to one device, read from port names as each MIDI stack
// writes them, and which output and input the default means: the keyboard,
// heard on the device it is sent to.
//
//   ALSA sequencer   "USB Keys:USB Keys MIDI 1 20:0"            client 20
//   ALSA raw MIDI    "USB Keys:USB Keys MIDI 1 hw:1,0,0"        card 1
//   PipeWire bridge  "Midi-Bridge:USB Keys:(capture_0) USB Keys MIDI 1"
//   a2j bridge       "a2j:USB Keys [20] (playback): USB Keys MIDI 1"
//   a program        "quillon-keyboard:in" (its output may sit on "quillon-keyboard-out")
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillon::midi {

struct DeviceOfPort {
    // Equal for two ports of one device within one backend; empty when the
    // name does not tell (the JACK server's own "system:midi_capture_1").
    std::string device;
    // The kernel's "Midi Through": what goes out comes straight back, no keyboard behind it.
    bool loopback = false;
    // Reached through the MIDI server's bridge to ALSA, which may cut or change SysEx.
    bool bridged = false;
};

DeviceOfPort deviceOfPort(std::string_view portName);

// Whether an output and an input port (each with its backend's name) lead to
// one device that can be paired: the same backend, the same known device, no loopback.
bool pairsWith(std::string_view outputBackend, std::string_view outputName, std::string_view inputBackend,
               std::string_view inputName);

struct NamedPort {
    std::string_view backend;
    std::string_view name;
};

// The output and the input (positions in the two lists) of the device the
// default means: the first output in list order that pairs with an input,
// a direct port before one through a bridge. nullopt when none pairs.
struct PairPosition {
    std::size_t output;
    std::size_t input;
};
std::optional<PairPosition> pickDevicePair(std::span<const NamedPort> outputs, std::span<const NamedPort> inputs);

} // namespace quillon::midi
