#pragma once
// Tells why the keyboard has not answered: remembers the MIDI system's
// counters when a wait begins, and on a stall looks at what changed since
// (a stopped server, missed cycles) and at what is still listed.
#include "midi/core/Stall.h"
#include "midi/io/MidiSystem.h"

#include <chrono>

namespace quillon::midi {

class StallWatch {
public:
    // A message went out or a reply came: a new wait begins.
    void restart(const MidiSystem& system);
    // True once the server stopped since restart(): waiting longer is pointless.
    bool serverStopped(const MidiSystem& system) const { return system.serverStops() > m_stops; }
    Stall diagnose(MidiSystem& system, const PortChoice& output, const PortChoice& input) const;

private:
    std::uint64_t m_missed = 0;
    std::uint64_t m_stops = 0;
    std::chrono::steady_clock::time_point m_waitStarted = std::chrono::steady_clock::now();
};

} // namespace quillon::midi
