#pragma once
// Why a transfer waits in vain, as far as the program can tell, and the
// sentence that tells the user.
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon::midi {

enum class StallCause {
    KeyboardSilent, // its ports are still listed, the server runs, no answer
    PortGone,       // the chosen output or input is no longer listed
    ServerStopped,  // the MIDI server (JACK) stopped while we waited
    NoCycles,       // it runs no cycles for us: paused or stuck, or held up by a paused program
};

struct Stall {
    StallCause cause = StallCause::KeyboardSilent;
    std::uint64_t missedCycles = 0; // during this wait only
    bool throughBridge = false;     // the output reaches hardware through a SysEx-mangling bridge
    bool operator==(const Stall&) const = default;
};

// The cause's sentence (`silentText` for a silent keyboard, so a window can
// use its own), then missed cycles and the bridge when they apply.
std::string stallNotice(const Stall& stall, std::string_view silentText);

} // namespace quillon::midi
