#pragma once
// The ten built-in curves, held in memory (they are not files). Their names
// look like file names because the editor lists them beside stored curves;
// the index is the position in that list.
#include "curve/core/VelocityCurve.h"

#include <array>
#include <optional>
#include <string_view>

namespace quillon::curve {

struct Preset {
    std::string_view name;
    KeyPoints points;
};

inline constexpr std::size_t kPresetCount = 10;

const std::array<Preset, kPresetCount>& presetCurves();

// The index of the preset with exactly this name ("Hard2.crv"), if any.
std::optional<std::size_t> findPreset(std::string_view name);

} // namespace quillon::curve
