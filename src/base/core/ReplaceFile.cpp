#include "base/core/ReplaceFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <string>

namespace quillon::base {

namespace {

std::filesystem::path folderOf(const std::filesystem::path& file)
{
    return file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
}

// A new file of its own beside the target, never one that already exists:
// whatever sits at a guessable name (a link to another file, a folder, an
// earlier write's leftover) is passed over. Not derived from the target's
// name, which may already be as long as a name can be. Returns the
// descriptor, or -1 with errno set.
int createTemporaryBeside(const std::filesystem::path& file, std::filesystem::path& temporary)
{
    static constexpr int kAttempts = 100;
    std::random_device entropy;
    std::uniform_int_distribution<unsigned> digits(0, 0xFFFFFF);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        char name[20];
        std::snprintf(name, sizeof name, ".save-%06x.tmp", digits(entropy));
        temporary = folderOf(file) / name;
        // 0666 less the umask, as any new file of the user's.
        const int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (descriptor >= 0 || errno != EEXIST)
            return descriptor;
    }
    return -1;
}

// 0 or the errno of the first failing write; a write that takes nothing counts as a full disk.
int writeAll(int descriptor, std::span<const std::uint8_t> bytes, const WriteProgress& progress)
{
    static constexpr std::size_t kChunk = 1 << 20;
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(descriptor, bytes.data() + written, std::min(kChunk, bytes.size() - written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return count < 0 ? errno : ENOSPC;
        written += static_cast<std::size_t>(count);
        if (progress)
            progress(written);
    }
    return 0;
}

// Renames without replacing: the target's existence is judged by the rename
// itself, so no other writer can slip in between a check and the write.
int renameKeeping(const std::filesystem::path& from, const std::filesystem::path& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without that rename: a hard link fails on an existing name too.
    if (::link(from.c_str(), to.c_str()) != 0)
        return errno;
    ::unlink(from.c_str());
    return 0;
}

// After the rename the new name lives in the folder's own data; flushing the
// folder makes the replacement survive a power cut. Failure here loses nothing.
void syncFolder(const std::filesystem::path& file)
{
    const int descriptor = ::open(folderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
}

} // namespace

Status replaceFile(const std::filesystem::path& target, std::span<const std::uint8_t> bytes, Existing existing,
                   const WriteProgress& progress)
{
    const auto failure = [&](int cause) {
        if (cause == EEXIST)
            return fail("cannot write " + target.string() + ": it exists already and is left as it is");
        return fail("cannot write " + target.string() + ": " + std::strerror(cause));
    };
    std::filesystem::path temporary;
    const int descriptor = createTemporaryBeside(target, temporary);
    if (descriptor < 0)
        return failure(errno);
    int cause = writeAll(descriptor, bytes, progress);
    if (cause == 0 && ::fsync(descriptor) != 0)
        cause = errno;
    if (::close(descriptor) != 0 && cause == 0)
        cause = errno;
    if (cause == 0) {
        if (existing == Existing::Keep)
            cause = renameKeeping(temporary, target);
        else if (::rename(temporary.c_str(), target.c_str()) != 0)
            cause = errno;
    }
    if (cause != 0) {
        ::unlink(temporary.c_str());
        return failure(cause);
    }
    syncFolder(target);
    return success();
}

} // namespace quillon::base
