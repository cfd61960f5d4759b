#pragma once
// Text forms the quillon-cli commands print.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quillon::cli {

// The bytes as upper-case hex pairs separated by single spaces, e.g. "F0 00 7F";
// an empty string for no bytes. No line break is added.
std::string hexLine(std::span<const std::uint8_t> bytes);

// Line breaks written as the two characters \n and \r, so one entry stays on
// one line; with escapeBackslash a backslash is doubled, so that a name holding
// "\n" itself cannot be mistaken for one holding a line break.
std::string escapeLineBreaks(std::string_view text, bool escapeBackslash = false);

} // namespace quillon::cli
