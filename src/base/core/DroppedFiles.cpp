#include "base/core/DroppedFiles.h"

#include "base/core/Messages.h"

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

Result<std::optional<DropPlan>> planDrop(const DataFolders& folders, const std::filesystem::path& source,
                                         const std::function<bool()>& replaceTaken)
{
    const auto kind = droppedKindOf(source);
    if (!kind)
        return fail(std::string(text::kDroppedKindUnknown));
    DropPlan plan{source, *kind, folderFor(folders, *kind) / source.filename(), Existing::Keep};
    std::error_code error;
    const auto status = std::filesystem::symlink_status(plan.target, error);
    if (std::filesystem::exists(status)) {
        if (!std::filesystem::is_symlink(status) && std::filesystem::equivalent(source, plan.target, error))
            return std::optional<DropPlan>(); // dropped onto itself: nothing to copy
        if (replaceTaken())
            plan.existing = Existing::Replace;
        else
            plan.target =
                plan.target.parent_path() / freeNameIn(plan.target.parent_path(), plan.target.filename().string());
    }
    return std::optional<DropPlan>(std::move(plan));
}

} // namespace quillon::base
