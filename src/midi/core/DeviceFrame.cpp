#include "midi/core/DeviceFrame.h"

#include <algorithm>

namespace quillon::frame {

Bytes buildMessage(const Head& head, std::span<const std::uint8_t> payload)
{
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

Bytes pack7(std::span<const std::uint8_t> data)
{
    Bytes packed;
    packed.reserve(packedLength(data.size()));
    for (std::size_t start = 0; start < data.size(); start += 7) {
        const std::size_t count = std::min<std::size_t>(7, data.size() - start);
        std::uint8_t high = 0;
        for (std::size_t i = 0; i < count; ++i) {
            if (data[start + i] & 0x80)
                high |= static_cast<std::uint8_t>(1u << (6 - i));
        }
        packed.push_back(high);
        for (std::size_t i = 0; i < count; ++i)
            packed.push_back(static_cast<std::uint8_t>(data[start + i] & 0x7F));
    }
    return packed;
}

Bytes unpack7(std::span<const std::uint8_t> packed)
{
    Bytes data;
    data.reserve(packed.size());
    for (std::size_t start = 0; start < packed.size(); start += 8) {
        const std::size_t count = std::min<std::size_t>(8, packed.size() - start);
        const std::uint8_t high = packed[start];
        for (std::size_t i = 1; i < count; ++i) {
            std::uint8_t byte = packed[start + i] & 0x7F;
            if (high & (1u << (7 - i)))
                byte |= 0x80;
            data.push_back(byte);
        }
    }
    return data;
}

unsigned blockCount(std::size_t packedLength)
{
    return static_cast<unsigned>(packedLength / kBlockSize + (packedLength % kBlockSize != 0 ? 1 : 0));
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
