#include "curve/core/CurveFile.h"

#include "base/core/RegularFile.h"
#include "base/core/ReplaceFile.h"

#include <string>

namespace quillon::curve {

namespace {

void putInt32(std::vector<std::uint8_t>& out, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>((bits >> shift) & 0xFF));
}

std::int32_t getInt32(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4; ++i)
        bits |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    return static_cast<std::int32_t>(bits);
}

} // namespace

StoredCurve storedCurveOf(const VelocityCurve& curve) { return {curve.table(), curve.keyPoints()}; }

std::vector<std::uint8_t> encodeCurveFile(const StoredCurve& curve)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(kCurveFileSize);
    for (std::int32_t value : curve.table)
        putInt32(bytes, value);
    for (std::int32_t value : curve.points.x)
        putInt32(bytes, value);
    for (std::int32_t value : curve.points.y)
        putInt32(bytes, value);
    return bytes;
}

Result<StoredCurve> decodeCurveFile(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kCurveFileSize)
        return fail("a curve file holds 568 bytes, this one only " + std::to_string(bytes.size()));
    StoredCurve curve;
    for (std::size_t v = 0; v < kTableSize; ++v)
        curve.table[v] = getInt32(bytes, 4 * v);
    for (std::size_t i = 0; i < kKeyPointCount; ++i) {
        curve.points.x[i] = getInt32(bytes, kKeyXOffset + 4 * i);
        curve.points.y[i] = getInt32(bytes, kKeyYOffset + 4 * i);
    }
    if (Status valid = checkKeyPoints(curve.points); !valid)
        return fail("the key-points are broken: " + valid.reason());
    return curve;
}

Result<StoredCurve> readCurveFile(const std::filesystem::path& file)
{
    // Only a regular file: a pipe given as a curve would wait for a writer forever.
    const auto bytes = base::readRegularFile(file, kCurveFileSize);
    if (!bytes)
        return fail(bytes.reason());
    Result<StoredCurve> curve = decodeCurveFile(*bytes);
    if (!curve)
        return fail(file.string() + ": " + curve.reason());
    return curve;
}

Status loadCurveFile(const std::filesystem::path& file, VelocityCurve& curve)
{
    Result<StoredCurve> stored = readCurveFile(file);
    if (!stored)
        return fail(stored.reason());
    curve.setKeyPoints(stored->points);
    curve.setTable(stored->table);
    return success();
}

Status writeCurveFile(const std::filesystem::path& file, const StoredCurve& curve)
{
    if (Status valid = checkKeyPoints(curve.points); !valid)
        return fail("not saved, the key-points are broken: " + valid.reason());
    return base::replaceFile(file, encodeCurveFile(curve));
}

} // namespace quillon::curve
