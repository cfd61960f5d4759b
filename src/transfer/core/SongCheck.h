#pragma once
// The checks a selection passes before it may be sent: how many files, and for
// songs that each is a Standard MIDI File of format 0. Also the size text the
// Send File list shows. Nothing here reads past the end of a file.
#include "transfer/core/FileAccess.h"
#include "transfer/core/TransferList.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::transfer {

inline constexpr std::size_t kMaxSongs = 28;
inline constexpr std::size_t kMaxRomImages = 1;
// The checks look at no more of a file than this.
inline constexpr std::size_t kSongHeadLength = 20;

enum class CheckReason {
    TooManySongs,
    TooManyRomImages,
    CannotOpenFile,
    NotMidiFile,
    NotFormat0,
    TooLarge,      // more blocks than a header can announce
    EmptyRomImage, // nothing to write over the keyboard's ROM
};

// The exact text the user reads for a refusal.
std::string_view messageText(CheckReason reason);
// The same, naming the file and its length where the reason needs them
// (a file too large says how large it is and how large it may be).
std::string refusalText(CheckReason reason, const std::string& fileName, std::uintmax_t length);

// File length in kilobytes as "%5.2f" followed by "K": 1024 -> " 1.00K".
std::string sizeText(std::uintmax_t lengthInBytes);

// Refuses a selection larger than the kind allows (28 songs, one ROM image).
std::optional<CheckReason> checkSelectionCount(std::size_t count, TransferKind kind);

// Judges a song by its first bytes: "MThd", then a format field whose low byte is 0.
// A file too short to hold the format field is not a MIDI file.
std::optional<CheckReason> checkSongHead(std::span<const std::uint8_t> firstBytes);

// The verdict on one file: a refusal or the size text (the size text is also
// known when a song is refused for its content).
struct FileVerdict {
    std::optional<CheckReason> refusal;
    std::string sizeText;
    std::uintmax_t length = 0;
    bool ok() const { return !refusal.has_value(); }
};

FileVerdict checkSongFile(const FileInspector& files, const std::filesystem::path& path);
FileVerdict checkSongFile(const std::filesystem::path& path);
// A ROM image is only opened and measured; its content is never judged.
FileVerdict checkRomFile(const FileInspector& files, const std::filesystem::path& path);
FileVerdict checkRomFile(const std::filesystem::path& path);
// The same verdicts on a file's whole content, already read.
FileVerdict checkContent(TransferKind kind, std::span<const std::uint8_t> content);

// A whole selection checked in order, stopping at the first refusal. The list
// holds every entry that passed before it; slots start as 1, 2, 3, ... in order.
struct Preparation {
    TransferList list;
    std::optional<CheckReason> refusal;
    std::string refusedFile; // empty for a count refusal
    std::uintmax_t refusedLength = 0;
    bool ok() const { return !refusal.has_value(); }
};

Preparation prepareSongs(const FileInspector& files, const std::filesystem::path& folder,
                         const std::vector<std::string>& names);
Preparation prepareRomImage(const FileInspector& files, const std::filesystem::path& folder,
                            const std::vector<std::string>& names);

} // namespace quillon::transfer
