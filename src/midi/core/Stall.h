#pragma once
// Why a transfer waits in vain, as far as the program can tell, and the
// sentence that tells the user.
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace quillon::midi {

enum class StallCause {
    KeyboardSilent, // its ports are still listed, the server runs, no answer
    PortGone,       // the chosen output or input is no longer listed
    ServerStopped,  // the MIDI server (JACK) stopped while we waited
    NoCycles,       // it runs no cycles for us: paused or stuck, or held up by a paused program
    ServerPaused,   // it ran no cycles for a while during the wait, then went on
    SenderStopped,  // this program itself was stopped (suspended) during the wait
    MaybeLost,      // all looks well, but the server is one known to drop a message now and then
};

struct Stall {
    StallCause cause = StallCause::KeyboardSilent;
    std::uint64_t missedCycles = 0; // during this wait only
    bool throughBridge = false;     // the output reaches hardware through a SysEx-mangling bridge
    bool blockOverAlsa = false;     // silent after a data block sent on an ALSA route (see kStallBlockOverAlsa)
    bool operator==(const Stall&) const = default;
};

// What the waiting side sees when it looks now and then during a wait: its
// own clock jumping far past the next look means this program was stopped
// (nothing of it ran, so it may have missed the reply); looks on time that
// find the server's last cycle old mean the server paused.
class WaitTimeline {
public:
    using Clock = std::chrono::steady_clock;
    // `lookEvery`: how often the waiting side means to look.
    explicit WaitTimeline(std::chrono::milliseconds lookEvery) : m_lookEvery(lookEvery) {}
    // A wait begins (the run starts, or a reply came): judged like a look, as
    // a stop may fall between two waits. What was found stays for the run: a
    // message lost then stalls it later.
    void restart(Clock::time_point now) { look(now, std::nullopt); }
    // Time spent elsewhere (sending) is not looked at: the next look counts from `now`.
    void resume(Clock::time_point now) { m_lastLook = now; }
    // `lastCycle`: when the server last ran a cycle for this program (none: no such clock).
    void look(Clock::time_point now, std::optional<Clock::time_point> lastCycle);
    bool senderStopped() const { return m_senderStopped; }
    bool serverPaused() const { return m_serverPaused; }

private:
    std::chrono::milliseconds m_lookEvery;
    std::optional<Clock::time_point> m_lastLook; // none before the first
    bool m_senderStopped = false;
    bool m_serverPaused = false;
};

// Whether a SysEx message carries a status byte inside (a data block's
// command 0x89): the kernel's USB MIDI driver packs such a body by parsing
// it, as Note Offs, so it does not reach a USB device as sent.
bool statusInsideSysEx(std::span<const std::uint8_t> message);

// The cause's sentence (`silentText` for a silent keyboard, so a window can
// use its own), then missed cycles and the bridge when they apply.
std::string stallNotice(const Stall& stall, std::string_view silentText);

} // namespace quillon::midi
