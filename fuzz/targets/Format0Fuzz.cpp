// The format 0 converter, round trip: whatever bytes come in, conversion
// yields a file or a reason, and a converted file
//   - reads back as format 0 with one track and the division kept;
//   - holds exactly the merged events of the input, at the same ticks;
//   - passes the song check, so it can be sent;
//   - converts again to the very same bytes.
#include "player/core/Format0Converter.h"
#include "player/core/MidiFile.h"
#include "transfer/core/SongCheck.h"

#include "FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <span>

using namespace quillon;
using namespace quillon::player;

namespace {

bool sameEvent(const TrackEvent& a, const TrackEvent& b)
{
    return a.tick == b.tick && a.kind == b.kind && a.status == b.status && a.metaType == b.metaType &&
           a.data1 == b.data1 && a.data2 == b.data2 && a.payload == b.payload;
}

bool sameDivision(const Division& a, const Division& b)
{
    return a.kind == b.kind && a.ticksPerQuarter == b.ticksPerQuarter && a.framesPerSecond == b.framesPerSecond &&
           a.ticksPerFrame == b.ticksPerFrame;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    const auto converted = convertToFormat0(bytes);
    const auto original = readMidiFile(bytes);
    if (!original) {
        FUZZ_CHECK(!converted.ok()); // nothing is made from what cannot be read
        return 0;
    }
    if (!converted) {
        FUZZ_CHECK(!converted.reason().empty());
        return 0;
    }
    FUZZ_CHECK(transfer::checkSongHead(*converted) == std::nullopt);

    const auto reread = readMidiFile(*converted);
    FUZZ_CHECK(reread.ok());
    FUZZ_CHECK(reread->format == 0);
    FUZZ_CHECK(reread->tracks.size() == 1);
    FUZZ_CHECK(sameDivision(reread->division, original->division));

    const MidiFile merged = mergeToFormat0(*original);
    const auto& expected = merged.tracks.front().events;
    const auto& actual = reread->tracks.front().events;
    FUZZ_CHECK(actual.size() == expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i)
        FUZZ_CHECK(sameEvent(actual[i], expected[i]));

    const auto again = convertToFormat0(*converted);
    FUZZ_CHECK(again.ok());
    FUZZ_CHECK(*again == *converted);
    return 0;
}
