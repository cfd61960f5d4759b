#pragma once
// Reading the files the user brings (songs, ROM images, curves) when only a
// regular file will do. A pipe, socket or device in a file's place would make
// a plain open or read wait for a writer that may never come; a folder has no
// bytes to give. Such names are refused at once, with a reason naming them.
#include "base/core/Result.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <vector>

namespace quillon::base {

// Up to maxBytes of the file's content, from its start; its whole length in
// bytes goes to length when one is given.
Result<std::vector<std::uint8_t>> readRegularFile(const std::filesystem::path& file,
                                                  std::size_t maxBytes = std::numeric_limits<std::size_t>::max(),
                                                  std::uintmax_t* length = nullptr);

} // namespace quillon::base
