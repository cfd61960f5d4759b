// quillon-keyboard's store: written before the reply, whole or not at all.
#include "cli/KeyboardStore.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

namespace {

using namespace quillon;
using quillon::keyboard_program::KeyboardStore;
using quillon::keyboard_program::storeThenReply;

// One song fed to the model (opening the transfer if need be); the reaction of its last block.
keyboard::Reaction sendSong(keyboard::KeyboardModel& model, int slot, const frame::Bytes& song)
{
    const frame::Bytes packed = frame::pack7(song);
    const unsigned blocks = frame::blockCount(packed.size());
    if (!model.transferOpen())
        model.feed(frame::buildTransferControl());
    model.feed(frame::buildSongHeader(static_cast<std::uint8_t>(slot), blocks));
    keyboard::Reaction last;
    for (unsigned i = 0; i < blocks; ++i)
        last = model.feed(frame::buildDataBlock(1, i, frame::blockBytes(packed, i)));
    return last;
}

// Whole or not at all is the one replace function's (the save-fault suite); here, the reply waits for it.
TEST(KeyboardStore, AFailedStoreWithholdsTheReply)
{
    const quillon::testing::TempFolder temp;
    keyboard::KeyboardModel model;
    const auto done = sendSong(model, 3, frame::Bytes(1024, 0x11));
    const KeyboardStore store(temp.path()), missing(temp.path() / "missing");
    EXPECT_FALSE(storeThenReply(&missing, model, done).has_value()); // the sender must not take the song for stored
    ASSERT_EQ(storeThenReply(&store, model, done), frame::Reply::SongDone);
    EXPECT_EQ(quillon::testing::readBytes(temp.path() / "slot03.mid"), frame::Bytes(1024, 0x11));
}

} // namespace
