#include "transfer/core/TransferList.h"

#include <cstdio>

namespace quillon::transfer {

bool isValidSlot(int slot) { return slot >= kFirstSlot && slot <= kLastSlot; }

std::string slotLabel(int slot)
{
    char text[16];
    std::snprintf(text, sizeof text, "No.%02d", slot);
    return text;
}

std::optional<int> parseSlotLabel(std::string_view label)
{
    constexpr std::string_view prefix = "No.";
    if (label.size() != prefix.size() + 2 || label.substr(0, prefix.size()) != prefix)
        return std::nullopt;
    const char tens = label[prefix.size()];
    const char units = label[prefix.size() + 1];
    if (tens < '0' || tens > '9' || units < '0' || units > '9')
        return std::nullopt;
    const int slot = (tens - '0') * 10 + (units - '0');
    if (!isValidSlot(slot))
        return std::nullopt;
    return slot;
}

std::vector<RepeatedSlot> repeatedSlots(const TransferList& list)
{
    std::vector<RepeatedSlot> repeats;
    if (list.kind != TransferKind::Songs)
        return repeats;
    for (std::size_t later = 1; later < list.entries.size(); ++later) {
        for (std::size_t earlier = later; earlier-- > 0;) {
            if (list.entries[earlier].slot == list.entries[later].slot) {
                repeats.push_back({list.entries[later].slot, earlier, later});
                break;
            }
        }
    }
    return repeats;
}

std::string repeatedSlotsText(const TransferList& list)
{
    std::string text;
    for (const RepeatedSlot& repeat : repeatedSlots(list)) {
        if (!text.empty())
            text += ' ';
        text += "Slot " + std::to_string(repeat.slot) + " is given twice: " + list.entries[repeat.later].fileName +
                " replaces " + list.entries[repeat.earlier].fileName + ".";
    }
    return text;
}

} // namespace quillon::transfer
