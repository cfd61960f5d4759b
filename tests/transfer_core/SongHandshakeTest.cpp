// Song transfers driven reply by reply, as the keyboard paces them.
#include "HandshakeTestSupport.h"

#include "base/core/Messages.h"
#include "transfer/core/TransferReport.h"

#include <gtest/gtest.h>

using namespace quillon;
using namespace quillon::transfer;
using namespace quillon::transfer::testing;
using frame::Reply;

namespace {

class SongHandshake : public ::testing::Test {
protected:
    FileStore store;
};

// A song of a given raw length walked to its end: its packed length decides the block lengths.
struct SongWalk {
    std::size_t rawLength;
    int slot;
    std::vector<std::size_t> blockLengths;
};

class OneSong : public SongHandshake, public ::testing::WithParamInterface<SongWalk> {};

TEST_P(OneSong, GoesOutOneBlockPerReplyThenFinishes)
{
    const SongWalk& walk = GetParam();
    const Bytes data = fileData(walk.rawLength);
    store.files["a.mid"] = data;
    auto handshake = store.started(songs({{"a.mid", walk.slot}}));
    const auto blocks = static_cast<unsigned>(walk.blockLengths.size());

    // Only Note Ons with a known note count: not a Note Off, another channel, an unknown
    // note, the ROM reply or a message too short; a ready reply of velocity 0 still counts.
    for (const Bytes& ignored :
         std::vector<Bytes>{{0x80, 54, 64}, {0x91, 54, 64}, {0x90, 52, 64}, {0x90, 51, 64}, {0x90}})
        EXPECT_TRUE(handshake.onMidiMessage(ignored).empty());
    const Actions ready = handshake.onMidiMessage(Bytes{0x90, 54, 0});
    EXPECT_EQ(statuses(ready), std::vector<std::string>{std::string(text::kStatusSendingSongs)});
    EXPECT_EQ(sent(ready), std::vector<Bytes>{frame::buildSongHeader(walk.slot, blocks)});
    EXPECT_EQ(each(ready, &SetProgressRange::maximum), std::vector<unsigned>{blocks});
    EXPECT_EQ(positions(ready), std::vector<unsigned>{0});

    Bytes payloads;
    for (unsigned block = 0; block < blocks; ++block) {
        const Actions actions = reply(handshake, Reply::SongBlockDone);
        const auto messages = sent(actions);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(target(messages[0]), kSongBlockTarget);
        EXPECT_EQ(number(messages[0]), block);
        EXPECT_EQ(payloadLength(messages[0]), walk.blockLengths[block]);
        payloads.insert(payloads.end(), messages[0].begin() + 13, messages[0].end() - 1);
        EXPECT_EQ(positions(actions), std::vector<unsigned>{block + 1});
        const auto expectedStatus = block + 1 == blocks ? std::vector<std::string>{"The file a.mid succeed in sending!"}
                                                        : std::vector<std::string>{};
        EXPECT_EQ(statuses(actions), expectedStatus);
    }
    EXPECT_EQ(frame::unpack7(payloads), data);

    // Past the last block a reply only counts on.
    EXPECT_TRUE(reply(handshake, Reply::SongBlockDone).empty());

    const Actions done = reply(handshake, Reply::SongDone);
    ASSERT_EQ(done.size(), 5u);
    EXPECT_EQ(std::get<SetStatus>(done[0]).text, text::kStatusSucceeded);
    EXPECT_EQ(std::get<RelabelClose>(done[1]).text, "Ok");
    EXPECT_TRUE(std::holds_alternative<CloseInput>(done[2]));
    EXPECT_EQ(std::get<SendMessage>(done[3]).bytes, frame::buildTransferControl());
    EXPECT_TRUE(std::holds_alternative<Finished>(done[4]));
    EXPECT_TRUE(handshake.isFinished());
    EXPECT_TRUE(reply(handshake, Reply::Ready).empty());
    EXPECT_EQ(expectedTransferBytes(TransferKind::Songs, {walk.rawLength}), handshake.bytesSent());
}

// 2187 bytes pack to 2500 (a short last block), 1792 to exactly 2048, 10 to 12; an empty song has no blocks.
INSTANTIATE_TEST_SUITE_P(SongHandshake, OneSong,
                         ::testing::Values(SongWalk{2187, 7, {1024, 1024, 452}}, SongWalk{1792, 1, {1024, 1024}},
                                           SongWalk{10, 28, {12}}, SongWalk{0, 2, {}}));

// The keyboard may ask for the first song again (it starts over, read anew), and may
// end a song early: it is followed to the next song or the end, and the song is never
// counted as sent. Once the second song is under way a ready reply changes nothing.
TEST_F(SongHandshake, RepeatedReadyRestartsTheFirstSongAndSongDoneBeforeAllBlocksNamesItCutShort)
{
    store.files["a.mid"] = fileData(2187); // 3 blocks
    store.files["b.mid"] = fileData(100);
    auto handshake = store.started(songs({{"a.mid", 3}, {"b.mid", 4}}));
    reply(handshake, Reply::Ready);
    reply(handshake, Reply::SongBlockDone);
    reply(handshake, Reply::SongBlockDone);

    const Actions again = reply(handshake, Reply::Ready);
    EXPECT_EQ(sent(again), std::vector<Bytes>{frame::buildSongHeader(3, 3)});
    EXPECT_EQ(positions(again), std::vector<unsigned>{0});
    EXPECT_EQ(store.reads.size(), 2u);
    EXPECT_EQ(number(sent(reply(handshake, Reply::SongBlockDone)).at(0)), 0u);

    const Actions next = reply(handshake, Reply::SongDone);
    EXPECT_EQ(sent(next), std::vector<Bytes>{frame::buildSongHeader(4, 1)});
    EXPECT_EQ(statuses(next).at(0), "The file a.mid was cut short by the keyboard, it is not stored whole!");
    EXPECT_TRUE(reply(handshake, Reply::Ready).empty());
    reply(handshake, Reply::SongBlockDone);
    const Actions end = reply(handshake, Reply::SongDone);
    EXPECT_TRUE(handshake.isFinished());
    EXPECT_EQ(handshake.cutShortSongs(), std::vector<std::string>{"a.mid"});
    EXPECT_EQ(statuses(end).at(0), "Sending ended, but the keyboard cut short: a.mid");
}

} // namespace

