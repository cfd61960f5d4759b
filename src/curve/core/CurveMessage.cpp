#include "curve/core/CurveMessage.h"

#include <string>

namespace quillon::curve {

namespace {
constexpr std::uint8_t kSubKindCurve = 0x01;
constexpr std::uint8_t kCurveTarget = 0x18;
constexpr unsigned kCurveNumber = 1;
} // namespace

Result<frame::Bytes> buildCurveMessage(const Table& table)
{
    std::array<std::uint8_t, kTableSize> payload{};
    for (std::size_t v = 0; v < kTableSize; ++v) {
        if (table[v] < 0 || table[v] > kMaxVelocity)
            return fail("the curve cannot be sent: entry " + std::to_string(v) + " is " + std::to_string(table[v]) +
                        ", outside 0..127");
        payload[v] = static_cast<std::uint8_t>(table[v]);
    }
    return frame::buildMessage(
        {frame::kFamilyControl, frame::kKindCurve, kSubKindCurve, kCurveTarget, kCurveNumber, frame::kCommandControl},
        payload);
}

} // namespace quillon::curve
