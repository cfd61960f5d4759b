#include "curve/core/VelocityMonitor.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace quillon::curve;

namespace {

int total(const VelocityMonitor::Histogram& h) { return std::accumulate(h.begin(), h.end(), 0); }

// Struck keys on any channel count, nothing else. The last 200 keys are kept, the 201st
// pushing out exactly the oldest; the curve decides where a key lands.
TEST(VelocityMonitor, CountsTheLast200StruckKeysOnAnyChannelAndMapsThemThroughTheCurve)
{
    VelocityMonitor monitor;
    EXPECT_TRUE(monitor.feed(0x90, 60, 100));
    EXPECT_TRUE(monitor.feed(0x644F9F));      // channel 16, packed: status, then note, then velocity
    EXPECT_FALSE(monitor.feed(0x90, 60, 0));  // a release written as Note On
    EXPECT_FALSE(monitor.feed(0x80, 60, 64)); // Note Off
    EXPECT_FALSE(monitor.feed(0xA0, 60, 90)); // aftertouch
    EXPECT_FALSE(monitor.addVelocity(128));
    EXPECT_EQ(monitor.recent(), (std::vector<int>{100, 100}));
    for (int v : {15, 16, 64, 127})
        monitor.addVelocity(v);
    EXPECT_EQ(monitor.histogramBins(8), (std::vector<int>{1, 1, 0, 0, 1, 0, 2, 1})); // equal ranges of 16

    for (int i = 0; i < 250; ++i)
        monitor.addVelocity(i < 50 ? 10 : 20 + (i - 50) % 100);
    monitor.addVelocity(90);
    EXPECT_EQ(monitor.count(), VelocityMonitor::kCapacity);
    EXPECT_EQ(monitor.histogram()[10], 0);
    EXPECT_EQ(monitor.recent().front(), 21);
    EXPECT_EQ(total(monitor.histogram()), 200);

    Table doubled{};
    for (std::size_t v = 0; v < kTableSize; ++v)
        doubled[v] = std::min<int>(127, static_cast<int>(v) * 2);
    EXPECT_EQ(monitor.lastLanding(doubled), (VelocityLanding{90, 127}));
    const auto mapped = monitor.mappedHistogram(doubled);
    EXPECT_EQ(mapped[42], 2); // the two 21s
    EXPECT_EQ(total(mapped), 200);
    // A stored table may hold anything: where it lands is still on the axis.
    Table wild{};
    wild.fill(300);
    wild[5] = -7;
    EXPECT_EQ(mapThroughCurve(wild, 64), 127);
    EXPECT_EQ(mapThroughCurve(wild, 5), 0);

    monitor.clear();
    EXPECT_EQ(total(monitor.histogram()), 0);
    EXPECT_FALSE(monitor.lastLanding(doubled).has_value());
}

} // namespace
