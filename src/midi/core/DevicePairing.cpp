#include "midi/core/DevicePairing.h"

namespace quillon::midi {

namespace {

constexpr std::string_view kLoopbackDevice = "Midi Through";

bool digitsOnly(std::string_view text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The ALSA sequencer's client number from a trailing address (" 20:0"); none without one.
std::optional<std::string_view> clientNumber(std::string_view name)
{
    const auto blank = name.rfind(' ');
    if (blank == std::string_view::npos)
        return std::nullopt;
    const std::string_view address = name.substr(blank + 1);
    const auto colon = address.find(':');
    if (colon == std::string_view::npos || !digitsOnly(address.substr(0, colon)) ||
        !digitsOnly(address.substr(colon + 1)))
        return std::nullopt;
    return address.substr(0, colon);
}

DeviceOfPort known(std::string device, bool bridged)
{
    const bool loopback = device.find(kLoopbackDevice) != std::string::npos;
    return {std::move(device), loopback, bridged};
}

} // namespace

DeviceOfPort deviceOfPort(std::string_view name)
{
    constexpr std::string_view pipeWireBridge = "Midi-Bridge:";
    constexpr std::string_view a2jBridge = "a2j:";
    if (name.starts_with(pipeWireBridge)) {
        // The device's name stands between the bridge's client name and the port's.
        name.remove_prefix(pipeWireBridge.size());
        return known(std::string(pipeWireBridge) + std::string(name.substr(0, name.find(':'))), true);
    }
    if (name.starts_with(a2jBridge)) {
        // "a2j:USB Keys [20] (playback): ...": the device and its ALSA client number.
        name.remove_prefix(a2jBridge.size());
        return known(std::string(a2jBridge) + std::string(name.substr(0, name.find(" ("))), true);
    }
    if (name.starts_with("system:midi_"))
        return {{}, false, true}; // every device the server drives sits on this one client
    if (const auto blank = name.rfind(' ');
        blank != std::string_view::npos && name.substr(blank + 1).starts_with("hw:")) {
        // Raw MIDI "card name:subdevice name hw:C,D,S": one card is one device.
        const std::string_view address = name.substr(blank + 1);
        return {std::string(address.substr(0, address.find(','))), false, false};
    }
    const std::string_view client = name.substr(0, name.find(':'));
    if (const auto number = clientNumber(name))
        return {"client " + std::string(*number), client == kLoopbackDevice, false};
    // A program may put its output on a second client "<name>-out".
    constexpr std::string_view outputClientSuffix = "-out";
    std::string_view device = client;
    if (device.size() > outputClientSuffix.size() && device.ends_with(outputClientSuffix))
        device.remove_suffix(outputClientSuffix.size());
    return {std::string(device), client == kLoopbackDevice, false};
}

bool pairsWith(std::string_view outputBackend, std::string_view outputName, std::string_view inputBackend,
               std::string_view inputName)
{
    if (outputBackend != inputBackend)
        return false;
    const DeviceOfPort out = deviceOfPort(outputName);
    const DeviceOfPort in = deviceOfPort(inputName);
    return !out.device.empty() && !out.loopback && !in.loopback && out.device == in.device;
}

std::optional<PairPosition> pickDevicePair(std::span<const NamedPort> outputs, std::span<const NamedPort> inputs)
{
    std::optional<PairPosition> bridged;
    for (std::size_t o = 0; o < outputs.size(); ++o) {
        for (std::size_t i = 0; i < inputs.size(); ++i) {
            if (!pairsWith(outputs[o].backend, outputs[o].name, inputs[i].backend, inputs[i].name))
                continue;
            if (!deviceOfPort(outputs[o].name).bridged)
                return PairPosition{o, i};
            if (!bridged)
                bridged = PairPosition{o, i};
        }
    }
    return bridged;
}

} // namespace quillon::midi
