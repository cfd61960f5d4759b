#pragma once
// A velocity curve as the user shapes it: seven key-points and the 128-entry
// table they give. Key-points 0, 3 and 6 lie on the curve; 1-2 and 4-5 are the
// inner control points of two cubic Bezier segments. The table is sampled
// from the segments with fixed double arithmetic so that every build gives
// the keyboard the very same bytes.
#include "base/core/Result.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace quillon::curve {

inline constexpr std::size_t kKeyPointCount = 7;
inline constexpr std::size_t kTableSize = 128;
inline constexpr std::int32_t kMaxVelocity = 127;

using Table = std::array<std::int32_t, kTableSize>;

struct KeyPoints {
    std::array<std::int32_t, kKeyPointCount> x{};
    std::array<std::int32_t, kKeyPointCount> y{};
    friend bool operator==(const KeyPoints&, const KeyPoints&) = default;
};

// 0, 20, 40, 58, 73, 97, 127 for both x and y: the identity table.
KeyPoints defaultKeyPoints();

// Fails with a reason unless x runs strictly upwards from 0 to 127 and every y
// lies in 0..127. Curves that pass give a table whose entries lie in 0..127.
Status checkKeyPoints(const KeyPoints& points);

// The table for the key-points. Never touches memory outside the table,
// whatever it is given: coordinates beyond 0..127 are first brought into that
// range, and samples that would land outside the table are dropped.
Table computeCurveTable(const KeyPoints& points);

// Whether every entry is a 7-bit velocity.
bool tableInRange(const Table& table);

class VelocityCurve {
public:
    // Starts with the default key-points and their (identity) table.
    VelocityCurve();

    const KeyPoints& keyPoints() const { return m_points; }
    const Table& table() const { return m_table; }

    // Replaces the key-points; the table follows at the next computeTable().
    void setKeyPoints(const KeyPoints& points) { m_points = points; }
    void setDefaultKeyPoints() { m_points = defaultKeyPoints(); }
    // Puts a table in place as it is, e.g. the one stored in a curve file.
    void setTable(const Table& table) { m_table = table; }

    // Recomputes the table from the key-points, then pins key-point 0 to x = 0.
    void computeTable();

private:
    KeyPoints m_points;
    Table m_table{};
};

} // namespace quillon::curve
