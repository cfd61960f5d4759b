// The .crv reader: any bytes give a curve or a reason. An accepted curve has
// sound key-points, writes back to the same 568 bytes, computes a table of
// 7-bit velocities and can be sent exactly when its stored table is 7-bit.
#include "curve/core/CurveFile.h"
#include "curve/core/CurveMessage.h"
#include "curve/core/VelocityCurve.h"

#include "FuzzCheck.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>

using namespace quillon::curve;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    const auto stored = decodeCurveFile(bytes);
    if (!stored) {
        FUZZ_CHECK(!stored.reason().empty());
        // Even refused key-points must be harmless to compute from: that is
        // what a half-dragged curve in the editor does.
        if (size >= kCurveFileSize) {
            KeyPoints points;
            for (std::size_t i = 0; i < kKeyPointCount; ++i) {
                for (std::size_t b = 0; b < 4; ++b) {
                    points.x[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(points.x[i]) |
                                                            std::uint32_t{data[kKeyXOffset + 4 * i + b]} << (8 * b));
                    points.y[i] = static_cast<std::int32_t>(static_cast<std::uint32_t>(points.y[i]) |
                                                            std::uint32_t{data[kKeyYOffset + 4 * i + b]} << (8 * b));
                }
            }
            (void)computeCurveTable(points);
        }
        return 0;
    }
    FUZZ_CHECK(size >= kCurveFileSize);
    FUZZ_CHECK(checkKeyPoints(stored->points).ok());

    const auto encoded = encodeCurveFile(*stored);
    FUZZ_CHECK(encoded.size() == kCurveFileSize);
    FUZZ_CHECK(std::equal(encoded.begin(), encoded.end(), bytes.begin()));

    const Table computed = computeCurveTable(stored->points);
    FUZZ_CHECK(tableInRange(computed));
    FUZZ_CHECK(buildCurveMessage(computed).ok());

    const auto message = buildCurveMessage(stored->table);
    FUZZ_CHECK(message.ok() == tableInRange(stored->table));
    if (message) {
        FUZZ_CHECK(message->size() == kCurveMessageSize);
        for (std::size_t i = 0; i < kTableSize; ++i)
            FUZZ_CHECK((*message)[quillon::frame::kHeadLength + i] == stored->table[i]);
    }
    return 0;
}
