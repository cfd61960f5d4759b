// The command line's lists: --slots and the seven numbers of --points and
// --values. The first byte picks the list, the rest is its text. Whatever the
// text, parsing yields the list or a reason, and an accepted list
//   - has one entry per comma-separated part, each that part's own number;
//   - holds only slots 1..28 (for --slots);
//   - reads back the same from its own plain decimal form;
//   - as key-points, is either refused with a reason or gives a 7-bit table.
#include "cli/ListOptions.h"
#include "curve/core/VelocityCurve.h"

#include "FuzzCheck.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

using namespace quillon;

namespace {

template <typename Numbers>
std::string joined(const Numbers& numbers)
{
    std::string text;
    for (const auto value : numbers)
        text += (text.empty() ? "" : ",") + std::to_string(value);
    return text;
}

std::size_t partCount(const std::string& text)
{
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), ',')) + 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    if (data[0] & 1) {
        const auto slots = cli::parseSlots(text, partCount(text));
        if (!slots) {
            FUZZ_CHECK(!slots.reason().empty());
            return 0;
        }
        FUZZ_CHECK(slots->size() == partCount(text));
        for (const int slot : *slots)
            FUZZ_CHECK(slot >= 1 && slot <= 28);
        const auto again = cli::parseSlots(joined(*slots), slots->size());
        FUZZ_CHECK(again.ok() && *again == *slots);
        // One slot more or fewer than files is refused.
        FUZZ_CHECK(!cli::parseSlots(text, slots->size() + 1).ok());
        return 0;
    }
    const auto numbers = cli::parseSeven(text, "--points");
    if (!numbers) {
        FUZZ_CHECK(!numbers.reason().empty());
        return 0;
    }
    FUZZ_CHECK(partCount(text) == curve::kKeyPointCount);
    const auto again = cli::parseSeven(joined(*numbers), "--points");
    FUZZ_CHECK(again.ok() && *again == *numbers);

    // The numbers as the x, then as the y of otherwise default key-points: refused or a 7-bit table.
    const curve::KeyPoints identity = curve::defaultKeyPoints();
    for (const curve::KeyPoints& points :
         {curve::KeyPoints{*numbers, identity.y}, curve::KeyPoints{identity.x, *numbers}}) {
        if (!curve::checkKeyPoints(points).ok())
            continue;
        for (const auto value : curve::computeCurveTable(points))
            FUZZ_CHECK(value >= 0 && value <= 127);
    }
    return 0;
}
