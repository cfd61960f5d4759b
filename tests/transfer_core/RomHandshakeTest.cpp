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
        return store.started(romImage("image.bin"));
    }
};

// 10,000 bytes pack to 11,429: eleven full blocks and a short one, Close relabelled "Ok";
// 7,168 bytes pack to exactly 8,192: the last block is full and Close reads upper-case "OK".
TEST_F(RomHandshake, ImagesGoOutOneBlockPerReplyThenFinishWithoutAClosingMessage)
{
    const struct {
        std::size_t length;
        unsigned blocks;
        std::size_t lastBlock;
        const char* closeLabel;
    } cases[] = {{10000, 12, 165, "Ok"}, {7168, 8, 1024, "OK"}};
    for (const auto& c : cases) {
        auto handshake = started(c.length);
        const Actions ready = reply(handshake, Reply::Ready);
        EXPECT_EQ(statuses(ready), std::vector<std::string>{std::string(text::kStatusUpdatingRom)});
        EXPECT_EQ(sent(ready), std::vector<Bytes>{frame::buildRomHeader(c.blocks)});
        EXPECT_EQ(all<SetProgressRange>(ready).at(0).maximum, c.blocks);

        std::vector<Bytes> blocks;
        Actions last;
        while (blocks.size() < c.blocks && !(last = reply(handshake, Reply::RomBlockDone)).empty())
            blocks.push_back(sent(last).at(0));
        ASSERT_EQ(blocks.size(), c.blocks);
        for (unsigned i = 0; i < c.blocks; ++i) {
            EXPECT_EQ(target(blocks[i]), 24u);
            EXPECT_EQ(number(blocks[i]), i);
            EXPECT_EQ(payloadLength(blocks[i]), i + 1 < c.blocks ? 1024u : c.lastBlock);
        }
        EXPECT_EQ(positions(last), std::vector<unsigned>{c.blocks});
        EXPECT_EQ(statuses(last), std::vector<std::string>{std::string(text::kStatusSucceeded)});
        EXPECT_EQ(all<CloseInput>(last).size(), 1u);
        EXPECT_EQ(all<RelabelClose>(last).at(0).text, c.closeLabel);
        EXPECT_EQ(all<Finished>(last).size(), 1u);
        EXPECT_EQ(sent(last).size(), 1u); // the last block only: no closing control message
        EXPECT_TRUE(handshake.isFinished());
    }
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
