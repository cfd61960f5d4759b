#include "transfer/core/SongCheck.h"

#include "base/core/Messages.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace quillon::transfer {

namespace {
constexpr std::array<std::uint8_t, 4> kMidiFileTag = {'M', 'T', 'h', 'd'};
constexpr std::size_t kFormatLowByte = 9;

Preparation prepare(TransferKind kind, const FileInspector& files, const std::filesystem::path& folder,
                    const std::vector<std::string>& names)
{
    Preparation result;
    result.list.kind = kind;
    if (const auto refusal = checkSelectionCount(names.size(), kind)) {
        result.refusal = refusal;
        return result;
    }
    for (std::size_t i = 0; i < names.size(); ++i) {
        const auto path = folder / names[i];
        const FileVerdict verdict =
            kind == TransferKind::Songs ? checkSongFile(files, path) : checkRomFile(files, path);
        if (!verdict.ok()) {
            result.refusal = verdict.refusal;
            result.refusedFile = names[i];
            result.refusedLength = verdict.length;
            return result;
        }
        result.list.entries.push_back({names[i], verdict.sizeText, static_cast<int>(i) + kFirstSlot});
    }
    return result;
}
} // namespace

std::string_view messageText(CheckReason reason)
{
    switch (reason) {
    case CheckReason::TooManySongs: return text::kTooManySongs;
    case CheckReason::TooManyRomImages: return text::kTooManyRomImages;
    case CheckReason::CannotOpenFile: return text::kCannotOpenFile;
    case CheckReason::NotMidiFile: return text::kNotMidiFile;
    case CheckReason::NotFormat0: return text::kNotFormat0;
    case CheckReason::TooLarge: return text::kFileTooLarge;
    case CheckReason::EmptyRomImage: return text::kEmptyRomImage;
    }
    return {};
}

std::string refusalText(CheckReason reason, const std::string& fileName, std::uintmax_t length)
{
    if (reason != CheckReason::TooLarge)
        return std::string(messageText(reason));
    return std::string(text::kFileTooLarge) + fileName + " (" + std::to_string(length) + " bytes)" +
           std::string(text::kFileTooLargeLimit) + std::to_string(frame::largestSendableLength()) + " bytes.";
}

std::string sizeText(std::uintmax_t lengthInBytes)
{
    char number[64];
    std::snprintf(number, sizeof number, "%5.2f", static_cast<double>(lengthInBytes) / 1024.0);
    return std::string(number) + "K";
}

std::optional<CheckReason> checkSelectionCount(std::size_t count, TransferKind kind)
{
    if (kind == TransferKind::Songs && count > kMaxSongs)
        return CheckReason::TooManySongs;
    if (kind == TransferKind::RomImage && count > kMaxRomImages)
        return CheckReason::TooManyRomImages;
    return std::nullopt;
}

std::optional<CheckReason> checkSongHead(std::span<const std::uint8_t> firstBytes)
{
    if (firstBytes.size() <= kFormatLowByte)
        return CheckReason::NotMidiFile;
    for (std::size_t i = 0; i < kMidiFileTag.size(); ++i) {
        if (firstBytes[i] != kMidiFileTag[i])
            return CheckReason::NotMidiFile;
    }
    // Only the low byte of the big-endian format field decides.
    if (firstBytes[kFormatLowByte] != 0)
        return CheckReason::NotFormat0;
    return std::nullopt;
}

namespace {
// The header's block count is 14 bits wide: a longer file would arrive cut short.
bool tooLarge(std::uintmax_t length) { return length > frame::largestSendableLength(); }

FileVerdict judge(TransferKind kind, std::uintmax_t length, std::span<const std::uint8_t> firstBytes)
{
    FileVerdict verdict{std::nullopt, sizeText(length), length};
    if (kind == TransferKind::Songs)
        verdict.refusal = checkSongHead(firstBytes);
    else if (length == 0)
        verdict.refusal = CheckReason::EmptyRomImage;
    if (!verdict.refusal && tooLarge(length))
        verdict.refusal = CheckReason::TooLarge;
    return verdict;
}
} // namespace

FileVerdict checkSongFile(const FileInspector& files, const std::filesystem::path& path)
{
    const auto head = files.inspect(path, kSongHeadLength);
    if (!head)
        return {CheckReason::CannotOpenFile, {}};
    return judge(TransferKind::Songs, head->length, head->firstBytes);
}

FileVerdict checkContent(TransferKind kind, std::span<const std::uint8_t> content)
{
    return judge(kind, content.size(), content.first(std::min(content.size(), kSongHeadLength)));
}

FileVerdict checkSongFile(const std::filesystem::path& path) { return checkSongFile(FileInspector::disk(), path); }

FileVerdict checkRomFile(const FileInspector& files, const std::filesystem::path& path)
{
    const auto head = files.inspect(path, 0);
    if (!head)
        return {CheckReason::CannotOpenFile, {}};
    return judge(TransferKind::RomImage, head->length, {});
}

FileVerdict checkRomFile(const std::filesystem::path& path) { return checkRomFile(FileInspector::disk(), path); }

Preparation prepareSongs(const FileInspector& files, const std::filesystem::path& folder,
                         const std::vector<std::string>& names)
{
    return prepare(TransferKind::Songs, files, folder, names);
}

Preparation prepareRomImage(const FileInspector& files, const std::filesystem::path& folder,
                            const std::vector<std::string>& names)
{
    return prepare(TransferKind::RomImage, files, folder, names);
}

} // namespace quillon::transfer
