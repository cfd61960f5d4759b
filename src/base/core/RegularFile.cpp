#include "base/core/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <string>

namespace quillon::base {

namespace {
std::string because(const char* action, const std::filesystem::path& file, const std::string& why)
{
    return std::string("cannot ") + action + " " + file.string() + ": " + why;
}

class Descriptor {
public:
    explicit Descriptor(int value) : m_value(value) {}
    ~Descriptor()
    {
        if (m_value >= 0)
            ::close(m_value);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_value; }

private:
    int m_value;
};
} // namespace

Result<std::vector<std::uint8_t>> readRegularFile(const std::filesystem::path& file, std::size_t maxBytes,
                                                  Beyond beyond, std::uintmax_t* length)
{
    // O_NONBLOCK keeps the open itself from waiting on a pipe; the type is
    // then checked on what was opened, so nothing swapped in between counts.
    Descriptor descriptor(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (descriptor.get() < 0)
        return fail(because("open", file, std::strerror(errno)));
    struct stat info {};
    if (::fstat(descriptor.get(), &info) != 0)
        return fail(because("open", file, std::strerror(errno)));
    if (!S_ISREG(info.st_mode))
        return fail(because("open", file, S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a regular file"));
    const auto size = static_cast<std::uintmax_t>(std::max<off_t>(info.st_size, 0));
    if (length != nullptr)
        *length = size;
    const auto tooLong = [&](std::uintmax_t bytes) {
        return fail(because("read", file,
                            "it holds " + std::to_string(bytes) + " bytes, more than the " + std::to_string(maxBytes) +
                                " such a file can have"));
    };
    if (beyond == Beyond::Refuse && size > maxBytes)
        return tooLong(size);
    // A file that grows while it is read is caught by the one byte read beyond the bound.
    const std::size_t readBound = beyond == Beyond::Refuse ? maxBytes + 1 : maxBytes;

    std::vector<std::uint8_t> content;
    content.reserve(std::min(maxBytes, static_cast<std::size_t>(std::max<off_t>(info.st_size, 0))));
    std::array<std::uint8_t, 16384> chunk{};
    while (content.size() < readBound) {
        const std::size_t wanted = std::min(chunk.size(), readBound - content.size());
        const ssize_t count = ::read(descriptor.get(), chunk.data(), wanted);
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return fail(because("read", file, std::strerror(errno)));
        }
        if (count == 0)
            break;
        content.insert(content.end(), chunk.begin(), chunk.begin() + count);
    }
    if (content.size() > maxBytes)
        return tooLong(content.size());
    return content;
}

} // namespace quillon::base
