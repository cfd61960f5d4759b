#pragma once
// The one way a file of the data folder is written: the bytes go to a new
// file of its own in the target's folder, are flushed to the disk, and that
// file is then renamed over the target in one step. So the target is never
// truncated and never written through (a link in its place is replaced, not
// followed), and a write that fails half way (a full disk, a read-only file
// system, no permission) leaves the old file whole and no temporary behind;
// the reason names the system's own cause.
#include "base/core/Result.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>

namespace quillon::base {

enum class Existing {
    Replace, // an existing target is replaced
    Keep,    // an existing target stays: the write fails, naming it
};

// Called now and then with the bytes written so far, for a progress bar.
using WriteProgress = std::function<void(std::size_t written)>;

Status replaceFile(const std::filesystem::path& target, std::span<const std::uint8_t> bytes,
                   Existing existing = Existing::Replace, const WriteProgress& progress = {});

} // namespace quillon::base
