#include "cli/KeyboardStore.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include <fcntl.h>
#include <unistd.h>

namespace quillon::keyboard_program {

namespace {

std::string slotFileName(int slot)
{
    char name[16];
    std::snprintf(name, sizeof name, "slot%02d.mid", slot);
    return name;
}

std::string curveText(const keyboard::CurveTable& table)
{
    std::string text;
    for (std::size_t i = 0; i < table.size(); ++i)
        text += std::to_string(int(table[i])) + ((i % 16 == 15) ? '\n' : ' ');
    return text;
}

std::string asText(const frame::Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

} // namespace

Status writeAtomically(const std::filesystem::path& path, const std::string& content)
{
    // A unique name made by mkstemp (O_EXCL): never a file or link left lying there.
    std::string temporary = (path.parent_path() / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return fail("cannot write " + path.string() + ": " + std::strerror(errno));
    std::size_t written = 0;
    int cause = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.data() + written, content.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            cause = n < 0 ? errno : ENOSPC;
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    if (cause == 0 && ::fsync(fd) != 0)
        cause = errno;
    if (::close(fd) != 0 && cause == 0)
        cause = errno;
    if (cause == 0 && ::rename(temporary.c_str(), path.c_str()) != 0)
        cause = errno;
    if (cause != 0) {
        ::unlink(temporary.c_str());
        return fail("cannot write " + path.string() + ": " + std::strerror(cause));
    }
    return success();
}

Result<std::filesystem::path> KeyboardStore::store(const keyboard::KeyboardModel& model,
                                                   const keyboard::Reaction& reaction) const
{
    using keyboard::Stored;
    std::filesystem::path path;
    std::string content;
    switch (reaction.stored) {
    case Stored::Nothing: return std::filesystem::path();
    case Stored::Song:
        path = m_folder / slotFileName(reaction.slot);
        content = asText(*model.song(reaction.slot));
        break;
    case Stored::Rom:
        path = m_folder / "rom.bin";
        content = asText(*model.romImage());
        break;
    case Stored::Curve:
        path = m_folder / "curve.txt";
        content = curveText(*model.curve());
        break;
    }
    if (auto written = writeAtomically(path, content); !written)
        return fail(written.reason());
    return path;
}

std::optional<frame::Reply> storeThenReply(const KeyboardStore* store, const keyboard::KeyboardModel& model,
                                           const keyboard::Reaction& reaction)
{
    if (store) {
        const auto stored = store->store(model, reaction);
        if (!stored) {
            std::cerr << "quillon-keyboard: " << stored.reason() << "; not answering, the file is not stored\n";
            return std::nullopt;
        }
        if (!stored->empty())
            std::cout << "wrote " << stored->string() << std::endl;
    }
    return reaction.reply;
}

} // namespace quillon::keyboard_program
