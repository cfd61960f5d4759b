#pragma once
// Everything one drawing of the curve area shows, already computed: the
// canvas only turns this into pixels.
#include <array>
#include <cstdint>
#include <vector>

namespace quillon::curve {

struct CurvePicture {
    using Table = std::array<std::int32_t, 128>;
    bool grid = true;
    bool vertex = true;
    std::vector<Table> keptTables; // drawn first, behind the working curve
    Table workingTable{};
    std::array<std::int32_t, 7> keyX{};
    std::array<std::int32_t, 7> keyY{};
};

} // namespace quillon::curve
