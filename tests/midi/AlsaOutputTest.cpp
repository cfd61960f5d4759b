// What the ALSA routes hand to ALSA: every message of ours in one piece, byte for byte.
#include "midi/io/AlsaOutput.h"
#include "midi/core/DeviceFrame.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace quillon;
using namespace quillon::midi;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Events : SequencerSink {
    std::vector<std::pair<int, Bytes>>* out;
    explicit Events(std::vector<std::pair<int, Bytes>>* out) : out(out) {}
    int output(snd_seq_event_t& event) override
    {
        const bool variable = snd_seq_ev_is_variable(&event);
        const auto* data = static_cast<const std::uint8_t*>(event.data.ext.ptr);
        out->emplace_back(event.type, variable ? Bytes(data, data + event.data.ext.len) : Bytes{event.data.note.note});
        return 0;
    }
};

// A device that takes at most 100 bytes per write, as a full buffer does.
struct Writes : RawMidiSink {
    std::vector<Bytes>* out;
    explicit Writes(std::vector<Bytes>* out) : out(out) {}
    long write(std::span<const std::uint8_t> bytes) override
    {
        out->emplace_back(bytes.begin(), bytes.begin() + std::min<std::size_t>(bytes.size(), 100));
        return static_cast<long>(out->back().size());
    }
    int drain() override
    {
        out->push_back({}); // marks the drain
        return 0;
    }
};

Bytes dataBlock()
{
    Bytes packed(1024);
    std::iota(packed.begin(), packed.end(), 0);
    for (auto& byte : packed)
        byte &= 0x7F;
    return frame::buildDataBlock(frame::kKindSongHeader, 0, packed);
}

} // namespace

// A data block, the longest message there is, in one event or in writes of a full buffer's size.
TEST(AlsaOutput, EachMessageLeavesAsOneSysExEventOrOneDrainedWriteOfExactlyItsBytes)
{
    const Bytes block = dataBlock();
    std::vector<std::pair<int, Bytes>> blockEvents;
    ASSERT_EQ(sequencerOutput(std::make_unique<Events>(&blockEvents))->send(block), SendResult::Sent);
    EXPECT_EQ(blockEvents, (std::vector<std::pair<int, Bytes>>{{SND_SEQ_EVENT_SYSEX, block}}));

    std::vector<Bytes> writes;
    ASSERT_EQ(rawMidiOutput(std::make_unique<Writes>(&writes))->send(block), SendResult::Sent);
    ASSERT_FALSE(writes.empty());
    EXPECT_TRUE(writes.back().empty()) << "drained after the last write";
    Bytes written;
    for (const auto& part : writes)
        written.insert(written.end(), part.begin(), part.end());
    EXPECT_EQ(written, block);
    // The player's notes still go out as note events.
    std::vector<std::pair<int, Bytes>> events;
    EXPECT_EQ(sequencerOutput(std::make_unique<Events>(&events))->send(Bytes{0x90, 60, 100}), SendResult::Sent);
    EXPECT_EQ(events, (std::vector<std::pair<int, Bytes>>{{SND_SEQ_EVENT_NOTEON, {60}}}));
}

TEST(AlsaOutput, RawInputBytesBecomeShortMessagesAndSysExIsSkipped)
{
    ShortMessageParser parser;
    std::vector<std::uint32_t> messages;
    const auto keep = [&](std::uint32_t packed) { messages.push_back(packed); };
    // Ready, then song block done in running status, a SysEx with a status byte inside, a clock tick, a Note Off split
    // across reads.
    parser.feed(Bytes{0x90, 0x36, 0x7F, 0x35, 0x7F, 0xF0, 0x01, 0x89, 0x02, 0xF7, 0x02, 0xF8, 0x80}, keep);
    parser.feed(Bytes{0x36, 0x00}, keep);
    EXPECT_EQ(messages, (std::vector<std::uint32_t>{0x7F3690, 0x7F3590, 0xF8, 0x003680}));
}
