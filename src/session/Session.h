#pragma once
// The one object that holds what a run of Quillon remembers between windows:
// the chosen MIDI ports, the main window's file category, the transfer list,
// the player's hand-over values and (from RunBasics) the message service, the
// data folders and the name accepted by the last name prompt. Windows get it
// handed in. Nothing here is saved: every run starts afresh (no port chosen,
// songs shown). It sits above the MIDI layer and the transfer core and below
// the areas' windows.
#include "base/widgets/RunBasics.h"
#include "midi/io/MidiSystem.h"
#include "transfer/core/SlotMap.h"
#include "transfer/core/TransferList.h"

#include <optional>
#include <string>

namespace quillon::session {

// The main window's two kinds of files; the numbers are the category's values.
enum class FileCategory { None = 0, Songs = 1, RomImages = 2 };

// What "&MidiPlay" hands to the player: which list and which entry to start on.
struct PlayHandOver {
    static constexpr int kSongsOfMidFolder = 2; // the player's number for the songs of "mid/"
    int category = 0;
    int index = -1;
};

class Session : public base::RunBasics {
public:
    // midi may be null for windows that never touch ports (and in their tests).
    Session(midi::MidiSystem* midi, ui::MessageService& messages, DataFolders folders = DataFolders());

    midi::MidiSystem* midi() const { return m_midi; }

    // The keyboard the chosen output leads to (see transfer::deviceIdentity):
    // nothing when no output is chosen or it is gone.
    std::optional<std::string> chosenKeyboard() const;
    // What this computer last sent to the slots of the chosen keyboard, from
    // the data folder's transfer log (see transfer::SlotMap::forOutput).
    transfer::SlotMap slotMap() const;

    midi::PortChoice outputChoice; // NotChosen until the Set device dialog is confirmed
    midi::PortChoice inputChoice;  // NotChosen until the Set device dialog is confirmed
    FileCategory category = FileCategory::Songs;
    transfer::TransferList transfers; // what the next Send File window sends
    PlayHandOver playHandOver;

private:
    midi::MidiSystem* m_midi;
};

} // namespace quillon::session
