#pragma once
// Text forms the quillon-cli commands print.
#include <cstdint>
#include <span>
#include <string>

namespace quillon::cli {

// The bytes as upper-case hex pairs separated by single spaces, e.g. "F0 00 7F";
// an empty string for no bytes. No line break is added.
std::string hexLine(std::span<const std::uint8_t> bytes);

} // namespace quillon::cli
