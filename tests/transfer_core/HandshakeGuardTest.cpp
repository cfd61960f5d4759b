// What a transfer refuses or ignores: a list that cannot start, replies before
// anything was announced, and a file that cannot be read when its turn comes.
#include "HandshakeTestSupport.h"

#include <gtest/gtest.h>

using namespace quillon;
using namespace quillon::transfer;
using namespace quillon::transfer::testing;
using frame::Reply;

namespace {

// A list that cannot be sent is refused before any file is read. Replies before the
// start, or before the first song is announced, change nothing: no song is skipped.
TEST(HandshakeStart, RefusesListsThatCannotBeSentAndIgnoresRepliesBeforeTheFirstAnnouncement)
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

    TransferHandshake handshake(songs({{"a.mid", 1}, {"b.mid", 2}}), store.reader());
    EXPECT_TRUE(reply(handshake, Reply::Ready).empty());
    ASSERT_TRUE(handshake.start().ok());
    EXPECT_FALSE(handshake.start().ok());
    EXPECT_EQ(handshake.bytesSent(), 14u);
    for (const Reply code : {Reply::SongBlockDone, Reply::SongDone})
        EXPECT_TRUE(reply(handshake, code).empty());
    EXPECT_TRUE(store.reads.empty());
    EXPECT_EQ(sent(reply(handshake, Reply::Ready)), std::vector<Bytes>{frame::buildSongHeader(1, 1)});
}

// A file that cannot be read, or that no header can announce, stops the run when
// its turn comes: no header, no stale block. A song run is closed on the keyboard
// again; a ROM update sends nothing more. Later replies change nothing.
TEST(HandshakeStop, AFileThatCannotGoOutStopsTheRunWhenItsTurnComes)
{
    using enum Reply;
    using enum StopReason;
    FileStore store;
    store.files["a.mid"] = fileData(2187);
    store.files["empty.bin"] = {};
    store.files["huge.mid"] = Bytes(frame::largestSendableLength() + 1, 0x41);
    const struct {
        TransferList list;
        std::vector<Reply> replies; // the last one meets the file
        std::string name;
        StopReason reason;
    } cases[] = {
        {songs({{"a.mid", 1}, {"gone.mid", 2}}), {Ready, SongBlockDone, SongDone}, "gone.mid", FileUnreadable},
        {songs({{"none.mid", 1}}), {Ready}, "none.mid", FileUnreadable},
        {romImage("none.bin"), {Ready}, "none.bin", FileUnreadable},
        {romImage("empty.bin"), {Ready}, "empty.bin", FileRefused},
        {songs({{"huge.mid", 1}}), {Ready}, "huge.mid", FileRefused},
    };
    for (const auto& c : cases) {
        auto handshake = store.started(c.list);
        Actions actions;
        for (const Reply code : c.replies)
            actions = reply(handshake, code);
        const bool songRun = c.list.kind == TransferKind::Songs;
        EXPECT_EQ(sent(actions), songRun ? std::vector<Bytes>{frame::buildTransferControl()} : std::vector<Bytes>{})
            << c.name;
        EXPECT_EQ(all<CloseInput>(actions).size(), 1u) << c.name;
        ASSERT_EQ(all<Stopped>(actions).size(), 1u) << c.name;
        EXPECT_EQ(all<Stopped>(actions)[0].reason, c.reason) << c.name;
        EXPECT_EQ(all<Stopped>(actions)[0].fileName, c.name);
        for (const Reply code : {SongBlockDone, SongDone, Ready, RomBlockDone})
            EXPECT_TRUE(reply(handshake, code).empty()) << c.name;
    }
}

TEST(HandshakeStop, InterruptClosesASongRunTheKeyboardAnsweredAndNothingElse)
{
    FileStore store;
    store.files["a.mid"] = fileData(2187);
    store.files["a.bin"] = fileData(2187);
    const struct {
        TransferList list;
        std::vector<Reply> replies;
        std::vector<Bytes> closing;
    } cases[] = {
        {songs({{"a.mid", 1}}), {Reply::Ready, Reply::SongBlockDone}, {frame::buildTransferControl()}},
        // No ready reply yet: the keyboard may not be in this run; a closing message would open one.
        {songs({{"a.mid", 1}}), {}, {}},
        {romImage("a.bin"), {Reply::Ready, Reply::RomBlockDone}, {}},
    };
    for (const auto& c : cases) {
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

} // namespace
