#pragma once
// Turns a Standard MIDI File of format 1 (or 0) into format 0, the only format
// the keyboard takes: every track merged into one, in time order. Events at the
// same tick keep the order of their tracks, then their order inside a track,
// so a player hears the very same sequence at the very same times. Meta events
// (tempo, time signature, names ...) are kept; the per-track End of Track
// events give way to exactly one at the end of the latest track. The output is
// written without running status; the division is kept as it was.
#include "base/core/Result.h"
#include "player/core/MidiFile.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace quillon::player {

// One track holding every event of every track, in the merge order above,
// ending with one End of Track. The result has format 0 and the same division.
MidiFile mergeToFormat0(const MidiFile& file);

// The bytes of a format 0 file holding the given file's one track. Fails when
// the file holds more than one track, or a gap between two events is too long
// to write (more than 28 bits of ticks).
Result<std::vector<std::uint8_t>> writeFormat0(const MidiFile& file);

// Reads, merges and writes in one step; the reader's reason when the input is no usable MIDI file.
Result<std::vector<std::uint8_t>> convertToFormat0(std::span<const std::uint8_t> smf);

// Where the converted copy of a song goes, beside it: "name-0.mid" for
// "name.mid" (the original's extension is kept). An existing file is never
// replaced: when that name is taken the next free of "name-0-2.mid",
// "name-0-3.mid" ... "name-0-99.mid" is used; fails when all are taken.
Result<std::filesystem::path> format0TargetPath(const std::filesystem::path& original);

// Converts the song at `original` into a new file beside it (named as above)
// and answers that file's path. Nothing is written when the song cannot be read or converted.
Result<std::filesystem::path> convertSongBeside(const std::filesystem::path& original);

} // namespace quillon::player
