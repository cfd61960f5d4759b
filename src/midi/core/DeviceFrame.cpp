#include "midi/core/DeviceFrame.h"

#include <algorithm>

namespace quillon::frame {

Bytes buildMessage(const Head& head, std::span<const std::uint8_t> payload)
{
    if (head.number > kMaxNumber)
        return {};
    Bytes message;
    message.reserve(payload.size() + kFrameOverhead);
    message.push_back(kSysExStart);
    message.insert(message.end(), std::begin(kManufacturer), std::end(kManufacturer));
    message.push_back(0x00);
    message.push_back(head.family);
    message.push_back(0x00);
    message.push_back(head.kind);
    message.push_back(head.subKind);
    message.push_back(head.target);
    message.push_back(numberHigh(head.number));
    message.push_back(numberLow(head.number));
    message.push_back(head.command);
    message.insert(message.end(), payload.begin(), payload.end());
    message.push_back(kSysExEnd);
    return message;
}

Bytes buildTransferControl()
{
    return buildMessage({kFamilyControl, kKindControl, 0x00, 0x01, 1, kCommandControl}, {});
}

Bytes buildSongHeader(std::uint8_t slot, unsigned blockCount)
{
    return buildMessage({kFamilyTransfer, kKindSongHeader, 0x00, slot, blockCount, kCommandControl}, {});
}

Bytes buildRomHeader(unsigned blockCount)
{
    return buildMessage({kFamilyTransfer, kKindRomHeader, 0x00, kRomTarget, blockCount, kCommandControl}, {});
}

Bytes buildDataBlock(std::uint8_t target, unsigned blockIndex, std::span<const std::uint8_t> packedBlock)
{
    return buildMessage({kFamilyTransfer, kKindDataBlock, 0x00, target, blockIndex, kCommandData}, packedBlock);
}

std::size_t packedLength(std::size_t rawLength) { return rawLength + (rawLength + 6) / 7; }

// Both directions write into storage sized once: a song is packed in one go
// and every received block is unpacked, so neither grows byte by byte.
Bytes pack7(std::span<const std::uint8_t> data)
{
    Bytes packed(packedLength(data.size()));
    std::uint8_t* out = packed.data();
    for (std::size_t start = 0; start < data.size(); start += 7) {
        const std::size_t count = std::min<std::size_t>(7, data.size() - start);
        const std::uint8_t* group = data.data() + start;
        std::uint8_t high = 0;
        for (std::size_t i = 0; i < count; ++i) {
            high |= static_cast<std::uint8_t>((group[i] >> 7) << (6 - i));
            out[1 + i] = static_cast<std::uint8_t>(group[i] & 0x7F);
        }
        out[0] = high;
        out += count + 1;
    }
    return packed;
}

Bytes unpack7(std::span<const std::uint8_t> packed)
{
    // Each group of up to eight bytes gives one byte fewer than it holds.
    Bytes data(packed.size() - (packed.size() + 7) / 8);
    std::uint8_t* out = data.data();
    for (std::size_t start = 0; start < packed.size(); start += 8) {
        const std::size_t count = std::min<std::size_t>(8, packed.size() - start);
        const std::uint8_t high = packed[start];
        for (std::size_t i = 1; i < count; ++i)
            *out++ = static_cast<std::uint8_t>((packed[start + i] & 0x7F) | (((high >> (7 - i)) & 1u) << 7));
    }
    return data;
}

unsigned blockCount(std::size_t packedLength)
{
    return static_cast<unsigned>(packedLength / kBlockSize + (packedLength % kBlockSize != 0 ? 1 : 0));
}

std::size_t largestSendableLength()
{
    // Every 7 file bytes take 8 packed ones; a last group of k bytes takes k + 1.
    const std::size_t packedLimit = static_cast<std::size_t>(kMaxBlockCount) * kBlockSize;
    return packedLimit / 8 * 7 + (packedLimit % 8 > 1 ? packedLimit % 8 - 1 : 0);
}

std::size_t blockLength(std::size_t packedLength, unsigned blockIndex)
{
    const std::size_t start = static_cast<std::size_t>(blockIndex) * kBlockSize;
    if (start >= packedLength)
        return 0;
    return std::min(kBlockSize, packedLength - start);
}

std::span<const std::uint8_t> blockBytes(std::span<const std::uint8_t> packed, unsigned blockIndex)
{
    const std::size_t start = static_cast<std::size_t>(blockIndex) * kBlockSize;
    return packed.subspan(std::min(start, packed.size()), blockLength(packed.size(), blockIndex));
}

} // namespace quillon::frame
