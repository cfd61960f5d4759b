#include "curve/core/CurveMessage.h"
#include "curve/core/Presets.h"

#include <gtest/gtest.h>

namespace quillon::curve {
namespace {

const frame::Bytes kHead{0xF0, 0x00, 0x20, 0x63, 0x00, 0x02, 0x00, 0x05, 0x01, 0x18, 0x00, 0x01, 0x29};

TEST(CurveMessage, DefaultCurveCarriesZeroToSeventyFAndEntriesOutsideSevenBitsAreRefused)
{
    Table table = VelocityCurve{}.table();
    const Result<frame::Bytes> message = buildCurveMessage(table);
    ASSERT_TRUE(message) << message.reason();
    ASSERT_EQ(message->size(), kCurveMessageSize);
    EXPECT_EQ((frame::Bytes{message->begin(), message->begin() + 13}), kHead);
    EXPECT_EQ(message->back(), 0xF7);
    const frame::Bytes payload(message->begin() + 13, message->end() - 1);
    for (std::size_t v = 0; v < kTableSize; ++v)
        EXPECT_EQ(payload[v], v) << "at " << v;

    for (const std::int32_t outside : {128, -1}) {
        table[40] = outside;
        EXPECT_FALSE(buildCurveMessage(table)) << outside;
    }
}

} // namespace
} // namespace quillon::curve
