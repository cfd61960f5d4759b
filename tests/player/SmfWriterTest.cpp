// The MIDI file writing pieces: exact bytes at every encoding boundary, and a
// written single-track file as the reader sees it.
#include "player/core/SmfWriter.h"
#include "player/core/MidiFile.h"

#include <gtest/gtest.h>

#include <utility>

using namespace quillon::player;

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(SmfWriter, VariableLengthQuantitiesAtEveryGroupBoundary)
{
    const std::pair<std::uint32_t, Bytes> cases[] = {
        {0, {0x00}},
        {0x7F, {0x7F}},
        {0x80, {0x81, 0x00}},
        {0x2000, {0xC0, 0x00}},
        {0x3FFF, {0xFF, 0x7F}},
        {0x4000, {0x81, 0x80, 0x00}},
        {0x1FFFFF, {0xFF, 0xFF, 0x7F}},
        {0x200000, {0x81, 0x80, 0x80, 0x00}},
        {kLargestVariableLength, {0xFF, 0xFF, 0xFF, 0x7F}},
        {0x10000000, {0x81, 0x80, 0x80, 0x80, 0x00}},
        {0xFFFFFFFF, {0x8F, 0xFF, 0xFF, 0xFF, 0x7F}},
    };
    for (const auto& [value, expected] : cases) {
        Bytes out{0xAA}; // bytes already there stay in front
        putVariableLength(out, value);
        Bytes withPrefix{0xAA};
        withPrefix.insert(withPrefix.end(), expected.begin(), expected.end());
        EXPECT_EQ(out, withPrefix) << "value " << value;
    }
}

TEST(SmfWriter, BigEndianWritesTheLowBytesOfTheGivenWidth)
{
    Bytes out;
    putBigEndian(out, 0x12345678, 4);
    putBigEndian(out, 0x07A120, 3);
    putBigEndian(out, 0x12345678, 2);
    putBigEndian(out, 0x1FF, 1);
    EXPECT_EQ(out, (Bytes{0x12, 0x34, 0x56, 0x78, 0x07, 0xA1, 0x20, 0x56, 0x78, 0xFF}));
}

TEST(SmfWriter, Format0FileIsReadBackWithItsDivisionAndEvents)
{
    Bytes body;
    putVariableLength(body, 0);
    body.insert(body.end(), {0x90, 60, 100});
    putVariableLength(body, 200); // two-byte delta
    body.insert(body.end(), {0x80, 60, 0});
    putVariableLength(body, 0x4000); // three-byte delta
    body.insert(body.end(), {0xFF, 0x2F, 0x00});

    const Bytes file = format0File(480, body);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 22),
              (Bytes{'M', 'T',  'h',  'd', 0,   0,   0,   6, 0, 0, 0,
                     1,   0x01, 0xE0, 'M', 'T', 'r', 'k', 0, 0, 0, static_cast<std::uint8_t>(body.size())}));
    auto read = readMidiFile(file);
    ASSERT_TRUE(read.ok()) << read.reason();
    EXPECT_EQ(read->format, 0);
    EXPECT_EQ(read->division.kind, Division::Kind::TicksPerQuarter);
    EXPECT_EQ(read->division.ticksPerQuarter, 480);
    ASSERT_EQ(read->tracks.size(), 1u);
    const auto& events = read->tracks[0].events;
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].tick, 0u);
    EXPECT_EQ(events[1].tick, 200u);
    EXPECT_EQ(events[1].status, 0x80);
    EXPECT_EQ(read->tracks[0].endTick, 200u + 0x4000u);

    // An SMPTE division word (25 frames per second, 40 ticks per frame) is written as given.
    auto smpte = readMidiFile(format0File(0xE728, body));
    ASSERT_TRUE(smpte.ok()) << smpte.reason();
    EXPECT_EQ(smpte->division.kind, Division::Kind::Smpte);
    EXPECT_EQ(smpte->division.framesPerSecond, 25);
    EXPECT_EQ(smpte->division.ticksPerFrame, 40);
}

} // namespace
