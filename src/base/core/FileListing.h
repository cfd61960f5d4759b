#pragma once
// The one rule by which every file list (main window, player, curve editor)
// is filled, so that an index into one list means the same file in another:
// the files of a folder that match a pattern, refused when there are 300 or
// more, otherwise ordered by creation time, newest first.
//
// Matching ignores the case of the letters A-Z, as files copied from other
// systems often carry upper-case extensions: "*.mid" lists "song.mid" and
// "SONG.MID" alike. Names are bytes as the file system gives them, valid
// UTF-8 or not. Only files are listed (a folder whose name matches is skipped). A missing or unreadable folder lists as
// empty.
#include <compare>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::listing {

// A listing is refused from this many matches on: at most 299 files are shown.
inline constexpr std::size_t kRefusalCount = 300;

// A file's creation instant: seconds and nanoseconds since the epoch.
struct FileTime {
    std::int64_t seconds = 0;
    std::uint32_t nanoseconds = 0;
    // clang-tidy mistakes the defaulted comparison's implied 0 for a null pointer.
    friend auto operator<=>(const FileTime&, const FileTime&) = default; // NOLINT(modernize-use-nullptr)
};

struct Entry {
    std::string name; // file name with extension, no folder
    FileTime created;
};

// Sorts oldest first with a fixed exchange procedure and returns the names
// newest first. Entries with equal times end up in the order that procedure
// gives them (it is not stable), which every list reproduces alike.
std::vector<std::string> listingOrder(std::vector<Entry> entries);

// '*' matches any run of bytes, '?' one byte; a letter A-Z matches itself in
// either case, every other byte only itself.
bool matchesPattern(std::string_view name, std::string_view pattern);

// Birth time where the file system records one, else modification time.
// False when the file cannot be examined.
bool creationTime(const std::filesystem::path& file, FileTime& time);

struct FileList {
    bool tooMany = false;           // 300 or more matches: the list stays empty
    std::vector<std::string> names; // listing order, newest first
};

// Scans the folder in directory order, then applies the rule above.
FileList listFolder(const std::filesystem::path& folder, std::string_view pattern);

} // namespace quillon::listing
