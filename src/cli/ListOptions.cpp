#include "cli/ListOptions.h"

#include "transfer/core/TransferList.h"

#include <algorithm>
#include <charconv>

namespace quillon::cli {

Result<std::vector<int>> parseSlots(const std::string& text, std::size_t expected)
{
    std::vector<int> slots;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        int slot = 0;
        const auto [end, error] = std::from_chars(text.data() + start, text.data() + comma, slot);
        if (error != std::errc() || end != text.data() + comma || !transfer::isValidSlot(slot))
            return quillon::fail("--slots: \"" + text.substr(start, comma - start) + "\" is not a slot 1..28");
        slots.push_back(slot);
        start = comma + 1;
    }
    if (slots.size() != expected)
        return quillon::fail("--slots: " + std::to_string(slots.size()) + " slots for " + std::to_string(expected) +
                             " files");
    return slots;
}

Result<std::array<std::int32_t, curve::kKeyPointCount>> parseSeven(const std::string& text, const char* option)
{
    std::array<std::int32_t, curve::kKeyPointCount> numbers{};
    std::size_t count = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        std::int32_t value = 0;
        const auto [end, error] = std::from_chars(text.data() + start, text.data() + comma, value);
        if (error != std::errc() || end != text.data() + comma || count == numbers.size())
            return quillon::fail(std::string(option) + ": expected 7 comma-separated whole numbers");
        numbers[count++] = value;
        start = comma + 1;
    }
    if (count != numbers.size())
        return quillon::fail(std::string(option) + ": expected 7 comma-separated whole numbers");
    return numbers;
}

} // namespace quillon::cli
