#pragma once
// Who wants to hear that a backend's ports changed. A backend notifies from
// whatever thread its MIDI API tells it on; each listener's function runs
// there, so it should only hand the news on (a queued signal, for a window).
// A watch stops when its handle is destroyed, also while a notice runs: the
// notice finishes first and no later one reaches it.
#include "midi/io/MidiSystem.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace quillon::midi {

class PortWatchers {
public:
    std::unique_ptr<PortWatch> add(std::function<void()> changed);
    // Any thread.
    void notify();

private:
    struct Shared {
        std::mutex mutex;
        std::map<int, std::function<void()>> listeners;
        int next = 0;
    };
    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
};

// Starts the ALSA sequencer's announcements (ports and clients that start or
// exit) on a thread of its own; nullptr where there is no sequencer.
std::unique_ptr<PortWatch> watchAlsaAnnouncements(std::function<void()> changed);

} // namespace quillon::midi
