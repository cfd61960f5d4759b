#pragma once
// How the transfer code looks at files: the length and first bytes for the
// checks, the whole content when a file's turn comes. The interface lets tests
// stand in for the disk; DiskFiles is the real thing (regular files only, see base/core/RegularFile.h).
#include "base/core/Result.h"
#include "midi/core/DeviceFrame.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>

namespace quillon::transfer {

// A file's length and up to the first headLength bytes it actually has.
struct FileHead {
    std::uintmax_t length = 0;
    frame::Bytes firstBytes;
};

class FileInspector {
public:
    virtual ~FileInspector() = default;
    // Nothing when the file cannot be opened for reading.
    virtual std::optional<FileHead> inspect(const std::filesystem::path& path, std::size_t headLength) const = 0;

    // The real file system (a stateless DiskFiles).
    static const FileInspector& disk();
};

class DiskFiles final : public FileInspector {
public:
    std::optional<FileHead> inspect(const std::filesystem::path& path, std::size_t headLength) const override;
};

// The whole file, or a reason naming it when it cannot be opened or read. A
// file longer than a transfer can carry is read only one byte beyond that
// bound (its whole length goes to length), enough for the checks to refuse it.
Result<frame::Bytes> readWholeFile(const std::filesystem::path& path, std::uintmax_t* length = nullptr);

} // namespace quillon::transfer
