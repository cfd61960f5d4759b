#include "midi/io/StallWatch.h"

#include "midi/io/AlsaRawBackend.h"
#include "midi/io/JackBackend.h"

#include <algorithm>

namespace quillon::midi {

void StallWatch::restart(const MidiSystem& system)
{
    m_missed = system.missedCycles();
    m_stops = system.serverStops();
    m_waitStarted = std::chrono::steady_clock::now();
    m_timeline.restart(m_waitStarted);
}

void StallWatch::look(MidiSystem& system, const PortRef& output)
{
    m_timeline.look(std::chrono::steady_clock::now(), system.lastServerCycle(output));
}

Stall StallWatch::diagnose(MidiSystem& system, const PortChoice& output, const PortChoice& input,
                           bool awaitingBlock) const
{
    Stall stall;
    stall.missedCycles = system.missedCycles() - m_missed;
    const auto out = system.resolve(output, Direction::Output);
    stall.throughBridge = isBridgedJackPort(out ? *out : output.port);
    // A cycle takes milliseconds: a server that ran none for half the wait
    // (and at least half a second) is not merely busy.
    const auto now = std::chrono::steady_clock::now();
    const auto noCycleFor =
        std::max<std::chrono::steady_clock::duration>(std::chrono::milliseconds(500), (now - m_waitStarted) / 2);
    const auto lastCycle = out ? system.lastServerCycle(*out) : std::nullopt;
    if (serverStopped(system))
        stall.cause = StallCause::ServerStopped;
    else if (lastCycle && now - *lastCycle >= noCycleFor)
        stall.cause = StallCause::NoCycles;
    else if (!out || !system.resolve(input, Direction::Input))
        stall.cause = StallCause::PortGone;
    else if (m_timeline.senderStopped())
        stall.cause = StallCause::SenderStopped;
    else if (m_timeline.serverPaused())
        stall.cause = StallCause::ServerPaused;
    else if (stall.missedCycles == 0 && system.routeTraits(output).dropsMessages)
        stall.cause = StallCause::MaybeLost;
    stall.blockOverAlsa = stall.cause == StallCause::KeyboardSilent && awaitingBlock && out && isAlsaPort(*out);
    return stall;
}

} // namespace quillon::midi
