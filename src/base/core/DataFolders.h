#pragma once
// Where Quillon's user files live: one root folder "Quillon" resolved against
// the working directory (or a given base), with one sub-folder per kind of file.
// Paths stay relative when no base is given, so starting the program elsewhere
// shows other (usually empty) lists. Nothing here creates a folder; a missing
// folder simply lists as empty.
#include <filesystem>
#include <string_view>

namespace quillon {

class DataFolders {
public:
    static constexpr std::string_view kRootName = "Quillon";
    static constexpr std::string_view kCurveFolderName = "crv";
    static constexpr std::string_view kSongFolderName = "mid";
    static constexpr std::string_view kRomFolderName = "bin";
    static constexpr std::string_view kSysExFolderName = "syx";

    static constexpr std::string_view kCurvePattern = "*.crv";
    static constexpr std::string_view kSongPattern = "*.mid";
    static constexpr std::string_view kRomPattern = "*.bin";
    static constexpr std::string_view kCurveExtension = ".crv";

    // With an empty base every path is relative to the process's working directory.
    explicit DataFolders(const std::filesystem::path& base = {});

    std::filesystem::path root() const;
    std::filesystem::path curveFolder() const;
    std::filesystem::path songFolder() const;
    std::filesystem::path romFolder() const;
    std::filesystem::path syxFolder() const;

    // A file of a folder by the name its list shows (name and extension).
    std::filesystem::path songPath(std::string_view name) const;
    std::filesystem::path romPath(std::string_view name) const;
    std::filesystem::path curvePath(std::string_view name) const;
    std::filesystem::path syxPath(std::string_view name) const;
    // A curve saved under a typed name: the ".crv" extension is appended.
    std::filesystem::path curvePathForName(std::string_view typedName) const;

    // The help page, "Quillon/helpfiles/Index.htm" (a file, not a folder).
    std::filesystem::path helpPage() const;

private:
    std::filesystem::path m_root;
};

} // namespace quillon
