// quillon-cli make-demo: writes the small songs, ROM image and curves that ship
// in the data folder. Everything is composed here, note by note and byte by
// byte, so the demo data has no other source.
#include "base/core/ReplaceFile.h"
#include "cli/Commands.h"
#include "curve/core/CurveFile.h"
#include "curve/core/VelocityCurve.h"
#include "player/core/SmfWriter.h"

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

namespace quillon::cli {

namespace {

using player::putBigEndian;
using player::putVariableLength;
using Bytes = std::vector<std::uint8_t>;
constexpr int kTicksPerQuarter = 96;

// One track of timed events; notes are written as On/Off pairs in time order.
class Track {
public:
    void meta(std::uint8_t type, const std::string& text)
    {
        event({0xFF, type});
        putVariableLength(m_bytes, static_cast<std::uint32_t>(text.size()));
        m_bytes.insert(m_bytes.end(), text.begin(), text.end());
    }
    void tempo(std::uint32_t microsecondsPerQuarter)
    {
        event({0xFF, 0x51, 0x03});
        putBigEndian(m_bytes, microsecondsPerQuarter, 3);
    }
    void timeSignature(std::uint8_t beats, std::uint8_t powerOfTwo)
    {
        event({0xFF, 0x58, 0x04, beats, powerOfTwo, 24, 8});
    }
    void program(std::uint8_t channel, std::uint8_t number)
    {
        event({static_cast<std::uint8_t>(0xC0 | channel), number});
    }
    void rest(std::uint32_t ticks) { m_pending += ticks; }
    // A chord (one note or several) held for its length, then released.
    void chord(std::uint8_t channel, const std::vector<std::uint8_t>& notes, std::uint32_t ticks, std::uint8_t velocity)
    {
        for (std::uint8_t note : notes)
            event({static_cast<std::uint8_t>(0x90 | channel), note, velocity});
        m_pending += ticks;
        for (std::uint8_t note : notes)
            event({static_cast<std::uint8_t>(0x80 | channel), note, 0x40});
    }
    // Two voices moving together: a melody note above a held bass note.
    void withBass(std::uint8_t melodyNote, std::uint32_t ticks, std::uint8_t bassNote, bool bassStarts, bool bassEnds)
    {
        if (bassStarts)
            event({0x91, bassNote, 70});
        event({0x90, melodyNote, 96});
        m_pending += ticks;
        event({0x80, melodyNote, 0x40});
        if (bassEnds)
            event({0x81, bassNote, 0x40});
    }
    Bytes finish()
    {
        event({0xFF, 0x2F, 0x00});
        return m_bytes;
    }

private:
    void event(std::initializer_list<std::uint8_t> bytes)
    {
        putVariableLength(m_bytes, m_pending);
        m_pending = 0;
        m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    }
    Bytes m_bytes;
    std::uint32_t m_pending = 0;
};

// A Standard MIDI File of format 0: one header, one track.
Bytes formatZeroFile(Track track) { return player::format0File(kTicksPerQuarter, track.finish()); }

Track startTrack(const std::string& name, std::uint32_t tempo, std::uint8_t instrument)
{
    Track track;
    track.meta(0x03, name);
    track.tempo(tempo);
    track.timeSignature(4, 2);
    track.program(0, instrument);
    return track;
}

Bytes scaleSong()
{
    Track track = startTrack("C major scale", 500000, 0);
    const std::uint8_t up[] = {60, 62, 64, 65, 67, 69, 71, 72};
    for (std::uint8_t note : up)
        track.chord(0, {note}, kTicksPerQuarter, 90);
    for (int i = 6; i >= 0; --i)
        track.chord(0, {up[i]}, kTicksPerQuarter, 80);
    track.chord(0, {48, 60, 64, 67}, kTicksPerQuarter * 2, 90);
    return formatZeroFile(track);
}

Bytes arpeggioSong()
{
    Track track = startTrack("Broken chords", 428571, 46); // a harp
    // C, A minor, F, G, each broken upwards and back in eighth notes.
    const std::vector<std::vector<std::uint8_t>> chords = {
        {48, 52, 55, 60}, {45, 48, 52, 57}, {41, 45, 48, 53}, {43, 47, 50, 55}};
    for (int round = 0; round < 2; ++round)
        for (const auto& chord : chords) {
            for (std::uint8_t note : chord)
                track.chord(0, {static_cast<std::uint8_t>(note + 12)}, kTicksPerQuarter / 2, 84);
            for (int i = 2; i >= 1; --i)
                track.chord(0, {static_cast<std::uint8_t>(chord[static_cast<std::size_t>(i)] + 12)},
                            kTicksPerQuarter / 2, 72);
            track.rest(kTicksPerQuarter);
        }
    track.chord(0, {48, 55, 60, 64, 72}, kTicksPerQuarter * 4, 88);
    return formatZeroFile(track);
}

Bytes tuneSong()
{
    Track track = startTrack("Little tune", 600000, 73); // a flute
    track.program(1, 32);                                // over an acoustic bass
    struct Step {
        std::uint8_t melody;
        int eighths;
    };
    // Four bars in G major; each bar rests on one bass note.
    const std::vector<std::vector<Step>> bars = {
        {{67, 2}, {71, 1}, {74, 1}, {72, 2}, {71, 2}},
        {{69, 2}, {72, 1}, {76, 1}, {74, 4}},
        {{71, 1}, {72, 1}, {74, 2}, {69, 2}, {66, 2}},
        {{67, 4}, {62, 2}, {67, 2}},
    };
    const std::uint8_t bass[] = {43, 48, 50, 43};
    for (int repeat = 0; repeat < 2; ++repeat)
        for (std::size_t bar = 0; bar < bars.size(); ++bar)
            for (std::size_t i = 0; i < bars[bar].size(); ++i)
                track.withBass(bars[bar][i].melody,
                               static_cast<std::uint32_t>(bars[bar][i].eighths * kTicksPerQuarter / 2), bass[bar],
                               i == 0, i + 1 == bars[bar].size());
    return formatZeroFile(track);
}

// A small stand-in ROM image: a readable head, then a byte pattern and a checksum.
Bytes demoRomImage()
{
    const std::string head = "QUILLON DEMO ROM IMAGE v1";
    Bytes image(head.begin(), head.end());
    image.resize(4096 - 4, 0);
    std::uint32_t state = 0x2545F491u;
    for (std::size_t i = 64; i < image.size(); ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        image[i] = static_cast<std::uint8_t>(state & 0xFF);
    }
    std::uint32_t sum = 0;
    for (std::uint8_t byte : image)
        sum += byte;
    putBigEndian(image, sum, 4);
    return image;
}

struct DemoCurve {
    const char* name;
    curve::KeyPoints points;
};

const DemoCurve kDemoCurves[] = {
    // Light playing already gives strong notes.
    {"Light touch", {{0, 15, 35, 60, 80, 105, 127}, {0, 40, 70, 92, 108, 120, 127}}},
    // Notes stay soft until the keys are struck hard.
    {"Heavy touch", {{0, 25, 50, 70, 90, 110, 127}, {0, 5, 15, 35, 60, 95, 127}}},
    // A gentle S: quiet and loud ends flattened, the middle steeper.
    {"Even middle", {{0, 20, 40, 64, 88, 108, 127}, {0, 10, 30, 64, 98, 118, 127}}},
};

void makeDemo(CommandContext& context, const std::filesystem::path& root)
{
    std::error_code error;
    for (const char* folder : {"mid", "bin", "crv", "syx", "helpfiles"})
        std::filesystem::create_directories(root / folder, error);
    if (error) {
        reportBadInput(context, "cannot create the folders under " + root.string() + ": " + error.message());
        return;
    }
    const std::pair<const char*, Bytes> files[] = {
        {"mid/C major scale.mid", scaleSong()},
        {"mid/Broken chords.mid", arpeggioSong()},
        {"mid/Little tune.mid", tuneSong()},
        {"bin/Demo ROM.bin", demoRomImage()},
    };
    for (const auto& [name, bytes] : files) {
        if (const Status written = base::replaceFile(root / name, bytes); !written) {
            reportBadInput(context, written.reason());
            return;
        }
        std::cout << (root / name).string() << '\n';
    }
    for (const DemoCurve& demo : kDemoCurves) {
        const curve::StoredCurve stored{curve::computeCurveTable(demo.points), demo.points};
        const auto path = root / "crv" / (std::string(demo.name) + ".crv");
        if (const Status written = curve::writeCurveFile(path, stored); !written) {
            reportBadInput(context, "cannot write " + path.string() + ": " + written.reason());
            return;
        }
        std::cout << path.string() << '\n';
    }
}

} // namespace

void registerDemoCommands(CLI::App& app, CommandContext& context)
{
    auto* command = app.add_subcommand("make-demo", "Write the demo songs, ROM image and curves of the data folder");
    auto root = std::make_shared<std::string>("Quillon");
    command->add_option("--folder", *root, "Data folder to fill (default: Quillon)");
    command->callback([&context, root] { makeDemo(context, *root); });
}

} // namespace quillon::cli
