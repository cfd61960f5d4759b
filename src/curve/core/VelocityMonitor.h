#pragma once
// What the player's touch has been lately: the velocities of the last 200
// struck keys (Note On with a velocity above 0, any channel), a histogram of
// them, and where each lands once the present curve has mapped it. Short
// messages that are anything else are ignored, so a whole input can be fed in.
//
// Not thread-safe: feed it on one thread (the window thread, after the
// input's queued signal).
#include "curve/core/VelocityCurve.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace quillon::curve {

// A struck key's velocity and the velocity the curve gives it.
struct VelocityLanding {
    int source = 0; // 1..127 as played
    int mapped = 0; // table[source], what the keyboard sends with this curve
    friend bool operator==(const VelocityLanding&, const VelocityLanding&) = default;
};

// Where a played velocity lands on the new-velocity axis. Velocities and table
// entries beyond 0..127 are brought into that range, so the answer can always be drawn.
int mapThroughCurve(const Table& table, int sourceVelocity);

class VelocityMonitor {
public:
    static constexpr std::size_t kCapacity = 200;
    using Histogram = std::array<int, kTableSize>; // count per velocity 0..127

    // A packed short message (status in the lowest byte, then data 1, data 2).
    // True when it was a Note On with a velocity above 0 and was counted.
    bool feed(std::uint32_t packedMessage);
    bool feed(std::uint8_t status, std::uint8_t note, std::uint8_t velocity);
    // Counts one struck key; velocity 0 (a note released) and values above 127 are ignored.
    bool addVelocity(int velocity);
    void clear();

    std::size_t count() const { return m_count; }
    std::optional<int> lastVelocity() const;
    // Oldest first, at most kCapacity.
    std::vector<int> recent() const;
    // Counts of the velocities in recent(); their sum is count().
    const Histogram& histogram() const { return m_histogram; }
    // The same counts gathered into binCount equal ranges of 0..127 (binCount 1..128;
    // a bin of velocity v is v * binCount / 128).
    std::vector<int> histogramBins(int binCount) const;

    // The latest velocity and where the given curve puts it; nothing before the first key.
    std::optional<VelocityLanding> lastLanding(const Table& table) const;
    // Counts of the mapped velocities of recent() under the given curve.
    Histogram mappedHistogram(const Table& table) const;

private:
    std::array<std::uint8_t, kCapacity> m_ring{};
    std::size_t m_next = 0;  // where the next velocity goes
    std::size_t m_count = 0; // how many of the ring are in use
    Histogram m_histogram{};
};

} // namespace quillon::curve
