#pragma once
// What a song list tells about a MIDI file without playing it: its format,
// how many tracks it has, how long it plays and how big it is. Reading the
// length walks every event once (for the tempo changes and the last End of
// Track) but keeps none of them, so a large file costs about its reading time.
#include "base/core/Result.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace quillon::player {

struct SongFacts {
    int format = 0;
    std::size_t tracks = 0;
    std::int64_t lengthMicros = 0;
    std::uintmax_t sizeBytes = 0;
};

// The facts of a file's bytes (sizeBytes is their count); the reader's reason when they are no usable MIDI file.
Result<SongFacts> songFactsOf(std::span<const std::uint8_t> bytes);

// The whole file, read once; refused without waiting when it is no regular
// file (a pipe, a device) or longer than the longest song a transfer can carry.
Result<std::vector<std::uint8_t>> readSongBytes(const std::filesystem::path& path);

} // namespace quillon::player
