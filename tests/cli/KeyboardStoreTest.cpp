// quillon-keyboard's store: written before the reply, whole or not at all.
#include "cli/KeyboardStore.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

namespace {

using namespace quillon;
using quillon::keyboard_program::KeyboardStore;
using quillon::keyboard_program::storeThenReply;

// Whole or not at all is the one replace function's (the save-fault suite); here, the reply waits for it.
TEST(KeyboardStore, AFailedStoreWithholdsTheReply)
{
    const quillon::testing::TempFolder temp;
    keyboard::KeyboardModel model; // one song of two blocks into slot 3
    const frame::Bytes packed = frame::pack7(frame::Bytes(1024, 0x11));
    model.feed(frame::buildTransferControl());
    model.feed(frame::buildSongHeader(3, frame::blockCount(packed.size())));
    keyboard::Reaction done;
    for (unsigned i = 0; i < frame::blockCount(packed.size()); ++i)
        done = model.feed(frame::buildDataBlock(1, i, frame::blockBytes(packed, i)));
    const KeyboardStore store(temp.path()), missing(temp.path() / "missing");
    EXPECT_FALSE(storeThenReply(&missing, model, done).has_value()); // the sender must not take the song for stored
    ASSERT_EQ(storeThenReply(&store, model, done), frame::Reply::SongDone);
    EXPECT_EQ(quillon::testing::readBytes(temp.path() / "slot03.mid"), frame::Bytes(1024, 0x11));
}

} // namespace
