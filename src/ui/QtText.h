#pragma once

#include <QString>

#include <string_view>

namespace quillon {

// The core's texts are UTF-8; every window shows them through this one conversion.
inline QString qt(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

} // namespace quillon
