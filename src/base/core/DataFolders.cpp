#include "base/core/DataFolders.h"

#include <string>

namespace quillon {

namespace {
// Names come from a list or a prompt and are appended as plain text, so a
// name that happens to start with '/' still stays inside the folder.
std::filesystem::path inFolder(const std::filesystem::path& folder, std::string_view name)
{
    return std::filesystem::path(folder.string() + '/' + std::string(name));
}
} // namespace

DataFolders::DataFolders(const std::filesystem::path& base)
    : m_root(base.empty() ? std::filesystem::path(kRootName) : base / kRootName)
{
}

std::filesystem::path DataFolders::root() const { return m_root; }
std::filesystem::path DataFolders::curveFolder() const { return m_root / kCurveFolderName; }
std::filesystem::path DataFolders::songFolder() const { return m_root / kSongFolderName; }
std::filesystem::path DataFolders::romFolder() const { return m_root / kRomFolderName; }
std::filesystem::path DataFolders::syxFolder() const { return m_root / kSysExFolderName; }

std::filesystem::path DataFolders::songPath(std::string_view name) const { return inFolder(songFolder(), name); }
std::filesystem::path DataFolders::romPath(std::string_view name) const { return inFolder(romFolder(), name); }
std::filesystem::path DataFolders::curvePath(std::string_view name) const { return inFolder(curveFolder(), name); }
std::filesystem::path DataFolders::syxPath(std::string_view name) const { return inFolder(syxFolder(), name); }

std::filesystem::path DataFolders::curvePathForName(std::string_view typedName) const
{
    return inFolder(curveFolder(), std::string(typedName) + std::string(kCurveExtension));
}

std::filesystem::path DataFolders::helpPage() const
{
    // The page sits at "helpfiles//Index.htm" below the root; the doubled
    // separator means nothing to the file system, so it is written once.
    return m_root / "helpfiles" / "Index.htm";
}

} // namespace quillon
