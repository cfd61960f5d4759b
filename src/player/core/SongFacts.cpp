#include "player/core/SongFacts.h"

#include "base/core/RegularFile.h"
#include "midi/core/DeviceFrame.h"
#include "player/core/MidiFile.h"
#include "player/core/TempoMap.h"

#include <algorithm>

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
    return base::readRegularFile(path, frame::largestSendableLength(), base::Beyond::Refuse);
}

} // namespace quillon::player
