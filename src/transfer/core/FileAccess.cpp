#include "transfer/core/FileAccess.h"

#include "base/core/RegularFile.h"

#include <utility>

namespace quillon::transfer {

const FileInspector& FileInspector::disk()
{
    static const DiskFiles files;
    return files;
}

// Pipes, devices and folders are refused without waiting, as curves are:
// opening a pipe waits for a writer that may never come.
std::optional<FileHead> DiskFiles::inspect(const std::filesystem::path& path, std::size_t headLength) const
{
    FileHead head;
    auto firstBytes = base::readRegularFile(path, headLength, base::Beyond::Cut, &head.length);
    if (!firstBytes)
        return std::nullopt;
    head.firstBytes = std::move(*firstBytes);
    return head;
}

Result<frame::Bytes> readWholeFile(const std::filesystem::path& path, std::uintmax_t* length)
{
    // One byte beyond the largest sendable file is enough to refuse it as too large.
    return base::readRegularFile(path, frame::largestSendableLength() + 1, base::Beyond::Cut, length);
}

} // namespace quillon::transfer
