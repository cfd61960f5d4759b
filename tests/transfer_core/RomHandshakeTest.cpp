// ROM image updates: one image, one reply kind per block, no closing control message.
#include "HandshakeTestSupport.h"

#include "base/core/Messages.h"

#include <gtest/gtest.h>

using namespace quillon;
using namespace quillon::transfer;
using namespace quillon::transfer::testing;
using frame::Reply;

namespace {

class RomHandshake : public ::testing::Test {
protected:
    FileStore store;

    TransferHandshake started(std::size_t imageLength)
    {
        store.files["image.bin"] = fileData(imageLength);
        TransferHandshake handshake(romImage("image.bin"), store.reader());
        EXPECT_TRUE(handshake.start().ok());
        return handshake;
    }

    // Sends every block; returns the actions of the last reply and the blocks sent.
    Actions sendAllBlocks(TransferHandshake& handshake, std::vector<Bytes>& blocks)
    {
        Actions last;
        for (unsigned i = 0; i < handshake.blockCount(); ++i) {
            last = reply(handshake, Reply::RomBlockDone);
            for (auto& message : sent(last))
                blocks.push_back(message);
        }
        return last;
    }
};

TEST_F(RomHandshake, TenThousandBytesGoOutAsElevenFullBlocksAndAShortOne)
{
    auto handshake = started(10000);
    const Actions ready = reply(handshake, Reply::Ready);
    EXPECT_EQ(statuses(ready), std::vector<std::string>{std::string(text::kStatusUpdatingRom)});
    const Bytes header{0xF0, 0x00, 0x20, 0x63, 0x00, 0x01, 0x00, 0x04, 0x00, 0x18, 0x00, 0x0C, 0x29, 0xF7};
    EXPECT_EQ(sent(ready), std::vector<Bytes>{header});
    EXPECT_EQ(all<SetProgressRange>(ready).at(0).maximum, 12u);

    std::vector<Bytes> blocks;
    const Actions last = sendAllBlocks(handshake, blocks);
    ASSERT_EQ(blocks.size(), 12u);
    for (unsigned i = 0; i < 12; ++i) {
        EXPECT_EQ(target(blocks[i]), 24u);
        EXPECT_EQ(number(blocks[i]), i);
        EXPECT_EQ(payloadLength(blocks[i]), i < 11 ? 1024u : 165u);
    }
    EXPECT_EQ(positions(last), std::vector<unsigned>{12});
    EXPECT_EQ(statuses(last), std::vector<std::string>{std::string(text::kStatusSucceeded)});
    EXPECT_EQ(all<CloseInput>(last).size(), 1u);
    EXPECT_EQ(all<RelabelClose>(last).at(0).text, "Ok");
    EXPECT_EQ(all<Finished>(last).size(), 1u);
    EXPECT_EQ(sent(last).size(), 1u); // the last block only: no closing control message
    EXPECT_TRUE(handshake.isFinished());
}

TEST_F(RomHandshake, ImageEndingOnAFullBlockRelabelsCloseAsUpperCaseOK)
{
    auto handshake = started(7168); // packs to 8,192 bytes
    reply(handshake, Reply::Ready);
    std::vector<Bytes> blocks;
    const Actions last = sendAllBlocks(handshake, blocks);
    ASSERT_EQ(blocks.size(), 8u);
    EXPECT_EQ(payloadLength(blocks.back()), 1024u);
    EXPECT_EQ(all<RelabelClose>(last).at(0).text, "OK");
}

TEST_F(RomHandshake, RepliesOutsideTheUpdateChangeNothing)
{
    auto handshake = started(3000);
    EXPECT_TRUE(reply(handshake, Reply::RomBlockDone).empty()); // not announced yet
    EXPECT_EQ(handshake.blockIndex(), 0);
    EXPECT_EQ(sent(reply(handshake, Reply::Ready)).size(), 1u);
    EXPECT_EQ(number(sent(reply(handshake, Reply::RomBlockDone)).at(0)), 0u);

    EXPECT_TRUE(reply(handshake, Reply::Ready).empty()); // no restart
    EXPECT_TRUE(reply(handshake, Reply::SongBlockDone).empty());
    EXPECT_TRUE(reply(handshake, Reply::SongDone).empty());
    EXPECT_EQ(handshake.blockIndex(), 1);
    EXPECT_EQ(store.reads.size(), 1u);
    EXPECT_EQ(number(sent(reply(handshake, Reply::RomBlockDone)).at(0)), 1u);
}

} // namespace
