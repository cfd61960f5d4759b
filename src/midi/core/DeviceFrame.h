#pragma once
// The one SysEx layout of every message sent to the keyboard, the 7-in-8
// payload packing, the 1024-byte blocks and the keyboard's Note On replies.
// Pure byte arithmetic: no ports, no windows.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quillon::frame {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kSysExStart = 0xF0;
inline constexpr std::uint8_t kSysExEnd = 0xF7;
inline constexpr std::uint8_t kManufacturer[3] = {0x00, 0x20, 0x63};
inline constexpr std::size_t kHeadLength = 13; // F0 .. command byte
inline constexpr std::size_t kFrameOverhead = kHeadLength + 1;

inline constexpr std::uint8_t kFamilyTransfer = 0x01;
inline constexpr std::uint8_t kFamilyControl = 0x02;

inline constexpr std::uint8_t kKindControl = 0x00;
inline constexpr std::uint8_t kKindSongHeader = 0x02;
inline constexpr std::uint8_t kKindRomHeader = 0x04;
inline constexpr std::uint8_t kKindCurve = 0x05;
inline constexpr std::uint8_t kKindDataBlock = 0x7F;

inline constexpr std::uint8_t kCommandControl = 0x29;
inline constexpr std::uint8_t kCommandData = 0x89;

inline constexpr std::uint8_t kRomTarget = 0x18; // 24
inline constexpr std::size_t kBlockSize = 1024;
inline constexpr int kMaxSlots = 28;

// Offsets inside the 13-byte head.
inline constexpr std::size_t kOffFamily = 5;
inline constexpr std::size_t kOffKind = 7;
inline constexpr std::size_t kOffSubKind = 8;
inline constexpr std::size_t kOffTarget = 9;
inline constexpr std::size_t kOffNumberHigh = 10;
inline constexpr std::size_t kOffNumberLow = 11;
inline constexpr std::size_t kOffCommand = 12;

// Keyboard replies: Note On (status 0x90) whose note number carries the meaning.
inline constexpr std::uint8_t kReplyStatus = 0x90;
enum class Reply : std::uint8_t {
    RomBlockDone = 51,
    SongBlockDone = 53,
    Ready = 54,
    SongDone = 55,
};

// The 14-bit number as it travels: high 7 bits first. Larger numbers never
// travel: buildMessage refuses them, as a wrapped block count or index would
// make the keyboard keep a different file than the one sent.
inline constexpr unsigned kMaxNumber = 0x3FFF;
// The most blocks one header can announce, and so the longest packed file.
inline constexpr unsigned kMaxBlockCount = kMaxNumber;
inline constexpr std::uint8_t numberHigh(unsigned value) { return static_cast<std::uint8_t>((value >> 7) & 0x7F); }
inline constexpr std::uint8_t numberLow(unsigned value) { return static_cast<std::uint8_t>(value & 0x7F); }

struct Head {
    std::uint8_t family;
    std::uint8_t kind;
    std::uint8_t subKind;
    std::uint8_t target;
    unsigned number; // 0..kMaxNumber
    std::uint8_t command;
};

// Builds a whole message: head, payload (each byte must already be < 0x80), F7.
// A number above kMaxNumber gives an empty message: nothing to send.
Bytes buildMessage(const Head& head, std::span<const std::uint8_t> payload);

Bytes buildTransferControl();
Bytes buildSongHeader(std::uint8_t slot, unsigned blockCount);
Bytes buildRomHeader(unsigned blockCount);
Bytes buildDataBlock(std::uint8_t target, unsigned blockIndex, std::span<const std::uint8_t> packedBlock);

// 7-in-8 packing: every group of 7 bytes becomes a high-bit byte then the 7 low parts.
Bytes pack7(std::span<const std::uint8_t> data);
std::size_t packedLength(std::size_t rawLength);
// The inverse, used by the keyboard side. A trailing lone high-bit byte yields nothing.
Bytes unpack7(std::span<const std::uint8_t> packed);

unsigned blockCount(std::size_t packedLength);
// The longest file whose packed form fits in kMaxBlockCount blocks.
std::size_t largestSendableLength();
std::size_t blockLength(std::size_t packedLength, unsigned blockIndex);
std::span<const std::uint8_t> blockBytes(std::span<const std::uint8_t> packed, unsigned blockIndex);

} // namespace quillon::frame
