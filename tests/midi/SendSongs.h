#pragma once
// A song transfer run as the Send File window runs one, without the window:
// the songs written to a fresh folder, read back by the core handshake, sent
// through the chosen ports.
#include "../support/TempFolder.h"

#include "transfer/core/FileAccess.h"
#include "transfer/io/TransferRunner.h"

#include <chrono>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace quillon::midi::testing {

// A format 0 song head and `bodyLength` bytes of noise after it.
inline frame::Bytes songFile(std::size_t bodyLength, unsigned seed)
{
    frame::Bytes song = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96};
    std::mt19937 rng(seed);
    for (std::size_t i = 0; i < bodyLength; ++i)
        song.push_back(static_cast<std::uint8_t>(rng()));
    return song;
}

// `songs`: each file's bytes and the slot it goes to.
inline transfer::TransferReport sendSongs(MidiSystem& system, const std::vector<std::pair<frame::Bytes, int>>& songs,
                                          PortChoice out, PortChoice in,
                                          std::chrono::milliseconds replyTimeout = std::chrono::milliseconds(5000),
                                          bool keepOutputOpen = true)
{
    quillon::testing::TempFolder folder;
    transfer::TransferList list{transfer::TransferKind::Songs, {}};
    for (const auto& [bytes, slot] : songs)
        list.entries.push_back({folder.write(std::to_string(slot) + ".mid", bytes).string(), "", slot});
    transfer::TransferHandshake handshake(std::move(list),
                                          [](const std::string& path) { return transfer::readWholeFile(path); });
    transfer::TransferOptions options;
    options.output = std::move(out);
    options.input = std::move(in);
    options.replyTimeout = replyTimeout;
    options.keepOutputOpen = keepOutputOpen;
    return transfer::runTransfer(system, handshake, options);
}

} // namespace quillon::midi::testing
