#pragma once
// Files dragged in from outside: which folder of the data folder each kind
// goes to (songs, ROM images, curves, SysEx files, told by the extension in
// any case), a free name beside an existing one, and a copy that never
// replaces a file it was not told to.
#include "base/core/DataFolders.h"
#include "base/core/Result.h"

#include <filesystem>
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

// Copies a regular file to `target`, creating its folder when missing. Fails
// with the reason when the source is a folder or cannot be read, or the copy
// cannot be written (a partly written copy is removed); an existing target
// is replaced only when `replace` is true.
Status copyDroppedFile(const std::filesystem::path& source, const std::filesystem::path& target, bool replace);

} // namespace quillon::base
