#include "player/core/Format0Converter.h"

#include "base/core/ReplaceFile.h"
#include "player/core/SmfWriter.h"
#include "player/core/SongFacts.h"
#include "player/core/TrackMerge.h"

#include <algorithm>
#include <string>
#include <system_error>

namespace quillon::player {

namespace {

constexpr int kMaxNameAttempts = 99;

// The header's division word as it stood in the file.
std::uint16_t divisionWord(const Division& division)
{
    if (division.kind == Division::Kind::TicksPerQuarter)
        return division.ticksPerQuarter;
    const auto negativeFps = static_cast<std::uint8_t>(-division.framesPerSecond);
    return static_cast<std::uint16_t>((negativeFps << 8) | (division.ticksPerFrame & 0xFF));
}

bool isEndOfTrack(const TrackEvent& event)
{
    return event.kind == EventKind::Meta && event.metaType == kMetaEndOfTrack;
}

void putEvent(std::vector<std::uint8_t>& out, const TrackEvent& event)
{
    switch (event.kind) {
    case EventKind::Channel:
        // Every message carries its own status byte: no running status.
        out.push_back(event.status);
        out.push_back(event.data1);
        if (channelDataLength(event.status) == 2)
            out.push_back(event.data2);
        break;
    case EventKind::SysEx:
        out.push_back(event.status);
        putVariableLength(out, static_cast<std::uint32_t>(event.payload.size()));
        out.insert(out.end(), event.payload.begin(), event.payload.end());
        break;
    case EventKind::Meta:
        out.push_back(0xFF);
        out.push_back(event.metaType);
        putVariableLength(out, static_cast<std::uint32_t>(event.payload.size()));
        out.insert(out.end(), event.payload.begin(), event.payload.end());
        break;
    }
}

} // namespace

MidiFile mergeToFormat0(const MidiFile& file)
{
    MidiFile merged;
    merged.format = 0;
    merged.division = file.division;
    Track& out = merged.tracks.emplace_back();

    for (const Track& track : file.tracks)
        out.endTick = std::max(out.endTick, track.endTick);

    // Every track's End of Track gives way to the one added below.
    const auto events = mergeTracks(file.tracks, isEndOfTrack);
    out.events.reserve(events.size() + 1);
    for (const TrackEvent* event : events)
        out.events.push_back(*event);

    TrackEvent end;
    end.tick = out.endTick;
    end.kind = EventKind::Meta;
    end.status = 0xFF;
    end.metaType = kMetaEndOfTrack;
    out.events.push_back(std::move(end));
    return merged;
}

Result<std::vector<std::uint8_t>> writeFormat0(const MidiFile& file)
{
    if (file.tracks.size() != 1)
        return fail("a format 0 file holds exactly one track, this one has " + std::to_string(file.tracks.size()));
    const Track& track = file.tracks.front();

    std::vector<std::uint8_t> body;
    body.reserve(track.events.size() * 4 + 4);
    std::uint64_t previous = 0;
    for (const TrackEvent& event : track.events) {
        const std::uint64_t delta = event.tick - previous;
        if (event.tick < previous || delta > kLargestVariableLength)
            return fail("a gap of more than " + std::to_string(kLargestVariableLength) +
                        " ticks cannot be written (at tick " + std::to_string(event.tick) + ")");
        putVariableLength(body, static_cast<std::uint32_t>(delta));
        putEvent(body, event);
        previous = event.tick;
    }
    if (track.events.empty() || !isEndOfTrack(track.events.back())) {
        const std::uint64_t end = std::max(previous, track.endTick);
        if (end - previous > kLargestVariableLength)
            return fail("the track ends too long after its last event to be written");
        putVariableLength(body, static_cast<std::uint32_t>(end - previous));
        body.insert(body.end(), {0xFF, kMetaEndOfTrack, 0x00});
    }
    if (body.size() > 0xFFFFFFFFu)
        return fail("the merged track is longer than a MIDI file can hold");

    return format0File(divisionWord(file.division), body);
}

Result<std::vector<std::uint8_t>> convertToFormat0(std::span<const std::uint8_t> smf)
{
    auto file = readMidiFile(smf);
    if (!file)
        return fail(file.reason());
    return writeFormat0(mergeToFormat0(*file));
}

Result<std::filesystem::path> format0TargetPath(const std::filesystem::path& original)
{
    const std::string stem = original.stem().string();
    if (stem.empty())
        return fail("\"" + original.string() + "\" names no file");
    std::string extension = original.extension().string();
    if (extension.empty())
        extension = ".mid";
    const std::filesystem::path folder = original.parent_path();
    for (int attempt = 1; attempt <= kMaxNameAttempts; ++attempt) {
        std::string name = stem + "-0";
        if (attempt > 1)
            name += "-" + std::to_string(attempt);
        const std::filesystem::path candidate = folder / (name + extension);
        // A dangling link counts as taken: writing through it would put the song elsewhere.
        std::error_code error;
        const auto status = std::filesystem::symlink_status(candidate, error);
        if (status.type() == std::filesystem::file_type::not_found)
            return candidate;
        if (error)
            return fail("cannot look at \"" + candidate.string() + "\": " + error.message());
    }
    return fail("every name from \"" + stem + "-0" + extension + "\" to \"" + stem + "-0-" +
                std::to_string(kMaxNameAttempts) + extension + "\" is taken");
}

Result<std::filesystem::path> convertSongBeside(const std::filesystem::path& original)
{
    const auto bytes = readSongBytes(original);
    if (!bytes)
        return fail(bytes.reason());
    auto converted = convertToFormat0(*bytes);
    if (!converted)
        return fail(original.filename().string() + ": " + converted.reason());
    auto target = format0TargetPath(original);
    if (!target)
        return fail(target.reason());
    auto written = base::replaceFile(*target, *converted, base::Existing::Keep);
    if (!written)
        return fail(written.reason());
    return *target;
}

} // namespace quillon::player