// A port may send the predicted message as soon as the predicted reply arrives,
// before the handshake has seen it: it must be exactly what that reply makes it send.
// The whole run sends as many bytes as the time-left estimate expects.
TEST(NextMessageOnReply, IsExactlyWhatThatReplySends)
{
    FileStore store;
    store.files["a.mid"] = fileData(2500, 1);
    store.files["b.mid"] = fileData(900, 2);
    store.files["r.bin"] = Bytes(3000, 0x5A);
    const auto blocksOf = [&](const char* name) { return frame::blockCount(frame::pack7(store.files[name]).size()); };
    // Headers and blocks; a song run also sends its closing message.
    const std::pair<TransferList, unsigned> runs[] = {
        {songs({{"a.mid", 4}, {"b.mid", 9}}), 2 + blocksOf("a.mid") + blocksOf("b.mid") + 1},
        {romImage("r.bin"), 1 + blocksOf("r.bin")}};
    for (const auto& [list, messages] : runs) {
        auto handshake = store.started(list);
        unsigned predicted = 0;
        while (const auto next = handshake.nextMessageOnReply()) {
            ASSERT_EQ(sent(handshake.onShortMessage(frame::kReplyStatus, next->replyNote)),
                      std::vector<Bytes>{next->bytes})
                << "message " << predicted;
            ASSERT_LT(++predicted, 100u);
        }
        EXPECT_TRUE(handshake.isFinished());
        EXPECT_EQ(predicted, messages);
        std::vector<std::uintmax_t> lengths;
        for (const auto& entry : list.entries)
            lengths.push_back(store.files[entry.fileName].size());
        EXPECT_EQ(expectedTransferBytes(list.kind, lengths), handshake.bytesSent()); // what the estimate counts on
    }
}
