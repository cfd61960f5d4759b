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

// Replies before the start, or before the first song is announced, change
// nothing: no song is skipped and no file is read.
TEST(HandshakeStart, StartsOnceAndIgnoresRepliesBeforeTheFirstAnnouncement)
{
    FileStore store;
    store.files["a.mid"] = fileData(10);
    store.files["b.mid"] = fileData(10);
    TransferHandshake handshake(songs({{"a.mid", 1}, {"b.mid", 2}}), store.reader());
    EXPECT_TRUE(reply(handshake, Reply::Ready).empty());
    ASSERT_TRUE(handshake.start().ok());
    EXPECT_FALSE(handshake.start().ok());
    EXPECT_EQ(handshake.bytesSent(), 14u);
    EXPECT_TRUE(reply(handshake, Reply::SongBlockDone).empty());
    EXPECT_TRUE(reply(handshake, Reply::SongDone).empty());
    EXPECT_EQ(handshake.songIndex(), 0);
    EXPECT_EQ(handshake.blockIndex(), 0);
    EXPECT_TRUE(store.reads.empty());
    EXPECT_EQ(sent(reply(handshake, Reply::Ready)), std::vector<Bytes>{frame::buildSongHeader(1, 1)});
}

// A song run closes the keyboard's transfer on its way out; a ROM update sends nothing more.
void expectCleanStop(const Actions& actions, const std::string& fileName, TransferKind kind = TransferKind::Songs)
{
    EXPECT_EQ(sent(actions),
              kind == TransferKind::Songs ? std::vector<Bytes>{frame::buildTransferControl()} : std::vector<Bytes>{});
    EXPECT_EQ(statuses(actions).back(), "The file " + fileName + " can't be opened, sending stopped!");
    EXPECT_EQ(all<CloseInput>(actions).size(), 1u);
    ASSERT_EQ(all<Stopped>(actions).size(), 1u);
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
    for (Reply code : {Reply::SongBlockDone, Reply::SongDone, Reply::Ready})
        EXPECT_TRUE(reply(handshake, code).empty());
}

TEST(HandshakeStop, UnreadableFirstSongOrImageStopsAtTheReadyReply)
{
    FileStore store;
    TransferHandshake song(songs({{"none.mid", 1}}), store.reader());
    ASSERT_TRUE(song.start().ok());
    expectCleanStop(reply(song, Reply::Ready), "none.mid");

    TransferHandshake rom(romImage("none.bin"), store.reader());
    ASSERT_TRUE(rom.start().ok());
    expectCleanStop(reply(rom, Reply::Ready), "none.bin", TransferKind::RomImage);
    EXPECT_TRUE(reply(rom, Reply::RomBlockDone).empty());
}

TEST(HandshakeStop, InterruptClosesASongRunTheKeyboardAnsweredAndNothingElse)
{
    FileStore store;
    store.files["a.mid"] = fileData(2187);
    store.files["a.bin"] = fileData(2187);
    struct Case {
        TransferList list;
        std::vector<Reply> replies;
        std::vector<Bytes> closing;
    };
    const Case cases[] = {
        {songs({{"a.mid", 1}}), {Reply::Ready, Reply::SongBlockDone}, {frame::buildTransferControl()}},
        // No ready reply yet: the keyboard may not be in this run; a closing message would open one.
        {songs({{"a.mid", 1}}), {}, {}},
        {romImage("a.bin"), {Reply::Ready, Reply::RomBlockDone}, {}},
    };
    for (const Case& c : cases) {
        TransferHandshake handshake(c.list, store.reader());
        EXPECT_TRUE(handshake.interrupt().empty()); // not started
        ASSERT_TRUE(handshake.start().ok());
        for (Reply code : c.replies)
            reply(handshake, code);
        const Actions actions = handshake.interrupt();
        EXPECT_EQ(sent(actions), c.closing);
        ASSERT_EQ(all<Stopped>(actions).size(), 1u);
        EXPECT_EQ(all<Stopped>(actions)[0].reason, StopReason::Interrupted);
        EXPECT_TRUE(handshake.isStopped());
        EXPECT_TRUE(handshake.interrupt().empty());
        EXPECT_TRUE(reply(handshake, Reply::SongBlockDone).empty());
    }
}

TEST(HandshakeStop, FilesAHeaderCannotAnnounceAreRefusedBeforeTheirHeader)
{
    FileStore store;
    store.files["empty.bin"] = {};
    store.files["huge.mid"] = Bytes(frame::largestSendableLength() + 1, 0x41);
    for (const auto& [list, name] :
         {std::pair{romImage("empty.bin"), "empty.bin"}, std::pair{songs({{"huge.mid", 1}}), "huge.mid"}}) {
        TransferHandshake handshake(list, store.reader());
        ASSERT_TRUE(handshake.start().ok());
        const Actions actions = reply(handshake, Reply::Ready);
        // No header, no block; a song run is closed on the keyboard again.
        EXPECT_EQ(sent(actions), list.kind == TransferKind::Songs ? std::vector<Bytes>{frame::buildTransferControl()}
                                                                  : std::vector<Bytes>{})
            << name;
        ASSERT_EQ(all<Stopped>(actions).size(), 1u) << name;
        EXPECT_EQ(all<Stopped>(actions)[0].reason, StopReason::FileRefused);
        EXPECT_EQ(all<Stopped>(actions)[0].fileName, name);
    }
}

} // namespace
