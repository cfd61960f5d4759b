#pragma once
// The comma-separated lists the send commands take from the command line:
// --slots 5,1,5 and the seven key-points of --points / --values.
#include "base/core/Result.h"
#include "curve/core/VelocityCurve.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quillon::cli {

// Exactly `expected` slots 1..28, each a plain decimal number.
Result<std::vector<int>> parseSlots(const std::string& text, std::size_t expected);

// Exactly seven whole numbers; `option` names the option in the reason.
Result<std::array<std::int32_t, curve::kKeyPointCount>> parseSeven(const std::string& text, const char* option);

} // namespace quillon::cli
