// What a transfer refuses or ignores: a list that cannot start, replies before
// anything was announced, and a file that cannot be read when its turn comes.
#include "HandshakeTestSupport.h"

#include <gtest/gtest.h>

using namespace quillon;
using namespace quillon::transfer;
using namespace quillon::transfer::testing;
using frame::Reply;

namespace {

TEST(HandshakeStart, RefusesListsThatCannotBeSent)
{
    FileStore store;
    store.files["a.mid"] = fileData(10);
    const TransferList refused[] = {
        TransferList{TransferKind::Songs, {}},
        TransferList{TransferKind::RomImage, {}},
        TransferList{TransferKind::RomImage, {{"a.bin", "", 1}, {"b.bin", "", 1}}},
        songs({{"a.mid", 0}}),
        songs({{"a.mid", 1}, {"a.mid", 29}}),
    };
    for (const auto& list : refused) {
        TransferHandshake handshake(list, store.reader());
        EXPECT_FALSE(handshake.start().ok());
        EXPECT_EQ(handshake.phase(), TransferHandshake::Phase::Idle);
        EXPECT_TRUE(reply(handshake, Reply::Ready).empty());
        EXPECT_EQ(handshake.bytesSent(), 0u);
    }
    EXPECT_TRUE(store.reads.empty());
}

TEST(HandshakeStart, StartsOnceAndIgnoresRepliesBeforeStart)
{
    FileStore store;
    store.files["a.mid"] = fileData(10);
    TransferHandshake handshake(songs({{"a.mid", 28}}), store.reader());
    EXPECT_TRUE(reply(handshake, Reply::Ready).empty());
    EXPECT_TRUE(handshake.start().ok());
    EXPECT_FALSE(handshake.start().ok());
    EXPECT_EQ(handshake.bytesSent(), 14u);
}

TEST(HandshakeStart, SongRepliesBeforeTheFirstAnnouncementAreIgnored)
{
    FileStore store;
    store.files["a.mid"] = fileData(10);
    store.files["b.mid"] = fileData(10);
    TransferHandshake handshake(songs({{"a.mid", 1}, {"b.mid", 2}}), store.reader());
    ASSERT_TRUE(handshake.start().ok());
    EXPECT_TRUE(reply(handshake, Reply::SongBlockDone).empty());
    EXPECT_TRUE(reply(handshake, Reply::SongDone).empty()); // must not skip the first song
    EXPECT_EQ(handshake.songIndex(), 0);
    EXPECT_EQ(handshake.blockIndex(), 0);
    EXPECT_TRUE(store.reads.empty());
    EXPECT_EQ(sent(reply(handshake, Reply::Ready)), std::vector<Bytes>{frame::buildSongHeader(1, 1)});
}

void expectCleanStop(const Actions& actions, const std::string& fileName)
{
    EXPECT_TRUE(sent(actions).empty());
    EXPECT_EQ(statuses(actions).back(), "The file " + fileName + " can't be opened, sending stopped!");
    EXPECT_EQ(all<CloseInput>(actions).size(), 1u);
    EXPECT_EQ(all<RelabelClose>(actions).at(0).text, "Close");
    ASSERT_EQ(all<Stopped>(actions).size(), 1u);
    EXPECT_EQ(all<Stopped>(actions)[0].fileName, fileName);
    EXPECT_EQ(all<Stopped>(actions)[0].reason, StopReason::FileUnreadable);
}

TEST(HandshakeStop, UnreadableLaterSongStopsWithoutSendingStaleData)
{
    FileStore store;
    store.files["a.mid"] = fileData(2187);
    TransferHandshake handshake(songs({{"a.mid", 1}, {"gone.mid", 2}}), store.reader());
    ASSERT_TRUE(handshake.start().ok());
    reply(handshake, Reply::Ready);
    reply(handshake, Reply::SongBlockDone);
    expectCleanStop(reply(handshake, Reply::SongDone), "gone.mid");
    EXPECT_TRUE(handshake.isStopped());
    const std::uint64_t sentBefore = handshake.bytesSent();
    for (Reply code : {Reply::SongBlockDone, Reply::SongDone, Reply::Ready})
        EXPECT_TRUE(reply(handshake, code).empty());
    EXPECT_EQ(handshake.bytesSent(), sentBefore);
}

TEST(HandshakeStop, UnreadableFirstSongOrImageStopsAtTheReadyReply)
{
    FileStore store;
    TransferHandshake song(songs({{"none.mid", 1}}), store.reader());
    ASSERT_TRUE(song.start().ok());
    expectCleanStop(reply(song, Reply::Ready), "none.mid");

    TransferHandshake rom(romImage("none.bin"), store.reader());
    ASSERT_TRUE(rom.start().ok());
    expectCleanStop(reply(rom, Reply::Ready), "none.bin");
    EXPECT_TRUE(reply(rom, Reply::RomBlockDone).empty());
}

} // namespace
