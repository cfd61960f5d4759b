#pragma once
// Everything one drawing of the curve area shows, already computed: the
// canvas only turns this into pixels.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace quillon::curve {

// The keys played lately, while the velocity monitor is on.
struct MonitorPicture {
    static constexpr int kBins = 32; // the corner histogram: four velocities a bar
    struct Landing {
        int source = 0; // as played, 1..127
        int mapped = 0; // where the curve puts it, 0..127
    };
    std::size_t keys = 0;          // how many the histograms hold
    std::vector<int> playedBins;   // kBins counts of the played velocities
    std::array<int, 128> mapped{}; // count per velocity the curve gives
    int mappedPeak = 0;
    std::optional<Landing> latest; // the last key; none before the first
};

struct CurvePicture {
    using Table = std::array<std::int32_t, 128>;
    bool grid = true;
    bool vertex = true;
    std::vector<Table> keptTables; // drawn first, behind the working curve
    Table workingTable{};
    std::array<std::int32_t, 7> keyX{};
    std::array<std::int32_t, 7> keyY{};
    std::optional<MonitorPicture> monitor; // drawn only while the monitor is on
};

} // namespace quillon::curve
