#include "base/core/FileListing.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <system_error>
#include <utility>

namespace quillon::listing {

std::vector<std::string> listingOrder(std::vector<Entry> entries)
{
    // Exchange sort, oldest first: each position p takes, one exchange at a
    // time, every later entry that is strictly older than what p holds.
    const std::size_t count = entries.size();
    for (std::size_t p = 0; p + 1 < count; ++p) {
        for (std::size_t q = p + 1; q < count; ++q) {
            if (entries[q].created < entries[p].created)
                std::swap(entries[p], entries[q]);
        }
    }
    std::vector<std::string> names;
    names.reserve(count);
    // Newest first: the exchange sort above leaves the oldest at the front.
    std::reverse(entries.begin(), entries.end());
    for (auto& entry : entries)
        names.push_back(std::move(entry.name));
    return names;
}

namespace {
// Letters A-Z and a-z only: the bytes of other scripts' letters are compared as they are.
char foldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
} // namespace

bool matchesPattern(std::string_view name, std::string_view pattern)
{
    // Greedy wildcard match with one back-tracking point for the last '*'.
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t starPattern = std::string_view::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || foldCase(pattern[p]) == foldCase(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starPattern = p++;
            starName = n;
        } else if (starPattern != std::string_view::npos) {
            p = starPattern + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

bool creationTime(const std::filesystem::path& file, FileTime& time)
{
    struct statx info {};
    if (statx(AT_FDCWD, file.c_str(), 0, STATX_BTIME | STATX_MTIME, &info) != 0)
        return false;
    const struct statx_timestamp& stamp = (info.stx_mask & STATX_BTIME) ? info.stx_btime : info.stx_mtime;
    time.seconds = stamp.tv_sec;
    time.nanoseconds = stamp.tv_nsec;
    return true;
}

FileList listFolder(const std::filesystem::path& folder, std::string_view pattern)
{
    FileList result;
    std::vector<Entry> entries;
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    if (error)
        return result;
    for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (error)
            break;
        const std::string name = it->path().filename().string();
        if (!matchesPattern(name, pattern))
            continue;
        std::error_code typeError;
        // Folders, pipes, sockets and devices are not files: opening a pipe would wait for a writer.
        if (!it->is_regular_file(typeError))
            continue;
        Entry entry{name, {}};
        if (!creationTime(it->path(), entry.created))
            continue; // removed while we were looking
        entries.push_back(std::move(entry));
        if (entries.size() >= kRefusalCount) {
            result.tooMany = true;
            return result;
        }
    }
    result.names = listingOrder(std::move(entries));
    return result;
}

} // namespace quillon::listing
