#pragma once
// The .crv curve file: exactly 568 bytes, no header, signed 32-bit
// little-endian integers - the 128 table entries, then the seven key-point
// x values, then the seven y values.
//
// Reading refuses a file shorter than 568 bytes (a longer one is read as its
// first 568) and a file whose key-points break the curve's invariants; the
// caller's curve is never touched on a refusal, as the result is a new value.
// Writing goes to a temporary file beside the target, made new under a unique
// name (".save-xxxxxx.tmp", never through an existing name or link), that
// is flushed to disk and then renamed over the target, so a failed save leaves
// the old file whole.
#include "base/core/Result.h"
#include "curve/core/VelocityCurve.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace quillon::curve {

inline constexpr std::size_t kCurveFileSize = 568;
inline constexpr std::size_t kKeyXOffset = 0x200;
inline constexpr std::size_t kKeyYOffset = 0x21C;

struct StoredCurve {
    Table table{};
    KeyPoints points;
    friend bool operator==(const StoredCurve&, const StoredCurve&) = default;
};

StoredCurve storedCurveOf(const VelocityCurve& curve);

std::vector<std::uint8_t> encodeCurveFile(const StoredCurve& curve);
// The first 568 bytes are decoded; fewer is refused, as are broken key-points.
// The stored table is taken as it is (it is checked when it is sent).
Result<StoredCurve> decodeCurveFile(std::span<const std::uint8_t> bytes);

Result<StoredCurve> readCurveFile(const std::filesystem::path& file);
// Puts a stored curve's key-points and table into the curve, or, when the file
// is refused, leaves the curve exactly as it was and says why.
Status loadCurveFile(const std::filesystem::path& file, VelocityCurve& curve);
// Refuses key-points that break the invariants, so every file written reads back.
Status writeCurveFile(const std::filesystem::path& file, const StoredCurve& curve);

} // namespace quillon::curve
