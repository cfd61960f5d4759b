#include "curve/core/CurveFile.h"

#include "base/core/RegularFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>

namespace quillon::curve {

namespace {

void putInt32(std::vector<std::uint8_t>& out, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>((bits >> shift) & 0xFF));
}

std::int32_t getInt32(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4; ++i)
        bits |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    return static_cast<std::int32_t>(bits);
}

std::string describe(const std::filesystem::path& file, const char* action)
{
    return std::string("cannot ") + action + " " + file.string() + ": " + std::strerror(errno);
}

bool writeAll(int descriptor, const std::vector<std::uint8_t>& bytes)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(descriptor, bytes.data() + written, bytes.size() - written);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        written += static_cast<std::size_t>(count);
    }
    return true;
}

// After the rename the new name lives in the folder's own data; flushing the
// folder makes the replacement survive a power cut. Failure here loses nothing.
void syncFolder(const std::filesystem::path& file)
{
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
}

// A new file of its own beside the target, never one that already exists:
// whatever sits at a guessable name (a link to another file, a folder, an
// earlier save's leftover) is passed over, so only this save's bytes are
// written and only this file is renamed over the target. Returns the
// descriptor, or -1 with errno set and the last name tried in temporary.
int createTemporaryBeside(const std::filesystem::path& file, std::filesystem::path& temporary)
{
    static constexpr int kAttempts = 100;
    std::random_device entropy;
    std::uniform_int_distribution<unsigned> digits(0, 0xFFFFFF);
    const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        char name[20];
        std::snprintf(name, sizeof name, ".save-%06x.tmp", digits(entropy));
        // Not derived from the target's name, which may already be as long as a name can be.
        temporary = folder / name;
        const int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (descriptor >= 0 || errno != EEXIST)
            return descriptor;
    }
    return -1;
}

} // namespace

StoredCurve storedCurveOf(const VelocityCurve& curve) { return {curve.table(), curve.keyPoints()}; }

std::vector<std::uint8_t> encodeCurveFile(const StoredCurve& curve)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(kCurveFileSize);
    for (std::int32_t value : curve.table)
        putInt32(bytes, value);
    for (std::int32_t value : curve.points.x)
        putInt32(bytes, value);
    for (std::int32_t value : curve.points.y)
        putInt32(bytes, value);
    return bytes;
}

Result<StoredCurve> decodeCurveFile(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < kCurveFileSize)
        return fail("a curve file holds 568 bytes, this one only " + std::to_string(bytes.size()));
    StoredCurve curve;
    for (std::size_t v = 0; v < kTableSize; ++v)
        curve.table[v] = getInt32(bytes, 4 * v);
    for (std::size_t i = 0; i < kKeyPointCount; ++i) {
        curve.points.x[i] = getInt32(bytes, kKeyXOffset + 4 * i);
        curve.points.y[i] = getInt32(bytes, kKeyYOffset + 4 * i);
    }
    if (Status valid = checkKeyPoints(curve.points); !valid)
        return fail("the key-points are broken: " + valid.reason());
    return curve;
}

Result<StoredCurve> readCurveFile(const std::filesystem::path& file)
{
    // Only a regular file: a pipe given as a curve would wait for a writer forever.
    const auto bytes = base::readRegularFile(file, kCurveFileSize);
    if (!bytes)
        return fail(bytes.reason());
    Result<StoredCurve> curve = decodeCurveFile(*bytes);
    if (!curve)
        return fail(file.string() + ": " + curve.reason());
    return curve;
}

Status loadCurveFile(const std::filesystem::path& file, VelocityCurve& curve)
{
    Result<StoredCurve> stored = readCurveFile(file);
    if (!stored)
        return fail(stored.reason());
    curve.setKeyPoints(stored->points);
    curve.setTable(stored->table);
    return success();
}

Status writeCurveFile(const std::filesystem::path& file, const StoredCurve& curve)
{
    if (Status valid = checkKeyPoints(curve.points); !valid)
        return fail("not saved, the key-points are broken: " + valid.reason());

    std::filesystem::path temporary;
    const int descriptor = createTemporaryBeside(file, temporary);
    if (descriptor < 0)
        return fail(describe(temporary, "create"));

    const bool written = writeAll(descriptor, encodeCurveFile(curve)) && ::fsync(descriptor) == 0;
    const std::string writeError = written ? std::string() : describe(temporary, "write");
    const bool closed = ::close(descriptor) == 0;
    if (!written || !closed) {
        const std::string reason = written ? describe(temporary, "close") : writeError;
        ::unlink(temporary.c_str());
        return fail(reason);
    }
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        const std::string reason = describe(file, "replace");
        ::unlink(temporary.c_str());
        return fail(reason);
    }
    syncFolder(file);
    return success();
}

} // namespace quillon::curve
