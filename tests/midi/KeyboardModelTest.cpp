#include "midi/core/KeyboardModel.h"

#include <gtest/gtest.h>

#include <numeric>
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

// Drives the model the way a well-behaved sender does and collects every reply.
struct Session {
    KeyboardModel model;
    std::vector<std::optional<Reply>> replies;

    std::optional<Reply> send(const Bytes& message)
    {
        auto reaction = model.feed(message);
        replies.push_back(reaction.reply);
        return reaction.reply;
    }

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

Bytes curveMessage(const keyboard::CurveTable& table)
{
    return frame::buildMessage(
        {frame::kFamilyControl, frame::kKindCurve, 0x01, frame::kRomTarget, 1, frame::kCommandControl}, table);
}

} // namespace

TEST(KeyboardModelHandshake, ControlOpensWithReadyAndClosesSilently)
{
    Session s;
    EXPECT_EQ(s.send(frame::buildTransferControl()), Reply::Ready);
    EXPECT_TRUE(s.model.transferOpen());
    EXPECT_EQ(s.send(frame::buildTransferControl()), std::nullopt);
    EXPECT_FALSE(s.model.transferOpen());
    EXPECT_EQ(s.send(frame::buildTransferControl()), Reply::Ready);
    EXPECT_TRUE(s.model.errors().empty());
}

TEST(KeyboardModelSongs, SeveralSongsStoredByteExactInTheirSlots)
{
    Session s;
    const Bytes small = randomBytes(100, 1);
    const Bytes exactTwoBlocks(1792, 0xFF); // packs to exactly 2048 bytes
    const Bytes large = randomBytes(9000, 3);
    ASSERT_EQ(s.send(frame::buildTransferControl()), Reply::Ready);
    s.sendSong(5, small);
    s.sendSong(1, exactTwoBlocks);
    s.sendSong(28, large);
    s.sendSong(5, large); // a slot given twice keeps the later song
    EXPECT_EQ(s.send(frame::buildTransferControl()), std::nullopt);

    EXPECT_TRUE(s.model.errors().empty());
    ASSERT_EQ(s.model.songs().size(), 3u);
    EXPECT_EQ(s.model.song(1), exactTwoBlocks);
    EXPECT_EQ(s.model.song(28), large);
    EXPECT_EQ(s.model.song(5), large);
    EXPECT_EQ(s.model.song(2), std::nullopt);
}

TEST(KeyboardModelSongs, ZeroBlockSongIsDoneStraightAfterItsHeader)
{
    Session s;
    s.send(frame::buildTransferControl());
    EXPECT_EQ(s.send(frame::buildSongHeader(3, 0)), Reply::SongDone);
    ASSERT_TRUE(s.model.song(3).has_value());
    EXPECT_TRUE(s.model.song(3)->empty());
}

TEST(KeyboardModelRom, ImageStoredWithBlockDoneRepliesButNoneAfterTheLast)
{
    Session s;
    const Bytes image = randomBytes(10000, 9); // 12 blocks, the last of 165 bytes
    const Bytes packed = frame::pack7(image);
    ASSERT_EQ(s.send(frame::buildTransferControl()), Reply::Ready);
    EXPECT_EQ(s.send(frame::buildRomHeader(12)), Reply::RomBlockDone);
    for (unsigned i = 0; i < 12; ++i) {
        const auto reply = s.send(frame::buildDataBlock(frame::kRomTarget, i, frame::blockBytes(packed, i)));
        EXPECT_EQ(reply, i == 11 ? std::nullopt : std::optional(Reply::RomBlockDone)) << "block " << i;
    }
    ASSERT_TRUE(s.model.romImage().has_value());
    EXPECT_EQ(*s.model.romImage(), image);
    EXPECT_TRUE(s.model.errors().empty());
    // The update needs no closing message: the next control message opens a new transfer.
    EXPECT_EQ(s.send(frame::buildTransferControl()), Reply::Ready);
}

TEST(KeyboardModelCurve, LastCurveKeptWithoutReply)
{
    Session s;
    keyboard::CurveTable identity{};
    std::iota(identity.begin(), identity.end(), 0);
    keyboard::CurveTable flat{};
    flat.fill(0x7F);
    EXPECT_EQ(s.send(curveMessage(identity)), std::nullopt);
    EXPECT_EQ(s.model.curve(), identity);
    EXPECT_EQ(s.send(curveMessage(flat)), std::nullopt);
    EXPECT_EQ(s.model.curve(), flat);
    EXPECT_TRUE(s.model.errors().empty());
}

