#include "midi/io/StallWatch.h"

#include "midi/io/JackBackend.h"

namespace quillon::midi {

void StallWatch::restart(const MidiSystem& system)
{
    m_missed = system.missedCycles();
    m_stops = system.serverStops();
}

Stall StallWatch::diagnose(MidiSystem& system, const PortChoice& output, const PortChoice& input) const
{
    Stall stall;
    stall.missedCycles = system.missedCycles() - m_missed;
    const auto out = system.resolve(output, Direction::Output);
    stall.throughBridge = isBridgedJackPort(out ? *out : output.port);
    if (serverStopped(system))
        stall.cause = StallCause::ServerStopped;
    else if (!out || !system.resolve(input, Direction::Input))
        stall.cause = StallCause::PortGone;
    return stall;
}

} // namespace quillon::midi
