#include "midi/core/KeyboardModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace quillon;
using frame::Bytes;
using frame::Reply;
using keyboard::ErrorKind;
using keyboard::KeyboardModel;

namespace {

Bytes randomBytes(std::size_t length, unsigned seed)
{
    std::mt19937 rng(seed);
    Bytes out(length);
    for (auto& b : out)
        b = static_cast<std::uint8_t>(rng());
    return out;
}

// Drives the model the way a well-behaved sender does.
struct Session {
    KeyboardModel model;

    std::optional<Reply> send(const Bytes& message) { return model.feed(message).reply; }

    void sendSong(std::uint8_t slot, const Bytes& file)
    {
        const Bytes packed = frame::pack7(file);
        const unsigned blocks = frame::blockCount(packed.size());
        const auto afterHeader = send(frame::buildSongHeader(slot, blocks));
        ASSERT_EQ(afterHeader, blocks == 0 ? Reply::SongDone : Reply::SongBlockDone);
        for (unsigned i = 0; i < blocks; ++i) {
            const auto reply = send(frame::buildDataBlock(1, i, frame::blockBytes(packed, i)));
            ASSERT_EQ(reply, i + 1 == blocks ? Reply::SongDone : Reply::SongBlockDone) << "block " << i;
        }
    }
};

Bytes curveMessage(std::span<const std::uint8_t> table)
{
    return frame::buildMessage(
        {frame::kFamilyControl, frame::kKindCurve, 0x01, frame::kRomTarget, 1, frame::kCommandControl}, table);
}

} // namespace

// A control message opens a transfer with the ready reply and closes it again without one.
// (The fault suite stores ROM images through the model.)
TEST(KeyboardModelTransfers, SongsStoredByteExactInTheirSlots)
{
    Session s;
    const Bytes small = randomBytes(100, 1), large = randomBytes(9000, 3);
    ASSERT_EQ(s.send(frame::buildTransferControl()), Reply::Ready);
    s.sendSong(5, small);
    s.sendSong(28, large);
    s.sendSong(5, large); // a slot given twice keeps the later song
    s.sendSong(3, {});    // no blocks: done straight after its header
    EXPECT_EQ(s.send(frame::buildTransferControl()), std::nullopt);
    EXPECT_FALSE(s.model.transferOpen());
    EXPECT_EQ(s.model.songs(), (std::map<int, Bytes>{{3, {}}, {5, large}, {28, large}}));
    EXPECT_TRUE(s.model.errors().empty());
    EXPECT_EQ(s.send(frame::buildTransferControl()), Reply::Ready); // and a new one opens
}

// Messages a broken sender gives: the last `unanswered` go without a reply and
// exactly these errors are recorded, nothing more is stored.
TEST(KeyboardModelErrors, BrokenFramesAndSequencesAreRecordedAndUnanswered)
{
    using enum ErrorKind;
    const Bytes packed = frame::pack7(randomBytes(1500, 5)); // 2 blocks
    const Bytes control = frame::buildTransferControl(), romHeader = frame::buildRomHeader(1);
    const auto header = [](int slot, unsigned blocks) { return frame::buildSongHeader(slot, blocks); };
    const auto block = [&](unsigned index, unsigned from) {
        return frame::buildDataBlock(1, index, frame::blockBytes(packed, from));
    };
    const auto zeros = [](std::size_t length) { return frame::buildDataBlock(1, 0, Bytes(length, 0)); };
    const auto changed = [](Bytes message, std::size_t at, std::uint8_t value) {
        message.at(at) = value;
        return message;
    };
    const struct {
        const char* name;
        std::vector<Bytes> messages;
        std::size_t unanswered;
        std::vector<ErrorKind> errors;
        std::size_t songsStored = 0;
    } cases[] = {
        {"too short", {Bytes(control.begin(), control.begin() + 10)}, 1, {MalformedFrame}},
        {"manufacturer", {changed(control, 3, 0x64)}, 1, {MalformedFrame}},
        {"unknown kind", {changed(control, frame::kOffKind, 0x09)}, 1, {MalformedFrame}},
        {"8-bit payload", {changed(zeros(4), 14, 0x81)}, 1, {MalformedFrame}},
        {"slot 29", {header(29, 1)}, 1, {MalformedFrame}},
        {"short curve", {curveMessage(Bytes(127, 0))}, 1, {MalformedFrame}},
        // A block after the announced ones.
        {"too many blocks", {control, header(1, 1), block(0, 1), block(1, 1)}, 1, {BlockCountMismatch}, 1},
        // The next header (or the closing control message) comes early.
        {"too few blocks", {control, header(1, 2), block(0, 0), header(2, 1), control}, 2, {BlockCountMismatch}},
        // A short block before the last one cannot be right either.
        {"short block", {control, header(1, 2), zeros(10)}, 1, {MalformedFrame}},
        // Outside a transfer.
        {"outside", {header(1, 1), romHeader, control, zeros(3)}, 1, {OutOfSequence, OutOfSequence, OutOfSequence}},
        {"ROM block with song target", {control, romHeader, zeros(8)}, 1, {MalformedFrame}},
    };
    for (const auto& c : cases) {
        KeyboardModel model;
        std::vector<keyboard::Reaction> reactions;
        for (const Bytes& message : c.messages)
            reactions.push_back(model.feed(message));
        for (std::size_t i = c.messages.size() - c.unanswered; i < c.messages.size(); ++i)
            EXPECT_EQ(reactions[i].reply, std::nullopt) << c.name << " message " << i;
        const auto flagged = std::count_if(reactions.begin(), reactions.end(), [](const auto& r) { return r.error; });
        EXPECT_EQ(static_cast<std::size_t>(flagged), c.errors.size()) << c.name;
        std::vector<ErrorKind> kinds;
        for (const auto& error : model.errors())
            kinds.push_back(error.kind);
        EXPECT_EQ(kinds, c.errors) << c.name;
        EXPECT_EQ(model.songs().size(), c.songsStored) << c.name;
        EXPECT_FALSE(model.romImage().has_value()) << c.name;
    }
}
