#include "curve/core/VelocityMonitor.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace quillon::curve;

namespace {

std::uint32_t packed(int status, int note, int velocity)
{
    return static_cast<std::uint32_t>(status | (note << 8) | (velocity << 16));
}

int total(const VelocityMonitor::Histogram& h) { return std::accumulate(h.begin(), h.end(), 0); }

TEST(VelocityMonitor, CountsStruckKeysOnAnyChannelAndNothingElse)
{
    VelocityMonitor monitor;
    EXPECT_FALSE(monitor.lastVelocity().has_value());
    EXPECT_TRUE(monitor.feed(packed(0x90, 60, 100)));
    EXPECT_TRUE(monitor.feed(packed(0x9F, 61, 1)));   // channel 16
    EXPECT_FALSE(monitor.feed(packed(0x90, 60, 0)));  // a release written as Note On
    EXPECT_FALSE(monitor.feed(packed(0x80, 60, 64))); // Note Off
    EXPECT_FALSE(monitor.feed(packed(0xB0, 7, 90)));  // controller
    EXPECT_FALSE(monitor.feed(packed(0xA0, 60, 90))); // aftertouch
    EXPECT_FALSE(monitor.addVelocity(128));
    EXPECT_FALSE(monitor.addVelocity(-3));

    EXPECT_EQ(monitor.count(), 2u);
    EXPECT_EQ(monitor.lastVelocity(), 1);
    EXPECT_EQ(monitor.recent(), (std::vector<int>{100, 1}));
    EXPECT_EQ(monitor.histogram()[100], 1);
    EXPECT_EQ(monitor.histogram()[1], 1);
    EXPECT_EQ(total(monitor.histogram()), 2);
    for (int v : {15, 16, 64, 127, 127})
        monitor.addVelocity(v);
    EXPECT_EQ(monitor.histogramBins(8), (std::vector<int>{2, 1, 0, 0, 1, 0, 1, 2})); // equal ranges of 16
}

TEST(VelocityMonitor, KeepsOnlyTheLast200KeysInOrderAndInTheHistogram)
{
    VelocityMonitor monitor;
    // 250 keys: 50 soft ones that must fall out of the window, then 200 others.
    for (int i = 0; i < 50; ++i)
        monitor.addVelocity(10);
    for (int i = 0; i < 200; ++i)
        monitor.addVelocity(20 + i % 100);

    EXPECT_EQ(monitor.count(), VelocityMonitor::kCapacity);
    EXPECT_EQ(monitor.histogram()[10], 0);
    EXPECT_EQ(total(monitor.histogram()), 200);
    EXPECT_EQ(monitor.histogram()[20], 2);
    EXPECT_EQ(monitor.histogram()[119], 2);
    EXPECT_EQ(monitor.lastVelocity(), 119);

    // One more pushes out exactly the oldest (a 20).
    monitor.addVelocity(127);
    EXPECT_EQ(monitor.histogram()[20], 1);
    EXPECT_EQ(monitor.histogram()[127], 1);
    EXPECT_EQ(monitor.recent().front(), 21);
    EXPECT_EQ(total(monitor.histogram()), 200);

    monitor.clear();
    EXPECT_EQ(monitor.count(), 0u);
    EXPECT_EQ(total(monitor.histogram()), 0);
    EXPECT_TRUE(monitor.recent().empty());
    EXPECT_FALSE(monitor.lastVelocity().has_value());
}

TEST(VelocityMonitor, TheCurveDecidesWhereAKeyLands)
{
    VelocityMonitor monitor;
    const Table identity = computeCurveTable(defaultKeyPoints());
    EXPECT_FALSE(monitor.lastLanding(identity).has_value());

    Table doubled{};
    for (std::size_t v = 0; v < kTableSize; ++v)
        doubled[v] = std::min<int>(127, static_cast<int>(v) * 2);
    monitor.addVelocity(30);
    monitor.addVelocity(40);
    monitor.addVelocity(90);
    EXPECT_EQ(monitor.lastLanding(identity), (VelocityLanding{90, 90}));
    EXPECT_EQ(monitor.lastLanding(doubled), (VelocityLanding{90, 127}));

    const auto mapped = monitor.mappedHistogram(doubled);
    EXPECT_EQ(mapped[60], 1);
    EXPECT_EQ(mapped[80], 1);
    EXPECT_EQ(mapped[127], 1);
    EXPECT_EQ(total(mapped), 3);

    // A stored table may hold anything: where it lands is still on the axis.
    Table wild{};
    wild.fill(300);
    wild[5] = -7;
    EXPECT_EQ(mapThroughCurve(wild, 64), 127);
    EXPECT_EQ(mapThroughCurve(wild, 5), 0);
    EXPECT_EQ(mapThroughCurve(doubled, 500), 127);
    EXPECT_EQ(mapThroughCurve(doubled, -1), 0);
}

} // namespace
