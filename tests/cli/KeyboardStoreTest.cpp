// quillon-keyboard's store: written before the reply, whole or not at all.
#include "cli/KeyboardStore.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>

namespace {

using namespace quillon;
using quillon::keyboard_program::KeyboardStore;
using quillon::keyboard_program::storeThenReply;
namespace fs = std::filesystem;

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

TEST(KeyboardStore, AFailedStoreKeepsTheEarlierCopyAndWithholdsTheReply)
{
    const quillon::testing::TempFolder temp;
    const KeyboardStore store(temp.path());
    keyboard::KeyboardModel model;

    const frame::Bytes earlier(1024, 0x11);
    const auto first = sendSong(model, 3, earlier);
    ASSERT_EQ(storeThenReply(&store, model, first), frame::Reply::SongDone);
    EXPECT_EQ(quillon::testing::readBytes(temp.path() / "slot03.mid"), earlier);

    // The disk takes 24 KiB more, the new song is 64 KiB.
    const auto second = sendSong(model, 3, frame::Bytes(64 * 1024, 0x22));
    ASSERT_EQ(second.reply, frame::Reply::SongDone);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 24 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto reply = storeThenReply(&store, model, second);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);

    EXPECT_FALSE(reply.has_value()); // the sender must not take the song for stored
    EXPECT_EQ(quillon::testing::readBytes(temp.path() / "slot03.mid"), earlier);
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.path()), fs::directory_iterator()), 1); // no temporary left
}

} // namespace
