#include "base/core/DroppedFiles.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace quillon::base {

std::optional<DroppedKind> droppedKindOf(const std::filesystem::path& file)
{
    std::string extension = file.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".mid")
        return DroppedKind::Song;
    if (extension == ".bin")
        return DroppedKind::RomImage;
    if (extension == ".crv")
        return DroppedKind::Curve;
    if (extension == ".syx")
        return DroppedKind::SysEx;
    return std::nullopt;
}

std::filesystem::path folderFor(const DataFolders& folders, DroppedKind kind)
{
    switch (kind) {
    case DroppedKind::Song: return folders.songFolder();
    case DroppedKind::RomImage: return folders.romFolder();
    case DroppedKind::Curve: return folders.curveFolder();
    case DroppedKind::SysEx: return folders.syxFolder();
    }
    return folders.root();
}

std::string freeNameIn(const std::filesystem::path& folder, const std::string& name)
{
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(folder / name, error)))
        return name;
    const std::filesystem::path asPath(name);
    const std::string stem = asPath.stem().string();
    const std::string extension = asPath.extension().string();
    for (int number = 2;; ++number) {
        std::string candidate = stem;
        candidate.append("-").append(std::to_string(number)).append(extension);
        if (!std::filesystem::exists(std::filesystem::symlink_status(folder / candidate, error)))
            return candidate;
    }
}

Status copyDroppedFile(const std::filesystem::path& source, const std::filesystem::path& target, bool replace)
{
    std::error_code error;
    const auto status = std::filesystem::status(source, error);
    if (error)
        return fail(error.message());
    if (std::filesystem::is_directory(status))
        return fail("it is a folder");
    if (!std::filesystem::is_regular_file(status))
        return fail("it is not a regular file");
    std::filesystem::create_directories(target.parent_path(), error);
    if (error)
        return fail(error.message());
    const auto options =
        replace ? std::filesystem::copy_options::overwrite_existing : std::filesystem::copy_options::none;
    if (!std::filesystem::copy_file(source, target, options, error) || error) {
        const std::string reason = error ? error.message() : "the copy could not be made";
        // A copy cut off (a full disk) is removed; an existing file it refused to replace stays.
        if (error != std::errc::file_exists && !replace)
            std::filesystem::remove(target, error);
        return fail(reason);
    }
    return success();
}

} // namespace quillon::base
