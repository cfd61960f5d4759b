// The MIDI file reader and the merged timeline built from what it accepts.
// Whatever the bytes, reading yields a file or a reason; an accepted file
// obeys what the player relies on, and the player's one-pass loader and the
// song facts tell exactly what the full reader and merge tell.
#include "player/core/MidiFile.h"
#include "player/core/SongFacts.h"
#include "player/core/Timeline.h"

#include "FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <span>

using namespace quillon::player;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    const auto file = readMidiFile(bytes);
    const auto loaded = loadTimeline(bytes);
    const auto facts = songFactsOf(bytes);
    FUZZ_CHECK(loaded.ok() == file.ok() && facts.ok() == file.ok());
    if (!file) {
        FUZZ_CHECK(!file.reason().empty());
        FUZZ_CHECK(loaded.reason() == file.reason() && facts.reason() == file.reason());
        return 0;
    }
    FUZZ_CHECK(file->format == 0 || file->format == 1);
    FUZZ_CHECK(!file->tracks.empty());
    FUZZ_CHECK(file->format != 0 || file->tracks.size() == 1);
    if (file->division.kind == Division::Kind::TicksPerQuarter)
        FUZZ_CHECK(file->division.ticksPerQuarter > 0);
    else
        FUZZ_CHECK(file->division.ticksPerFrame > 0);

    std::size_t channelEvents = 0;
    std::size_t sysexEvents = 0;
    for (const Track& track : file->tracks) {
        std::uint64_t previous = 0;
        for (const TrackEvent& event : track.events) {
            FUZZ_CHECK(event.tick >= previous);
            previous = event.tick;
            switch (event.kind) {
            case EventKind::Channel:
                FUZZ_CHECK(event.status >= 0x80 && event.status < 0xF0);
                FUZZ_CHECK(event.data1 < 0x80 && event.data2 < 0x80);
                ++channelEvents;
                break;
            case EventKind::SysEx:
                FUZZ_CHECK(event.status == 0xF0 || event.status == 0xF7);
                ++sysexEvents;
                break;
            case EventKind::Meta:
                FUZZ_CHECK(event.status == 0xFF);
                FUZZ_CHECK(event.metaType != kMetaTempo || event.payload.size() == 3);
                break;
            }
        }
        FUZZ_CHECK(track.endTick >= previous);
    }

    const Timeline timeline = buildTimeline(*file);
    FUZZ_CHECK(timeline.events.size() == channelEvents + sysexEvents);
    FUZZ_CHECK(timeline.sysex.size() == sysexEvents);
    std::int64_t previousMicros = 0;
    for (const PlayEvent& event : timeline.events) {
        FUZZ_CHECK(event.micros >= previousMicros);
        previousMicros = event.micros;
        if (event.isSysEx())
            FUZZ_CHECK(event.sysex < timeline.sysex.size());
    }
    FUZZ_CHECK(timeline.lengthMicros >= previousMicros);
    FUZZ_CHECK(timeline.firstAtOrAfter(0) == 0);
    FUZZ_CHECK(timeline.firstAtOrAfter(timeline.lengthMicros + 1) == timeline.events.size());

    FUZZ_CHECK(loaded->events.size() == timeline.events.size() && loaded->lengthMicros == timeline.lengthMicros);
    for (std::size_t i = 0; i < timeline.events.size(); ++i) {
        const PlayEvent& a = loaded->events[i];
        const PlayEvent& b = timeline.events[i];
        FUZZ_CHECK(a.micros == b.micros && a.status == b.status && a.data1 == b.data1 && a.data2 == b.data2);
        if (a.isSysEx())
            FUZZ_CHECK(loaded->sysex[a.sysex] == timeline.sysex[b.sysex]);
    }
    FUZZ_CHECK(facts->format == file->format && facts->tracks == file->tracks.size());
    FUZZ_CHECK(facts->lengthMicros == timeline.lengthMicros && facts->sizeBytes == size);
    return 0;
}
