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

} // namespace quillon::transfer
