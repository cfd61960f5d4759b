#include "player/core/SongFacts.h"

#include "player/core/MidiFile.h"
#include "player/core/TempoMap.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace quillon::player {

Result<SongFacts> songFactsOf(std::span<const std::uint8_t> bytes)
{
    auto layout = readSmfLayout(bytes);
    if (!layout)
        return fail(layout.reason());
    std::vector<TempoMap::Change> changes;
    std::uint64_t endTick = 0;
    for (std::size_t t = 0; t < layout->tracks.size(); ++t) {
        TrackScanner scanner(layout->tracks[t], static_cast<int>(t));
        RawEvent event;
        while (scanner.nextNotChannel(event))
            if (event.kind == EventKind::Meta && event.metaType == kMetaTempo)
                changes.push_back({event.tick, TempoMap::tempoOf(event.payload)});
        if (scanner.failed())
            return fail(scanner.reason());
        endTick = std::max(endTick, scanner.endTick());
    }
    if (!layout->chunkError.empty())
        return fail(layout->chunkError);
    const TempoMap tempo(layout->division, std::move(changes));
    return SongFacts{layout->format, layout->tracks.size(), tempo.microsAt(endTick), bytes.size()};
}

Result<std::vector<std::uint8_t>> readSongBytes(const std::filesystem::path& path)
{
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        return fail("cannot open " + path.string());
    std::vector<std::uint8_t> bytes;
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    // The size is a hint: a file that grows or shrinks meanwhile is read to its end all the same.
    bytes.resize(error ? 0 : static_cast<std::size_t>(size));
    std::size_t got = std::fread(bytes.data(), 1, bytes.size(), file.get());
    bytes.resize(got);
    char more[4096];
    while (std::size_t n = std::fread(more, 1, sizeof more, file.get()))
        bytes.insert(bytes.end(), more, more + n);
    if (std::ferror(file.get()))
        return fail("cannot read " + path.string());
    return bytes;
}

} // namespace quillon::player
