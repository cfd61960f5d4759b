// The song checks on files whose content, length and number come from the
// input: the first byte picks how many files (up to 31, past the 28 allowed),
// each file takes a length byte and that many bytes, the last file the rest.
// The checks judge only what they were given and never read beyond it.
#include "transfer/core/SongCheck.h"

#include "FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

using namespace quillon::transfer;

namespace {

class InputFiles final : public FileInspector {
public:
    std::map<std::string, std::vector<std::uint8_t>> files;

    std::optional<FileHead> inspect(const std::filesystem::path& path, std::size_t headLength) const override
    {
        const auto found = files.find(path.filename().string());
        if (found == files.end())
            return std::nullopt;
        FileHead head;
        head.length = found->second.size();
        const std::size_t take = std::min(headLength, found->second.size());
        head.firstBytes.assign(found->second.begin(), found->second.begin() + static_cast<std::ptrdiff_t>(take));
        return head;
    }
};

bool headAccepted(std::span<const std::uint8_t> head)
{
    return head.size() >= 10 && head[0] == 'M' && head[1] == 'T' && head[2] == 'h' && head[3] == 'd' && head[9] == 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    // The bare head check on the whole input, exactly as long as it is.
    const auto verdict = checkSongHead(bytes);
    FUZZ_CHECK(verdict.has_value() != headAccepted(bytes));

    if (size == 0)
        return 0;
    const std::size_t count = data[0] & 0x1F;
    InputFiles files;
    std::vector<std::string> names;
    std::size_t at = 1;
    for (std::size_t i = 0; i < count; ++i) {
        std::string name = "song " + std::to_string(i) + ".mid";
        std::size_t length = size - std::min(at, size);
        if (i + 1 < count && at < size) {
            const std::size_t wanted = data[at++];
            length = std::min(wanted, size - at);
        } else if (i + 1 < count)
            length = 0;
        // Every fourth name is listed but missing, as a file deleted meanwhile.
        if (i % 4 != 3)
            files.files[name].assign(data + std::min(at, size), data + std::min(at + length, size));
        at = std::min(at + length, size);
        names.push_back(std::move(name));
    }

    const Preparation prepared = prepareSongs(files, "songs", names);
    FUZZ_CHECK(prepared.list.kind == TransferKind::Songs);
    FUZZ_CHECK(prepared.list.entries.size() <= kMaxSongs);
    if (count > kMaxSongs) {
        FUZZ_CHECK(prepared.refusal == CheckReason::TooManySongs);
        FUZZ_CHECK(prepared.list.entries.empty());
        return 0;
    }
    const std::size_t accepted = prepared.list.entries.size();
    FUZZ_CHECK(prepared.ok() == (accepted == count));
    for (std::size_t i = 0; i < accepted; ++i) {
        const TransferEntry& entry = prepared.list.entries[i];
        FUZZ_CHECK(entry.fileName == names[i]);
        FUZZ_CHECK(entry.slot == static_cast<int>(i) + 1);
        const auto& content = files.files.at(names[i]);
        FUZZ_CHECK(headAccepted(content));
        FUZZ_CHECK(entry.sizeText == sizeText(content.size()));
    }
    if (!prepared.ok()) {
        FUZZ_CHECK(prepared.refusedFile == names[accepted]);
        const auto found = files.files.find(names[accepted]);
        if (found == files.files.end())
            FUZZ_CHECK(prepared.refusal == CheckReason::CannotOpenFile);
        else
            FUZZ_CHECK(!headAccepted(found->second));
        FUZZ_CHECK(!messageText(*prepared.refusal).empty());
    }
    return 0;
}
