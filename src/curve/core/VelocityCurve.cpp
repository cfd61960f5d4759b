#include "curve/core/VelocityCurve.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace quillon::curve {

namespace {

// One cubic segment in polynomial form. The coefficients are whole numbers;
// the evaluation is done in double precision in exactly this nested order,
// because the truncation of its result decides the bytes of the table.
struct Cubic {
    double start;
    double c1;
    double c2;
    double c3;

    static Cubic fromControls(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d)
    {
        return {static_cast<double>(a), static_cast<double>(3 * (b - a)), static_cast<double>(3 * (c - 2 * b + a)),
                static_cast<double>(3 * (b - c) - a + d)};
    }

    // Truncated toward zero. Control values within 0..127 keep the result
    // within -1..128 even after rounding, far from any conversion limit.
    int at(double t) const { return static_cast<int>(std::trunc(((c3 * t + c2) * t + c1) * t + start)); }
};

std::int32_t clampVelocity(std::int32_t value) { return std::clamp<std::int32_t>(value, 0, kMaxVelocity); }

bool isIndex(int value) { return value >= 0 && value < static_cast<int>(kTableSize); }

class TableWriter {
public:
    explicit TableWriter(Table& table) : m_table(table) {}

    // Closes the gap between the previous point and the sample at x by linear
    // interpolation (truncated), then stores the sample.
    void place(int x, int y)
    {
        if (m_last + 1 < x) {
            for (int k = m_last + 1; k < x && k < static_cast<int>(kTableSize); ++k) {
                const double value = static_cast<double>((k - m_last) * (y - m_lastY)) / (x - m_last) + m_lastY;
                m_table[static_cast<std::size_t>(k)] = static_cast<std::int32_t>(std::trunc(value));
            }
        }
        m_table[static_cast<std::size_t>(x)] = y;
        m_last = x;
        m_lastY = y;
    }

    int last() const { return m_last; }

private:
    Table& m_table;
    int m_last = 0; // the running previous point starts at (0, 0), not at key-point 0
    int m_lastY = 0;
};

} // namespace

KeyPoints defaultKeyPoints()
{
    KeyPoints points;
    points.x = {0, 20, 40, 58, 73, 97, 127};
    points.y = points.x;
    return points;
}

Status checkKeyPoints(const KeyPoints& points)
{
    if (points.x.front() != 0)
        return fail("the first key-point must sit at velocity 0, not " + std::to_string(points.x.front()));
    if (points.x.back() != kMaxVelocity)
        return fail("the last key-point must sit at velocity 127, not " + std::to_string(points.x.back()));
    for (std::size_t i = 1; i < kKeyPointCount; ++i) {
        if (points.x[i] <= points.x[i - 1])
            return fail("key-point " + std::to_string(i) + " (x " + std::to_string(points.x[i]) +
                        ") does not lie right of key-point " + std::to_string(i - 1) + " (x " +
                        std::to_string(points.x[i - 1]) + ")");
    }
    for (std::size_t i = 0; i < kKeyPointCount; ++i) {
        if (points.y[i] < 0 || points.y[i] > kMaxVelocity)
            return fail("key-point " + std::to_string(i) + " has velocity " + std::to_string(points.y[i]) +
                        ", outside 0..127");
    }
    return success();
}

Table computeCurveTable(const KeyPoints& given)
{
    KeyPoints points = given;
    for (std::size_t i = 0; i < kKeyPointCount; ++i) {
        points.x[i] = clampVelocity(points.x[i]);
        points.y[i] = clampVelocity(points.y[i]);
    }
    const auto& x = points.x;
    const auto& y = points.y;

    Table table{};
    TableWriter writer(table);

    // First segment: a sample counts only when it moves right of the previous
    // point, so the first value computed for an index wins.
    const int n = x[3] - x[0];
    if (n > 0) {
        const Cubic curveX = Cubic::fromControls(x[0], x[1], x[2], x[3]);
        const Cubic curveY = Cubic::fromControls(y[0], y[1], y[2], y[3]);
        for (int i = 0; i <= n; ++i) {
            const double t = static_cast<double>(i) / n;
            const int sampleX = curveX.at(t);
            if (sampleX > writer.last() && isIndex(sampleX))
                writer.place(sampleX, curveY.at(t));
        }
    }

    // Second segment: starts after its first point, and a later sample for
    // the same index overwrites the earlier one.
    const int m = x[6] - x[3];
    if (m > 0) {
        const Cubic curveX = Cubic::fromControls(x[3], x[4], x[5], x[6]);
        const Cubic curveY = Cubic::fromControls(y[3], y[4], y[5], y[6]);
        for (int i = 1; i <= m; ++i) {
            const double t = static_cast<double>(i) / m;
            const int sampleX = curveX.at(t);
            if (isIndex(sampleX))
                writer.place(sampleX, curveY.at(t));
        }
    }

    table[0] = y[0];
    return table;
}

bool tableInRange(const Table& table)
{
    return std::all_of(table.begin(), table.end(), [](std::int32_t v) { return v >= 0 && v <= kMaxVelocity; });
}

VelocityCurve::VelocityCurve() : m_points(defaultKeyPoints()) { computeTable(); }

void VelocityCurve::computeTable()
{
    m_table = computeCurveTable(m_points);
    m_points.x[0] = 0;
}

} // namespace quillon::curve