TEST(KeyboardModelErrors, MalformedFramesAreRecordedAndUnanswered)
{
    const Bytes good = frame::buildTransferControl();
    std::vector<std::pair<std::string, Bytes>> cases;
    cases.push_back({"too short", Bytes(good.begin(), good.begin() + 10)});
    Bytes noStart = good;
    noStart[0] = 0xF1;
    cases.push_back({"no start", noStart});
    Bytes noEnd = good;
    noEnd.back() = 0x7F;
    cases.push_back({"no end", noEnd});
    Bytes otherMaker = good;
    otherMaker[3] = 0x64;
    cases.push_back({"manufacturer", otherMaker});
    Bytes badHead = good;
    badHead[4] = 0x01;
    cases.push_back({"head", badHead});
    Bytes unknownKind = good;
    unknownKind[frame::kOffKind] = 0x09;
    cases.push_back({"unknown kind", unknownKind});
    Bytes eightBit = frame::buildDataBlock(1, 0, Bytes(4, 0x01));
    eightBit[14] = 0x81;
    cases.push_back({"8-bit payload", eightBit});
    cases.push_back({"slot 29", frame::buildSongHeader(29, 1)});
    cases.push_back({"short curve", frame::buildMessage({2, 5, 1, 0x18, 1, 0x29}, Bytes(127, 0))});

    for (const auto& [name, message] : cases) {
        KeyboardModel model;
        const auto reaction = model.feed(message);
        EXPECT_EQ(reaction.reply, std::nullopt) << name;
        EXPECT_TRUE(reaction.error) << name;
        ASSERT_EQ(model.errors().size(), 1u) << name;
        EXPECT_EQ(model.errors()[0].kind, ErrorKind::MalformedFrame) << name;
        EXPECT_FALSE(model.transferOpen()) << name;
    }
}

TEST(KeyboardModelErrors, BlockOutOfOrderStallsUntilTheExpectedBlockComes)
{
    Session s;
    const Bytes file = randomBytes(2000, 4); // 3 blocks
    const Bytes packed = frame::pack7(file);
    s.send(frame::buildTransferControl());
    s.send(frame::buildSongHeader(2, 3));
    EXPECT_EQ(s.send(frame::buildDataBlock(1, 1, frame::blockBytes(packed, 1))), std::nullopt);
    ASSERT_EQ(s.model.errors().size(), 1u);
    EXPECT_EQ(s.model.errors()[0].kind, ErrorKind::BlockOutOfOrder);
    for (unsigned i = 0; i < 3; ++i)
        s.send(frame::buildDataBlock(1, i, frame::blockBytes(packed, i)));
    EXPECT_EQ(s.replies.back(), Reply::SongDone);
    EXPECT_EQ(s.model.song(2), file);
}

TEST(KeyboardModelErrors, BlockCountDisagreeingWithHeaderIsRecorded)
{
    const Bytes packed = frame::pack7(randomBytes(1500, 5)); // 2 blocks

    // Too many: a block after the announced ones.
    Session more;
    more.send(frame::buildTransferControl());
    more.send(frame::buildSongHeader(1, 1));
    more.send(frame::buildDataBlock(1, 0, frame::blockBytes(packed, 1)));
    EXPECT_EQ(more.send(frame::buildDataBlock(1, 1, frame::blockBytes(packed, 1))), std::nullopt);
    ASSERT_EQ(more.model.errors().size(), 1u);
    EXPECT_EQ(more.model.errors()[0].kind, ErrorKind::BlockCountMismatch);

    // Too few: the next header (or the closing control message) comes early.
    Session fewer;
    fewer.send(frame::buildTransferControl());
    fewer.send(frame::buildSongHeader(1, 2));
    fewer.send(frame::buildDataBlock(1, 0, frame::blockBytes(packed, 0)));
    EXPECT_EQ(fewer.send(frame::buildSongHeader(2, 1)), std::nullopt);
    EXPECT_EQ(fewer.send(frame::buildTransferControl()), std::nullopt);
    ASSERT_EQ(fewer.model.errors().size(), 1u);
    EXPECT_EQ(fewer.model.errors()[0].kind, ErrorKind::BlockCountMismatch);
    EXPECT_FALSE(fewer.model.song(1).has_value());

    // A short block before the last one cannot be right either.
    Session shortBlock;
    shortBlock.send(frame::buildTransferControl());
    shortBlock.send(frame::buildSongHeader(1, 2));
    EXPECT_EQ(shortBlock.send(frame::buildDataBlock(1, 0, Bytes(10, 0))), std::nullopt);
    ASSERT_EQ(shortBlock.model.errors().size(), 1u);
    EXPECT_EQ(shortBlock.model.errors()[0].kind, ErrorKind::MalformedFrame);
}

TEST(KeyboardModelErrors, HeadersAndBlocksOutsideATransferAreOutOfSequence)
{
    KeyboardModel model;
    EXPECT_EQ(model.feed(frame::buildSongHeader(1, 1)).reply, std::nullopt);
    EXPECT_EQ(model.feed(frame::buildRomHeader(1)).reply, std::nullopt);
    EXPECT_EQ(model.feed(frame::buildTransferControl()).reply, Reply::Ready);
    EXPECT_EQ(model.feed(frame::buildDataBlock(1, 0, Bytes(3, 0))).reply, std::nullopt);
    ASSERT_EQ(model.errors().size(), 3u);
    for (const auto& error : model.errors())
        EXPECT_EQ(error.kind, ErrorKind::OutOfSequence) << error.detail;
    EXPECT_TRUE(model.songs().empty());
}

TEST(KeyboardModelErrors, RomBlockWithSongTargetIsRejected)
{
    KeyboardModel model;
    model.feed(frame::buildTransferControl());
    model.feed(frame::buildRomHeader(1));
    EXPECT_EQ(model.feed(frame::buildDataBlock(1, 0, Bytes(8, 0))).reply, std::nullopt);
    ASSERT_EQ(model.errors().size(), 1u);
    EXPECT_EQ(model.errors()[0].kind, ErrorKind::MalformedFrame);
    EXPECT_FALSE(model.romImage().has_value());
}
