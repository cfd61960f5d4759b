#pragma once
// Every file of a transfer list read whole, once, when Send is pressed, and
// checked again on exactly those bytes. The transfer then sends these bytes
// and nothing else: a file changed, cut short or replaced on disk during an
// earlier file's transfer cannot slip out unchecked.
#include "base/core/Result.h"
#include "midi/core/DeviceFrame.h"
#include "transfer/core/SongCheck.h"
#include "transfer/core/TransferHandshake.h"
#include "transfer/core/TransferList.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace quillon::transfer {

struct TransferSnapshot {
    std::map<std::string, frame::Bytes> contents; // by the entry's file name
    std::optional<CheckReason> refusal;           // the first file that failed, as the checks say it
    std::string refusedFile;
    std::uintmax_t refusedLength = 0;
    bool ok() const { return !refusal.has_value(); }

    // The length of a file in the snapshot; nothing for a name it does not hold.
    std::optional<std::uintmax_t> lengthOf(const std::string& fileName) const;
};

using PathOf = std::function<std::filesystem::path(const std::string& fileName)>;

// Reads and checks the list's files in order, stopping at the first that
// cannot be read (CannotOpenFile) or no longer passes its checks.
std::shared_ptr<const TransferSnapshot> takeSnapshot(const TransferList& list, const PathOf& pathOf);

// A reader for the handshake that serves the snapshot's bytes.
TransferHandshake::FileReader snapshotReader(std::shared_ptr<const TransferSnapshot> snapshot);

} // namespace quillon::transfer
