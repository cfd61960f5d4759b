// Replies duplicated, dropped, late or out of order, and messages lost,
// repeated or damaged on the way: whatever goes wrong, the transfer never claims success for a
// song the keyboard does not hold byte for byte, every block it sends carries
// exactly its place in the announced file, and the keyboard's store shows
// exactly what arrived.
#include "Wire.h"

#include "base/core/Messages.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace quillon;
using namespace quillon::faults;
using transfer::TransferKind;
using transfer::TransferList;

namespace {

// Three songs of 3, 1 and 2 blocks into slots 3, 17 and 28.
TransferList threeSongs()
{
    return TransferList{TransferKind::Songs,
                        {{"a.mid", " 2.05K", 3}, {"b.mid", " 0.49K", 17}, {"c.mid", " 0.98K", 28}}};
}
std::map<std::string, Bytes> threeFiles()
{
    return {{"a.mid", fileData(2100, 1)}, {"b.mid", fileData(500, 2)}, {"c.mid", fileData(1000, 3)}};
}
const std::map<int, std::string> kSlotFiles = {{3, "a.mid"}, {17, "b.mid"}, {28, "c.mid"}};

unsigned numberOf(const Bytes& m) { return (unsigned{m.at(frame::kOffNumberHigh)} << 7) | m.at(frame::kOffNumberLow); }

// Walks what was sent: each block must be the next one of the file its header announced.
void expectEveryBlockInItsPlace(const Wire& wire, TransferKind kind)
{
    Bytes packed;
    unsigned next = 0;
    bool announced = false;
    for (const Bytes& m : wire.sent) {
        const std::uint8_t messageKind = m.at(frame::kOffKind);
        if (messageKind == frame::kKindSongHeader || messageKind == frame::kKindRomHeader) {
            const std::string& name = kind == TransferKind::Songs ? kSlotFiles.at(m.at(frame::kOffTarget)) : "rom.bin";
            packed = frame::pack7(wire.store.files.at(name));
            ASSERT_EQ(numberOf(m), frame::blockCount(packed.size())) << "header of " << name;
            next = 0;
            announced = true;
        } else if (messageKind == frame::kKindDataBlock) {
            ASSERT_TRUE(announced) << "a block before any header";
            ASSERT_LT(next, frame::blockCount(packed.size())) << "a block past the announced count";
            ASSERT_EQ(numberOf(m), next);
            const auto expected = frame::blockBytes(packed, next);
            ASSERT_TRUE(std::equal(expected.begin(), expected.end(), m.begin() + frame::kHeadLength, m.end() - 1))
                << "block " << next << " does not carry its part of the file";
            ++next;
        }
    }
}

bool claimsSuccess(const Wire& wire)
{
    for (const auto& action : wire.actions) {
        if (const auto* status = std::get_if<transfer::SetStatus>(&action);
            status && status->text == text::kStatusSucceeded)
            return true;
    }
    return false;
}

// The keyboard holds only exact songs; claimed success means it holds all of them.
void expectNothingWrongStored(const Wire& wire)
{
    for (const auto& [slot, stored] : wire.keyboard.songs()) {
        ASSERT_TRUE(kSlotFiles.count(slot)) << "a song in slot " << slot << " that nobody sent";
        EXPECT_EQ(stored, wire.store.files.at(kSlotFiles.at(slot))) << "slot " << slot;
    }
    // (The keyboard may have refused extra copies on the way; what counts is what it holds.)
    if (claimsSuccess(wire)) {
        EXPECT_EQ(wire.keyboard.songs().size(), kSlotFiles.size()) << "success claimed with songs missing";
    }
}

std::size_t cleanReplyCount()
{
    Wire wire(threeSongs(), threeFiles());
    wire.run();
    return wire.replyCount;
}

} // namespace

// One reply of a clean run after another meets the fault plan (and a second
// plan, where given, the reply after it).
struct ReplyPlan {
    const char* name;
    std::vector<ReplyFault> faults;
};

class OneReplyAfterAnother : public ::testing::TestWithParam<ReplyPlan> {};

