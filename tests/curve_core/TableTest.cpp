#include "curve/core/Presets.h"
#include "curve/core/VelocityCurve.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <random>
#include <string_view>
#include <vector>

namespace quillon::curve {
namespace {

KeyPoints preset(std::string_view name)
{
    const auto index = findPreset(name);
    EXPECT_TRUE(index.has_value()) << name;
    return presetCurves().at(index.value_or(0)).points;
}

TEST(CurveTable, WorkedExamples)
{
    // A flat curve at 100 whose control points crowd the first segment's samples to
    // the right: its first sample beyond 0 lands on index 2, so index 1 is a gap
    // filled from the running start (0, 0), halfway to 100; entry 0 is the key-point.
    KeyPoints crowded;
    crowded.x = {0, 100, 110, 120, 122, 125, 127};
    crowded.y.fill(100);
    const std::pair<KeyPoints, std::vector<std::pair<std::size_t, std::int32_t>>> examples[] = {
        {preset("Hard2.crv"), {{1, 9}, {2, 12}, {3, 18}, {10, 43}, {64, 110}, {96, 121}, {126, 126}, {127, 127}}},
        // At 126 the second segment's later sample overwrites (the first would give 120).
        {preset("Soft2.crv"), {{1, 0}, {2, 0}, {3, 0}, {10, 2}, {64, 22}, {100, 53}, {126, 124}}},
        {preset("Compress.crv"), {{1, 6}, {64, 62}, {100, 76}, {126, 125}}},
        {preset("Normal.crv"), {{68, 67}, {96, 97}}},
        // The fix-up curves are level, entry 0 included.
        {preset("Fixup3.crv"), {{0, 127}, {1, 127}, {64, 127}, {127, 127}}},
        {preset("Fixup1.crv"), {{0, 64}, {1, 64}, {100, 64}, {127, 64}}},
        {crowded, {{0, 100}, {1, 50}, {2, 100}, {64, 100}, {127, 100}}},
    };
    for (const auto& [points, entries] : examples) {
        const Table table = computeCurveTable(points);
        for (const auto& [source, expected] : entries)
            EXPECT_EQ(table[source], expected) << "key-point 1 at " << points.x[1] << ", entry " << source;
    }
    for (const auto& curve : presetCurves())
        EXPECT_TRUE(checkKeyPoints(curve.points)) << curve.name;
}

TEST(CheckKeyPoints, RefusesEachBrokenInvariant)
{
    EXPECT_TRUE(checkKeyPoints(defaultKeyPoints()));
    auto broken = [](auto change) {
        KeyPoints points = defaultKeyPoints();
        change(points);
        return checkKeyPoints(points);
    };
    EXPECT_FALSE(broken([](KeyPoints& p) { p.x[0] = 1; }));
    EXPECT_FALSE(broken([](KeyPoints& p) { p.x[6] = 126; }));
    EXPECT_FALSE(broken([](KeyPoints& p) { p.x[3] = p.x[2]; }));
    EXPECT_FALSE(broken([](KeyPoints& p) { p.y[5] = 128; }));
    EXPECT_FALSE(broken([](KeyPoints& p) { p.y[2] = -1; }));
}

// Random curves drawn as the editor allows them: x strictly increasing from 0 to 127, y anywhere in 0..127.
KeyPoints randomValidPoints(std::mt19937& random)
{
    std::vector<int> inner(126);
    std::iota(inner.begin(), inner.end(), 1);
    std::shuffle(inner.begin(), inner.end(), random);
    std::sort(inner.begin(), inner.begin() + 5);
    KeyPoints points;
    points.x = {0, inner[0], inner[1], inner[2], inner[3], inner[4], 127};
    for (auto& y : points.y)
        y = std::uniform_int_distribution<int>(0, 127)(random);
    return points;
}

// Entry 0 is set apart (it may lie above entry 1, whose gap fills from 0), but from
// entry 1 on a curve whose key-points rise never falls. Garbage key-points too stay
// inside the table: under the sanitizers this also proves no index leaves it; in any
// build the values must stay 7-bit.
TEST(CurveTableProperty, ValidKeyPointsRiseWithThemAndGarbageStaysInsideTheTable)
{
    std::mt19937 random(20261206);
    std::uniform_int_distribution<std::int32_t> any(INT32_MIN, INT32_MAX), near(-40, 170);
    for (int run = 0; run < 20000; ++run) {
        KeyPoints points = randomValidPoints(random);
        ASSERT_TRUE(checkKeyPoints(points));
        const Table table = computeCurveTable(points);
        ASSERT_TRUE(tableInRange(table)) << "run " << run;
        ASSERT_EQ(table[0], points.y[0]);
        ASSERT_EQ(table[127], points.y[6]);
        std::sort(points.y.begin(), points.y.end());
        const Table rising = computeCurveTable(points);
        for (std::size_t v = 2; v < kTableSize; ++v)
            ASSERT_LE(rising[v - 1], rising[v]) << "run " << run << " at " << v;

        for (std::size_t i = 0; i < kKeyPointCount; ++i) {
            points.x[i] = run % 2 ? any(random) : near(random);
            points.y[i] = run % 3 ? near(random) : any(random);
        }
        VelocityCurve curve;
        curve.setKeyPoints(points);
        curve.computeTable();
        ASSERT_TRUE(tableInRange(curve.table())) << "run " << run;
        // The table is computed with the first key-point where it was, which is then pinned to 0.
        ASSERT_EQ(curve.table(), computeCurveTable(points)) << "run " << run;
        ASSERT_EQ(curve.keyPoints().x[0], 0);
    }
}

} // namespace
} // namespace quillon::curve
