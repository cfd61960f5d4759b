#include "curve/core/Presets.h"

namespace quillon::curve {

namespace {
constexpr std::array<std::int32_t, kKeyPointCount> all(std::int32_t value)
{
    return {value, value, value, value, value, value, value};
}
} // namespace

const std::array<Preset, kPresetCount>& presetCurves()
{
    static const std::array<Preset, kPresetCount> presets{{
        {"Soft2.crv", {{0, 22, 46, 72, 106, 123, 127}, {0, 6, 9, 27, 49, 88, 127}}},
        {"Soft1.crv", {{0, 21, 44, 69, 96, 111, 127}, {0, 5, 16, 39, 64, 92, 127}}},
        {"Normal.crv", {{0, 20, 40, 58, 73, 97, 127}, {0, 20, 39, 58, 72, 98, 127}}},
        {"Hard2.crv", {{0, 5, 15, 32, 56, 71, 127}, {0, 34, 61, 86, 110, 118, 127}}},
        {"Hard1.crv", {{0, 4, 21, 45, 67, 94, 127}, {0, 26, 54, 74, 91, 112, 127}}},
        {"Fixup3.crv", {{0, 19, 39, 54, 72, 100, 127}, all(127)}},
        {"Fixup2.crv", {{0, 19, 39, 54, 72, 99, 127}, all(100)}},
        {"Fixup1.crv", {{0, 23, 44, 57, 72, 99, 127}, all(64)}},
        {"Expand.crv", {{0, 22, 47, 65, 75, 93, 127}, {0, 6, 25, 63, 92, 111, 127}}},
        {"Compress.crv", {{0, 6, 31, 65, 99, 122, 127}, {0, 35, 62, 63, 64, 95, 127}}},
    }};
    return presets;
}

std::optional<std::size_t> findPreset(std::string_view name)
{
    const auto& presets = presetCurves();
    for (std::size_t i = 0; i < presets.size(); ++i) {
        if (presets[i].name == name)
            return i;
    }
    return std::nullopt;
}

} // namespace quillon::curve
