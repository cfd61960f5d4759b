#pragma once
// Files dragged in from outside: which folder of the data folder each kind
// goes to (songs, ROM images, curves, SysEx files, told by the extension in
// any case), and a free name beside an existing one, so a copy never
// replaces a file it was not told to.
#include "base/core/DataFolders.h"
#include "base/core/ReplaceFile.h"
#include "base/core/Result.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace quillon::base {

enum class DroppedKind { Song, RomImage, Curve, SysEx };

// Nothing for a file of no kind the program keeps.
std::optional<DroppedKind> droppedKindOf(const std::filesystem::path& file);
std::filesystem::path folderFor(const DataFolders& folders, DroppedKind kind);

// `name` when the folder holds no such entry, else the first free of
// "stem-2.ext", "stem-3.ext" ...
std::string freeNameIn(const std::filesystem::path& folder, const std::string& name);

// Where one file brought in goes. Names are bytes, exactly as the file system
// has them (valid UTF-8 or not).
struct DropPlan {
    std::filesystem::path source;
    DroppedKind kind = DroppedKind::Song;
    std::filesystem::path target;
    Existing existing = Existing::Keep;
};

// The plan for one file: its kind told by its extension (refused when it has
// none the program keeps), its folder, and its name there. When that name is
// taken, replaceTaken() decides: true replaces the file, false keeps both
// under a free name. Nothing when the file is already that very file (a link
// in the folder is never taken for its target).
Result<std::optional<DropPlan>> planDrop(const DataFolders& folders, const std::filesystem::path& source,
                                         const std::function<bool()>& replaceTaken);

} // namespace quillon::base
