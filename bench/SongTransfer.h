#pragma once
// What the Send File window benchmarks share: 28 songs of 64 KiB each in a data
// folder, the built-in keyboard as a route, and one run of a transfer through
// the window's own code path (handshake, kept-open output, MIDI input pump,
// Qt event loop; the window is never shown, so nothing is drawn).
// The caller owns the QApplication.
#include "base/core/DataFolders.h"
#include "midi/io/MidiSystem.h"
#include "transfer/core/TransferList.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quillon::bench {

inline constexpr int kSongs = 28;
inline constexpr std::size_t kSongBytes = 64 * 1024;

// Blocks of all songs together.
unsigned totalBlocks();

// Random bytes behind a MIDI file head, so that the songs pass the song check.
std::vector<std::string> writeSongs(const DataFolders& folders);

// A MIDI system with nothing but the built-in keyboard.
std::unique_ptr<midi::MidiSystem> keyboardSystem();

struct Route {
    midi::MidiSystem* system;
    midi::PortChoice output;
    midi::PortChoice input;
    // True when the receiving keyboard holds every song whole.
    std::function<bool()> received;
};

Route builtInRoute(midi::MidiSystem& system);

struct Measurement {
    double wall = 0;
    double callingThreadCpu = 0;
    unsigned blocks = 0;
    bool complete = false;
};

// Sends the list through a Send File window on `route` and waits for the end
// (or for the window's own "keyboard silent" status, or two minutes).
Measurement throughWindow(const DataFolders& folders, const transfer::TransferList& list, const Route& route);

double threadCpuSeconds();
double wallSeconds();

} // namespace quillon::bench
