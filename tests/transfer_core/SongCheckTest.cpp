// Selection checks, song header checks, size texts and slot labels.
#include "transfer/core/SongCheck.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <map>

using namespace quillon;
using namespace quillon::transfer;
using frame::Bytes;

namespace {

Bytes midiHead(std::uint8_t formatHigh, std::uint8_t formatLow)
{
    return {'M', 'T', 'h', 'd', 0, 0, 0, 6, formatHigh, formatLow, 0, 1, 0, 0x60};
}

// Files in memory; remembers which ones were looked at. Lengths are only measured:
// with `length` set, every file claims it, so a fake disk of any size costs nothing.
class MemoryFiles final : public FileInspector {
public:
    std::map<std::string, Bytes> files;
    mutable std::vector<std::string> inspected;
    std::optional<std::uintmax_t> length;

    std::optional<FileHead> inspect(const std::filesystem::path& path, std::size_t headLength) const override
    {
        inspected.push_back(path.filename().string());
        const auto found = files.find(path.filename().string());
        if (found == files.end())
            return std::nullopt;
        const Bytes& content = found->second;
        const Bytes head(content.begin(), content.begin() + std::min(headLength, content.size()));
        return FileHead{length.value_or(content.size()), head};
    }
};

// The Send command tests hold the message each refusal shows; here, where the checks draw their lines.
TEST(SongHead, AcceptsFormatZeroOfTenBytesOrMoreAndRefusesEverythingElse)
{
    EXPECT_FALSE(checkSongHead(midiHead(0, 0)).has_value());
    EXPECT_FALSE(checkSongHead(midiHead(1, 0)).has_value()); // only the low byte decides
    EXPECT_EQ(checkSongHead(midiHead(0, 1)), CheckReason::NotFormat0);
    Bytes riff = midiHead(0, 0);
    riff[0] = 'R';
    EXPECT_EQ(checkSongHead(riff), CheckReason::NotMidiFile);
    EXPECT_EQ(checkSongHead({}), CheckReason::NotMidiFile);
    const Bytes full = midiHead(0, 0);
    EXPECT_EQ(checkSongHead(std::span(full).first(9)), CheckReason::NotMidiFile);
    EXPECT_FALSE(checkSongHead(std::span(full).first(10)).has_value());
}

TEST(Selection, CountLimitsComeBeforeAnyFileIsOpenedAndTheFirstRefusalEndsTheLook)
{
    MemoryFiles files;
    std::vector<std::string> names;
    for (int i = 0; i < 29; ++i) {
        names.push_back("s" + std::to_string(i) + ".mid");
        files.files[names.back()] = midiHead(0, 0);
    }
    const auto tooMany = prepareSongs(files, "mid", names);
    EXPECT_EQ(tooMany.refusal, CheckReason::TooManySongs);
    EXPECT_TRUE(files.inspected.empty());

    names.pop_back();
    files.files[names.back()].resize(3584);
    const auto full = prepareSongs(files, "mid", names);
    ASSERT_TRUE(full.ok());
    ASSERT_EQ(full.list.entries.size(), 28u);
    EXPECT_EQ(full.list.entries[27].slot, 28);
    EXPECT_EQ(full.list.entries[27].sizeText, " 3.50K"); // kilobytes, two decimals, padded to five

    // The first refusal stops the look, keeping the entries before it.
    files.files["s1.mid"] = midiHead(0, 1);
    files.inspected.clear();
    const auto refused = prepareSongs(files, "mid", names);
    EXPECT_EQ(refused.refusal, CheckReason::NotFormat0);
    EXPECT_EQ(refused.refusedFile, "s1.mid");
    ASSERT_EQ(refused.list.entries.size(), 1u);
    EXPECT_EQ(files.inspected, (std::vector<std::string>{"s0.mid", "s1.mid"}));
}

TEST(DiskFiles, ReadsNoMoreThanTheFileHas)
{
    const quillon::testing::TempFolder temp;
    const auto shortSong = temp.touch("short.mid", std::string("MThd\0\0\0\6\0", 9));

    const auto head = DiskFiles{}.inspect(shortSong, kSongHeadLength);
    ASSERT_TRUE(head.has_value());
    EXPECT_EQ(head->length, 9u);
    EXPECT_EQ(head->firstBytes.size(), 9u);
    EXPECT_EQ(checkSongFile(shortSong).refusal, CheckReason::NotMidiFile);
    EXPECT_EQ(readWholeFile(shortSong)->size(), 9u);
}

TEST(FileSize, SongsAndRomImagesPastTheBlockLimitAndEmptyImagesAreRefused)
{
    const std::uintmax_t largest = frame::largestSendableLength();
    MemoryFiles files;
    files.files = {{"big.mid", midiHead(0, 0)}, {"big.bin", midiHead(0, 0)}};
    for (const std::uintmax_t length : {std::uintmax_t{0}, largest, largest + 1}) {
        files.length = length;
        const FileVerdict song = checkSongFile(files, "big.mid");
        const FileVerdict rom = checkRomFile(files, "big.bin");
        const bool tooLarge = length > largest;
        EXPECT_EQ(song.refusal == CheckReason::TooLarge, tooLarge) << length;
        EXPECT_EQ(rom.refusal, tooLarge      ? std::optional(CheckReason::TooLarge)
                               : length == 0 ? std::optional(CheckReason::EmptyRomImage)
                                             : std::nullopt)
            << length;
        EXPECT_EQ(prepareRomImage(files, "bin", {"big.bin"}).refusal, rom.refusal);
    }
}

// A label read back wrongly would send a song to another slot.
TEST(SlotLabels, TwoDigitNamesForSlotsOneToTwentyEight)
{
    EXPECT_EQ(slotLabel(5), "No.05");
    for (const int slot : {1, 9, 28})
        EXPECT_EQ(parseSlotLabel(slotLabel(slot)), slot);
    for (const char* other : {"No.00", "No.29", "No.5", "No.051", "no.05", "", "Yes"})
        EXPECT_FALSE(parseSlotLabel(other).has_value()) << other;
}

} // namespace
