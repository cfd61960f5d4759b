// ROM image updates: one image, one reply kind per block, no closing control message.
#include "HandshakeTestSupport.h"

#include "base/core/Messages.h"

#include <gtest/gtest.h>

using namespace quillon;
using namespace quillon::transfer;
using namespace quillon::transfer::testing;
using frame::Reply;

namespace {

// 10,000 bytes pack to 11,429: eleven full blocks and a short one, Close relabelled "Ok";
// 7,168 bytes pack to exactly 8,192: the last block is full and Close reads upper-case "OK".
// Replies of the song kind, a block reply before the announcement and a repeated ready
// reply change nothing: an update under way never starts over.
TEST(RomHandshake, ImagesGoOutOneBlockPerReplyThenFinishWithoutAClosingMessage)
{
    const struct {
        std::size_t length;
        unsigned blocks;
        std::size_t lastBlock;
        const char* closeLabel;
    } cases[] = {{10000, 12, 165, "Ok"}, {7168, 8, 1024, "OK"}};
    for (const auto& c : cases) {
        FileStore store;
        store.files["image.bin"] = fileData(c.length);
        auto handshake = store.started(romImage("image.bin"));
        EXPECT_TRUE(reply(handshake, Reply::RomBlockDone).empty());
        const Actions ready = reply(handshake, Reply::Ready);
        EXPECT_EQ(statuses(ready), std::vector<std::string>{std::string(text::kStatusUpdatingRom)});
        EXPECT_EQ(sent(ready), std::vector<Bytes>{frame::buildRomHeader(c.blocks)});
        EXPECT_EQ(all<SetProgressRange>(ready).at(0).maximum, c.blocks);

        std::vector<Bytes> blocks;
        Actions last;
        while (blocks.size() < c.blocks && !(last = reply(handshake, Reply::RomBlockDone)).empty()) {
            blocks.push_back(sent(last).at(0));
            for (const Reply other : {Reply::Ready, Reply::SongBlockDone, Reply::SongDone})
                EXPECT_TRUE(handshake.isFinished() || reply(handshake, other).empty())
                    << "after block " << blocks.size();
        }
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
        EXPECT_EQ(store.reads.size(), 1u);
    }
}

} // namespace
