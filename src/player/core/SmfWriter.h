#pragma once
// The pieces every Standard MIDI File writer here needs: numbers in the file's
// two encodings, and a whole single-track file around a track's event bytes.
// Everything is appended to a byte vector; nothing is checked beyond what the
// encodings themselves can hold.
#include <cstdint>
#include <span>
#include <vector>

namespace quillon::player {

// The largest delta time or length a reader takes: four groups of seven bits.
inline constexpr std::uint32_t kLargestVariableLength = 0x0FFFFFFF;

// Appends a variable-length quantity: seven bits a byte, the most significant
// group first, every byte but the last with its top bit set. Any 32-bit value
// is written (five bytes above kLargestVariableLength).
void putVariableLength(std::vector<std::uint8_t>& out, std::uint32_t value);

// Appends the low `width` bytes (1 to 4) of `value`, the most significant first.
void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int width);

// A complete format 0 file: the "MThd" chunk (format 0, one track, the given
// division word) followed by one "MTrk" chunk holding `trackBody` as it stands,
// so the body must already end with its End of Track event.
std::vector<std::uint8_t> format0File(std::uint16_t division, std::span<const std::uint8_t> trackBody);

} // namespace quillon::player
