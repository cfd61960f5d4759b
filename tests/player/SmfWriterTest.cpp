// Variable-length quantities at every encoding boundary; whole written files
// are checked byte for byte by the format 0 conversion tests.
#include "player/core/SmfWriter.h"

#include <gtest/gtest.h>

#include <utility>

using namespace quillon::player;

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(SmfWriter, VariableLengthQuantitiesAtEveryGroupBoundary)
{
    const std::pair<std::uint32_t, Bytes> cases[] = {
        {0, {0x00}},
        {0x7F, {0x7F}},
        {0x80, {0x81, 0x00}},
        {0x2000, {0xC0, 0x00}},
        {0x3FFF, {0xFF, 0x7F}},
        {0x4000, {0x81, 0x80, 0x00}},
        {0x1FFFFF, {0xFF, 0xFF, 0x7F}},
        {0x200000, {0x81, 0x80, 0x80, 0x00}},
        {kLargestVariableLength, {0xFF, 0xFF, 0xFF, 0x7F}},
        {0x10000000, {0x81, 0x80, 0x80, 0x80, 0x00}},
        {0xFFFFFFFF, {0x8F, 0xFF, 0xFF, 0xFF, 0x7F}},
    };
    for (const auto& [value, expected] : cases) {
        Bytes out{0xAA}; // bytes already there stay in front
        putVariableLength(out, value);
        Bytes withPrefix{0xAA};
        withPrefix.insert(withPrefix.end(), expected.begin(), expected.end());
        EXPECT_EQ(out, withPrefix) << "value " << value;
    }
}

} // namespace
