// Replies duplicated, dropped or late, and messages lost, repeated or damaged:
// whatever goes wrong, the transfer never claims success for a file the keyboard
// does not hold byte for byte. Where each block sits in its file is the
// handshake's own tests' to walk; the keyboard, which checks every block's
// number, records one sent out of its place.
#include "Wire.h"

#include "base/core/Messages.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace quillon;
using namespace quillon::faults;
using transfer::TransferKind;
using transfer::TransferList;

namespace {

struct Transfer {
    TransferList list;
    std::map<std::string, Bytes> files;
};

// Three songs of 3, 1 and 2 blocks into slots 3, 17 and 28.
Transfer threeSongs()
{
    return {{TransferKind::Songs, {{"a.mid", " 2.05K", 3}, {"b.mid", " 0.49K", 17}, {"c.mid", " 0.98K", 28}}},
            {{"a.mid", fileData(2100, 1)}, {"b.mid", fileData(500, 2)}, {"c.mid", fileData(1000, 3)}}};
}
// An image of 5 blocks.
Transfer romImage() { return {{TransferKind::RomImage, {{"rom.bin", " 3.91K", 1}}}, {{"rom.bin", fileData(4000, 9)}}}; }

bool claimsSuccess(const Wire& wire)
{
    return std::any_of(wire.actions.begin(), wire.actions.end(), [](const auto& action) {
        const auto* status = std::get_if<transfer::SetStatus>(&action);
        return status && status->text == text::kStatusSucceeded;
    });
}

// The keyboard holds only exact files; claimed success means it holds all of
// them. Hands back how many it holds.
std::size_t expectNothingWrongStored(const Wire& wire, const TransferList& list)
{
    auto holdings = wire.keyboard.songs();
    if (wire.keyboard.romImage()) // an image under its entry's slot
        holdings.emplace(list.entries.front().slot, *wire.keyboard.romImage());
    for (const auto& [slot, stored] : holdings) {
        const auto entry =
            std::find_if(list.entries.begin(), list.entries.end(), [slot](const auto& e) { return e.slot == slot; });
        if (entry == list.entries.end())
            ADD_FAILURE() << "something in slot " << slot << " that nobody sent";
        else
            EXPECT_EQ(stored, wire.store.files.at(entry->fileName)) << "slot " << slot;
    }
    // (The keyboard may have refused extra copies on the way; what counts is what it holds.)
    if (claimsSuccess(wire)) {
        EXPECT_EQ(holdings.size(), list.entries.size()) << "success claimed with files missing";
    }
    return holdings.size();
}

} // namespace

// One reply of a clean run after another meets the fault plan (and a second
// plan, where given, the reply after it), for songs and for an image. Late
// alone is a clean run: with one reply outstanding at a time, late is merely slow.
TEST(ReplyFaults, NeverStoresAWrongFileAndClaimsSuccessOnlyWithEveryFile)
{
    const std::vector<ReplyFault> plans[] = {
        {ReplyFault::Duplicate}, {ReplyFault::Drop}, {ReplyFault::Duplicate, ReplyFault::HoldBack}};
    for (const auto& plan : plans) {
        const ReplyFault first = plan.front();
        for (const Transfer& transfer : {threeSongs(), romImage()}) {
            Wire clean(transfer.list, transfer.files);
            ASSERT_TRUE(clean.run());
            int finishedRuns = 0;
            for (std::size_t i = 0; i < clean.replyCount; ++i) {
                SCOPED_TRACE("plan " + std::to_string(&plan - plans) + ", " + transfer.list.entries.front().fileName +
                             " from reply " + std::to_string(i));
                Wire wire(transfer.list, transfer.files);
                for (std::size_t f = 0; f < plan.size(); ++f)
                    wire.replyFaults[i + f] = plan[f];
                ASSERT_TRUE(wire.run());
                const std::size_t held = expectNothingWrongStored(wire, transfer.list);
                for (const auto& error : wire.keyboard.errors())
                    EXPECT_NE(error.kind, keyboard::ErrorKind::BlockOutOfOrder) << error.detail;
                if (claimsSuccess(wire)) {
                    EXPECT_TRUE(wire.keyboard.errors().empty()) << wire.keyboard.errors().front().detail;
                }
                // A repeated song-done reply may end a song early: the run finishes, naming it, never claiming success.
                EXPECT_EQ(claimsSuccess(wire), wire.handshake.isFinished() && wire.handshake.cutShortSongs().empty());
                finishedRuns += wire.handshake.isFinished() ? 1 : 0;
                if (plan.size() > 1)
                    continue;
                if (first == ReplyFault::Duplicate && !wire.handshake.isFinished()) {
                    // A stall is always visible on the keyboard's side as a recorded error.
                    EXPECT_FALSE(wire.keyboard.errors().empty());
                } else if (first == ReplyFault::Drop) {
                    EXPECT_FALSE(wire.handshake.isFinished());
                    // Only the last reply's loss leaves every file on the keyboard (still no success claimed).
                    if (i + 1 < wire.replyCount) {
                        EXPECT_LT(held, transfer.list.entries.size());
                    }
                }
            }
            // A repeated block-done reply is harmless: those runs still deliver everything.
            if (first == ReplyFault::Duplicate) {
                EXPECT_GT(finishedRuns, 0);
            }
        }
    }
}

TEST(MessageFaults, LostRepeatedOrDamagedMessagesAreRecordedNeverStoredWrong)
{
    const Transfer songs = threeSongs();
    Wire clean(songs.list, songs.files);
    ASSERT_TRUE(clean.run());
    for (std::size_t i = 0; i < clean.sent.size(); ++i) {
        SCOPED_TRACE("message " + std::to_string(i));
        Wire lost(songs.list, songs.files);
        lost.messageFaults[i] = MessageFault::Drop;
        ASSERT_TRUE(lost.run());
        expectNothingWrongStored(lost, songs.list);
        // Only the closing control message can go missing without stalling the transfer.
        if (i + 1 < clean.sent.size()) {
            EXPECT_FALSE(lost.handshake.isFinished());
        }

        Wire repeated(songs.list, songs.files);
        repeated.messageFaults[i] = MessageFault::Repeat;
        ASSERT_TRUE(repeated.run());
        expectNothingWrongStored(repeated, songs.list);
        if (clean.sent[i].at(frame::kOffKind) != frame::kKindDataBlock)
            continue;
        // The keyboard refuses a repeated block and says so; the transfer itself carries on.
        ASSERT_EQ(repeated.keyboard.errors().size(), 1u);
        const auto kind = repeated.keyboard.errors().front().kind;
        EXPECT_TRUE(kind == keyboard::ErrorKind::BlockOutOfOrder || kind == keyboard::ErrorKind::BlockCountMismatch)
            << repeated.keyboard.errors().front().detail;
        EXPECT_EQ(repeated.keyboard.songs().size(), 3u);

        // A damaged block: the sender cannot know, and the keyboard holds a damaged
        // song, which only the byte check finds.
        Wire damaged(songs.list, songs.files);
        damaged.messageFaults[i] = MessageFault::FlipPayloadBit;
        ASSERT_TRUE(damaged.run());
        EXPECT_TRUE(damaged.handshake.isFinished());
        std::size_t differing = 0;
        for (const auto& entry : songs.list.entries)
            differing += damaged.keyboard.song(entry.slot) != songs.files.at(entry.fileName) ? 1 : 0;
        EXPECT_EQ(differing, 1u);
    }
}
