#pragma once
// The one way in for every file the user brings (songs, ROM images, curves,
// dropped, chosen, listed or played): only a regular file will do. A pipe, socket or device in a file's place would
// make a plain open or read wait for a writer that may never come; a folder has no bytes to give. Such names are
// refused at once, with a reason naming them.
#include "base/core/Result.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace quillon::base {

// What a file longer than the bound gets: its first bytes only (a look at
// its head), or a refusal before anything is read (a file of a kind that can
// be no longer: a 2 GiB file given as a song costs no memory and no time).
enum class Beyond { Cut, Refuse };

// The file's content from its start, read once, at most maxBytes of it; its
// whole length in bytes goes to length when one is given.
Result<std::vector<std::uint8_t>> readRegularFile(const std::filesystem::path& file, std::size_t maxBytes,
                                                  Beyond beyond = Beyond::Cut, std::uintmax_t* length = nullptr);

} // namespace quillon::base
