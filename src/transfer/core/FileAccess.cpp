#include "transfer/core/FileAccess.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>

namespace quillon::transfer {

namespace {
// A directory opens as a stream on some systems but has no bytes to give, and
// opening a pipe waits for a writer that may never come: only files are read.
// On failure, why: the system's reason, or that it is no regular file.
bool openForReading(const std::filesystem::path& path, std::ifstream& stream, std::string* why = nullptr)
{
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        if (why)
            *why = error ? error.message() : std::string("not a regular file");
        return false;
    }
    stream.open(path, std::ios::binary);
    if (!stream.is_open() && why)
        *why = std::strerror(errno);
    return stream.is_open();
}
} // namespace

const FileInspector& FileInspector::disk()
{
    static const DiskFiles files;
    return files;
}

std::optional<FileHead> DiskFiles::inspect(const std::filesystem::path& path, std::size_t headLength) const
{
    std::ifstream stream;
    if (!openForReading(path, stream))
        return std::nullopt;
    stream.seekg(0, std::ios::end);
    const std::streamoff end = stream.tellg();
    if (end < 0)
        return std::nullopt;
    stream.seekg(0, std::ios::beg);

    FileHead head;
    head.length = static_cast<std::uintmax_t>(end);
    head.firstBytes.resize(headLength);
    stream.read(reinterpret_cast<char*>(head.firstBytes.data()), static_cast<std::streamsize>(headLength));
    head.firstBytes.resize(static_cast<std::size_t>(stream.gcount()));
    return head;
}

Result<frame::Bytes> readWholeFile(const std::filesystem::path& path)
{
    std::ifstream stream;
    std::string why;
    if (!openForReading(path, stream, &why))
        return fail("cannot open " + path.string() + ": " + why);
    // Chunks, not a character at a time: a 64 KiB song is read for every transfer.
    frame::Bytes content;
    std::array<char, 16384> chunk{};
    while (stream.read(chunk.data(), chunk.size()) || stream.gcount() > 0)
        content.insert(content.end(), chunk.begin(), chunk.begin() + stream.gcount());
    if (stream.bad())
        return fail("cannot read " + path.string() + ": " + std::strerror(errno));
    return content;
}

} // namespace quillon::transfer
