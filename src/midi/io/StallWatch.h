#pragma once
// Tells why the keyboard has not answered: remembers the MIDI system's
// counters when a wait begins, and on a stall looks at what changed since
// (a stopped server, missed cycles) and at what is still listed, and, looking
// now and then during the wait, whether the server or this program paused.
#include "midi/core/Stall.h"
#include "midi/io/MidiSystem.h"

#include <chrono>

namespace quillon::midi {

class StallWatch {
public:
    // The run starts or a reply came: a new wait begins. One watch per run:
    // a stop or a pause it found stays found.
    void restart(const MidiSystem& system);
    // True once the server stopped since restart(): waiting longer is pointless.
    bool serverStopped(const MidiSystem& system) const { return system.serverStops() > m_stops; }
    // While waiting, every `lookEvery` (see WaitTimeline): the server's clock behind `output`.
    void look(MidiSystem& system, const PortRef& output);
    // Back to waiting after time spent sending.
    void resume() { m_timeline.resume(std::chrono::steady_clock::now()); }
    // `awaitingBlock`: the wait is for the answer to a data block.
    Stall diagnose(MidiSystem& system, const PortChoice& output, const PortChoice& input,
                   bool awaitingBlock = false) const;

    explicit StallWatch(std::chrono::milliseconds lookEvery = std::chrono::milliseconds(250)) : m_timeline(lookEvery) {}

private:
    WaitTimeline m_timeline;
    std::uint64_t m_missed = 0;
    std::uint64_t m_stops = 0;
    std::chrono::steady_clock::time_point m_waitStarted = std::chrono::steady_clock::now();
};

} // namespace quillon::midi
