#pragma once
// Merges the tracks of a MIDI file into one time-ordered sequence of events.
// Each track is in tick order already; the merge keeps it so: the earliest tick
// first, the lower-numbered track first on equal ticks, and a track's own events
// never pass each other. Playing and format 0 writing both rely on this order.
#include "player/core/MidiFile.h"

#include <span>
#include <vector>

namespace quillon::player {

// Pointers into `tracks` (valid while they are), in the merge order above.
// Events for which `leaveOut` answers true are skipped.
std::vector<const TrackEvent*> mergeTracks(std::span<const Track> tracks, bool (*leaveOut)(const TrackEvent&));

} // namespace quillon::player
