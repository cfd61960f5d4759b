#pragma once
// What this computer last stored in each song slot of each keyboard, read
// from the transfer log. The keyboard cannot be asked what its slots hold, so
// this is all Quillon knows, and it says only what the log proves:
// - a slot holds a song only when that song arrived whole ("sent"), and the
//   latest such song wins;
// - a later send to the slot that did not end well (cut short, stopped,
//   failed) leaves the slot unknown, since the keyboard may have started
//   overwriting it; a file that was never announced (unreadable, refused)
//   changes nothing;
// - a ROM update (any attempt that reached the keyboard) may have reset its
//   memory: songs stored before it are kept but marked so;
// - a log that cannot be read, or holds a line that is not a log line, gives
//   an empty map with a note: never a wrong one.
// Plain data; no Qt.
#include "transfer/core/TransferReport.h"

#include <filesystem>
#include <istream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::transfer {

struct SlotContent {
    bool known = true;    // false: a send to the slot did not finish, what it holds is not known
    std::string fileName; // the song stored, or the one whose send did not finish
    std::uintmax_t bytes = 0;
    WallClock::time_point when;
    FileResult result = FileResult::Sent; // what became of that send
    bool beforeRomUpdate = false;         // stored before a ROM update, which may have reset it
};

struct DeviceSlots {
    std::string device;                  // see deviceIdentity; empty for lines written before devices were recorded
    std::map<int, SlotContent> contents; // by slot number ("slots" is a Qt word)
    std::optional<WallClock::time_point> romUpdate; // the last ROM update that reached the keyboard
};

struct SlotMap {
    std::vector<DeviceSlots> devices; // in the order the log first names them
    std::string note;                 // why the map is empty though there is a log; else empty

    const DeviceSlots* find(std::string_view device) const;
    // The map of the keyboard the output leads to; without one (no port
    // chosen), the only keyboard the log knows, if it knows just one.
    const DeviceSlots* forOutput(const std::optional<std::string>& device) const;
    // The slots that hold this song, in slot order.
    static std::vector<int> slotsHolding(const DeviceSlots& device, std::string_view fileName);
};

// The keyboard a port leads to, as the port choice names it: the device part
// of the name when the name tells it (so one keyboard is one map whichever
// MIDI stack reaches it), else the whole port name.
std::string deviceIdentity(std::string_view portName);

SlotMap buildSlotMap(std::istream& log);
// A missing log is an empty map without a note: nothing was sent yet.
SlotMap readSlotMap(const std::filesystem::path& logFile);

// "7 Dec", in the computer's own time zone.
std::string shortDate(WallClock::time_point when);
// What the slot drop-down offers: "No.05 · Little tune.mid · 7 Dec", the
// label alone for a slot this computer never filled.
std::string slotChoiceText(int slot, const DeviceSlots* device);
// Where a song is on the keyboard, for its tooltip: "on the keyboard in slot 5
// since 7 Dec"; empty when this computer stored it in no slot.
std::string whereStoredText(const DeviceSlots& device, std::string_view fileName);
// The label a drop-down choice begins with ("No.05" of the text above).
std::string_view slotChoiceLabel(std::string_view choice);

} // namespace quillon::transfer