TEST_P(OneReplyAfterAnother, NeverStoresAWrongSongAndClaimsSuccessOnlyWithEverySong)
{
    const ReplyPlan& plan = GetParam();
    const ReplyFault first = plan.faults.front();
    int finishedRuns = 0;
    for (std::size_t i = 0; i < cleanReplyCount(); ++i) {
        SCOPED_TRACE("from reply " + std::to_string(i));
        Wire wire(threeSongs(), threeFiles());
        for (std::size_t f = 0; f < plan.faults.size(); ++f)
            wire.replyFaults[i + f] = plan.faults[f];
        ASSERT_TRUE(wire.run());
        expectEveryBlockInItsPlace(wire, TransferKind::Songs);
        expectNothingWrongStored(wire);
        // A repeated song-done reply may end a song early: the run finishes, naming it, never claiming success.
        EXPECT_EQ(claimsSuccess(wire), wire.finished() && wire.handshake.cutShortSongs().empty());
        finishedRuns += wire.finished() ? 1 : 0;
        if (plan.faults.size() > 1)
            continue;
        if (first == ReplyFault::Duplicate && !wire.finished()) {
            // A stall is always visible on the keyboard's side as a recorded error.
            EXPECT_FALSE(wire.keyboard.errors().empty());
        } else if (first == ReplyFault::Drop) {
            EXPECT_FALSE(wire.finished());
            // Only the last reply's loss leaves every song on the keyboard (still no success claimed).
            if (i + 1 < wire.replyCount) {
                EXPECT_LT(wire.keyboard.songs().size(), 3u);
            }
        }
    }
    // A repeated block-done reply is harmless: those runs still deliver everything.
    if (first == ReplyFault::Duplicate) {
        EXPECT_GT(finishedRuns, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    ReplyFaults, OneReplyAfterAnother,
    ::testing::Values(ReplyPlan{"Duplicated", {ReplyFault::Duplicate}}, ReplyPlan{"Dropped", {ReplyFault::Drop}},
                      // Late alone is a clean run: with one reply outstanding at a time, late is merely slow.
                      ReplyPlan{"DuplicatedThenNextLate", {ReplyFault::Duplicate, ReplyFault::HoldBack}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MessageFaults, LostRepeatedOrDamagedMessagesAreRecordedNeverStoredWrong)
{
    Wire clean(threeSongs(), threeFiles());
    clean.run();
    for (std::size_t i = 0; i < clean.sent.size(); ++i) {
        SCOPED_TRACE("message " + std::to_string(i));
        Wire lost(threeSongs(), threeFiles());
        lost.messageFaults[i] = MessageFault::Drop;
        ASSERT_TRUE(lost.run());
        expectNothingWrongStored(lost);
        // Only the closing control message can go missing without stalling the transfer.
        if (i + 1 < clean.sent.size()) {
            EXPECT_FALSE(lost.finished());
        }

        Wire repeated(threeSongs(), threeFiles());
        repeated.messageFaults[i] = MessageFault::Repeat;
        ASSERT_TRUE(repeated.run());
        expectNothingWrongStored(repeated);
        if (clean.sent[i].at(frame::kOffKind) == frame::kKindDataBlock) {
            // The keyboard refuses the copy and says so; the transfer itself carries on.
            ASSERT_EQ(repeated.keyboard.errors().size(), 1u);
            const auto kind = repeated.keyboard.errors().front().kind;
            EXPECT_TRUE(kind == keyboard::ErrorKind::BlockOutOfOrder || kind == keyboard::ErrorKind::BlockCountMismatch)
                << repeated.keyboard.errors().front().detail;
            EXPECT_EQ(repeated.keyboard.songs().size(), 3u);
        }

        if (clean.sent[i].at(frame::kOffKind) != frame::kKindDataBlock)
            continue;
        // A damaged block: the sender cannot know; the keyboard holds the damaged
        // bytes and nothing else differs, which the byte check finds.
        Wire damaged(threeSongs(), threeFiles());
        damaged.messageFaults[i] = MessageFault::FlipPayloadBit;
        ASSERT_TRUE(damaged.run());
        EXPECT_TRUE(damaged.finished());
        std::size_t differing = 0;
        for (const auto& [slot, stored] : damaged.keyboard.songs()) {
            const Bytes& original = damaged.store.files.at(kSlotFiles.at(slot));
            ASSERT_EQ(stored.size(), original.size());
            for (std::size_t b = 0; b < stored.size(); ++b)
                differing += stored[b] != original[b] ? 1 : 0;
        }
        EXPECT_EQ(differing, 1u);
    }
}

TEST(RomFaults, DuplicatesNeverMisplaceABlockAndDropsNeverClaimSuccess)
{
    const auto rom = [] { return TransferList{TransferKind::RomImage, {{"rom.bin", " 3.91K", 1}}}; };
    const std::map<std::string, Bytes> image = {{"rom.bin", fileData(4000, 9)}};
    Wire clean(rom(), image);
    ASSERT_TRUE(clean.run());
    ASSERT_TRUE(clean.finished());
    ASSERT_EQ(clean.keyboard.romImage(), image.at("rom.bin"));
    for (std::size_t i = 0; i < clean.replyCount; ++i) {
        SCOPED_TRACE("reply " + std::to_string(i));
        Wire duplicated(rom(), image);
        duplicated.replyFaults[i] = ReplyFault::Duplicate;
        ASSERT_TRUE(duplicated.run());
        expectEveryBlockInItsPlace(duplicated, TransferKind::RomImage);
        if (duplicated.keyboard.romImage()) {
            EXPECT_EQ(duplicated.keyboard.romImage(), image.at("rom.bin"));
        }

        Wire dropped(rom(), image);
        dropped.replyFaults[i] = ReplyFault::Drop;
        ASSERT_TRUE(dropped.run());
        EXPECT_FALSE(dropped.finished());
        EXPECT_FALSE(dropped.keyboard.romImage().has_value());
    }
}
