#pragma once
// The one System Exclusive message that carries a velocity table to the
// keyboard: 142 bytes, a fixed 13-byte head, one byte per table entry in
// ascending source velocity, F7. A table with an entry outside 0..127 is
// refused rather than cut to seven bits, so the keyboard never receives a
// curve other than the one shown.
#include "base/core/Result.h"
#include "curve/core/VelocityCurve.h"
#include "midi/core/DeviceFrame.h"

#include <cstddef>

namespace quillon::curve {

inline constexpr std::size_t kCurveMessageSize = 142;

Result<frame::Bytes> buildCurveMessage(const Table& table);

} // namespace quillon::curve
