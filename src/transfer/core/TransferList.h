#pragma once
// The list of files one transfer sends: names, size texts and, for songs, the
// keyboard slot each goes to. Filled by song or ROM image preparation, edited
// by the Send File window (slots only) and read by the handshake.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::transfer {

enum class TransferKind { Songs, RomImage };

inline constexpr int kFirstSlot = 1;
inline constexpr int kLastSlot = 28;

struct TransferEntry {
    std::string fileName;  // as listed, with extension; resolved against the kind's folder by the caller
    std::string sizeText;  // "%5.2f" of kilobytes followed by "K"
    int slot = kFirstSlot; // keyboard song slot 1..28; not used for a ROM image
};

struct TransferList {
    TransferKind kind = TransferKind::Songs;
    std::vector<TransferEntry> entries;
};

bool isValidSlot(int slot);

// "No.05" for slot 5: how the Send File list shows and offers a slot.
std::string slotLabel(int slot);

// The slot named by "No.01" .. "No.28"; nothing for any other text.
std::optional<int> parseSlotLabel(std::string_view label);

// Two songs of one run given one slot: the later is stored over the earlier.
// The keyboard takes it so, and a run may mean it; it is said, not refused.
struct RepeatedSlot {
    int slot;
    std::size_t earlier; // list positions; `earlier` is the nearest song before `later` with that slot
    std::size_t later;
};
std::vector<RepeatedSlot> repeatedSlots(const TransferList& list);

// "Slot 5 is given twice: b.mid replaces a.mid." for each repeat, one after another.
std::string repeatedSlotsText(const TransferList& list);

} // namespace quillon::transfer
