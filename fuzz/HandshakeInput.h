#pragma once
// How the handshake target reads its input, shared with the seed generator so
// that every committed seed decodes to exactly the transfer it was made from.
//   byte 0:  bit 0 ROM image, bits 1-2 file count - 1 (songs only),
//            bits 3-5 the file that cannot be read (7: none);
//   then two bytes per file, its length and its slot;
//   every further byte is one reply (see kReplyCodes).
#include "midi/core/DeviceFrame.h"
#include "transfer/core/TransferHandshake.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace quillon::fuzzing {

constexpr std::size_t kMaxFileLength = 4000; // up to five blocks once packed

// The replies a byte r below 0xC0 stands for, as r & 3.
constexpr frame::Reply kReplyCodes[] = {frame::Reply::Ready, frame::Reply::SongBlockDone, frame::Reply::SongDone,
                                        frame::Reply::RomBlockDone};

inline std::uint8_t replyByte(frame::Reply reply)
{
    std::uint8_t code = 0;
    while (kReplyCodes[code] != reply)
        ++code;
    return code;
}

// The content of file `entry`: a fixed noise, so a misplaced block cannot pass for another.
inline frame::Bytes fileContent(std::size_t entry, std::size_t length)
{
    frame::Bytes bytes(length);
    std::uint32_t state = 0x9E3779B9u * static_cast<std::uint32_t>(entry + 1);
    for (auto& b : bytes) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(state >> 24);
    }
    return bytes;
}

struct HandshakeSetup {
    transfer::TransferList list;
    std::vector<std::optional<frame::Bytes>> files; // by entry; nothing: cannot be read
    std::map<std::string, frame::Bytes> disk;       // the readable files by name
    std::size_t replyStart = 0;                     // where the reply bytes begin

    transfer::TransferHandshake::FileReader reader() const
    {
        return [this](const std::string& name) -> Result<frame::Bytes> {
            const auto found = disk.find(name);
            if (found == disk.end())
                return fail("cannot open " + name);
            return found->second;
        };
    }
};

// Reads the set-up bytes; missing ones count as 0. Needs at least one byte.
inline HandshakeSetup decodeSetup(std::span<const std::uint8_t> input)
{
    HandshakeSetup setup;
    const std::uint8_t first = input[0];
    setup.list.kind = (first & 1) ? transfer::TransferKind::RomImage : transfer::TransferKind::Songs;
    const std::size_t count = setup.list.kind == transfer::TransferKind::Songs ? 1 + ((first >> 1) & 3) : 1;
    const std::size_t unreadable = (first >> 3) & 7;
    std::size_t at = 1;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t lengthByte = at < input.size() ? input[at++] : 0;
        const std::uint8_t slotByte = at < input.size() ? input[at++] : 0;
        const std::string name = "file" + std::to_string(i);
        setup.list.entries.push_back({name, " 1.00K", 1 + slotByte % 28});
        if (i == unreadable) {
            setup.files.push_back(std::nullopt);
        } else {
            setup.files.push_back(fileContent(i, (std::size_t{lengthByte} * 977) % kMaxFileLength));
            setup.disk[name] = *setup.files.back();
        }
    }
    setup.replyStart = at;
    return setup;
}

} // namespace quillon::fuzzing
