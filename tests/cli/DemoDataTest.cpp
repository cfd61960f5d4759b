// The data folder shipped with the program: its songs are format-0 MIDI files
// with notes, and `quillon-cli make-demo` writes exactly the shipped files
// again (so they have no other source), curves that read back among them.
#include "../support/RunCli.h"
#include "../support/TempFolder.h"
#include "curve/core/CurveFile.h"
#include "player/core/MidiFile.h"
#include "transfer/core/SongCheck.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

namespace {

namespace fs = std::filesystem;
using quillon::testing::readBytes;

const fs::path kShipped = QUILLON_DATA_DIR;

std::vector<fs::path> filesIn(const fs::path& folder, const char* extension)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == extension)
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST(DemoData, ShippedSongsAreFormatZeroWithNotes)
{
    const auto songs = filesIn(kShipped / "mid", ".mid");
    ASSERT_EQ(songs.size(), 3u);
    for (const fs::path& song : songs) {
        const auto bytes = readBytes(song);
        EXPECT_FALSE(quillon::transfer::checkSongHead(bytes).has_value()) << song; // format 0 only
        const auto parsed = quillon::player::readMidiFile(bytes);
        ASSERT_TRUE(parsed.ok()) << song;
        ASSERT_EQ(parsed->tracks.size(), 1u);
        int noteOns = 0;
        for (const auto& event : parsed->tracks[0].events)
            noteOns += event.kind == quillon::player::EventKind::Channel && (event.status & 0xF0) == 0x90 ? 1 : 0;
        EXPECT_GE(noteOns, 8) << song;
        EXPECT_GT(parsed->tracks[0].endTick, 0u);
    }
}

TEST(DemoData, MakeDemoWritesTheShippedFiles)
{
    quillon::testing::TempFolder temp;
    const fs::path folder = temp.path() / "Quillon";
    const auto run = quillon::testing::runCli("make-demo --folder " + quillon::testing::quoted(folder));
    ASSERT_EQ(run.status, 0) << run.err;
    int compared = 0;
    for (const char* sub : {"mid", "bin", "crv"})
        for (const auto& entry : fs::directory_iterator(kShipped / sub)) {
            const fs::path fresh = folder / sub / entry.path().filename();
            EXPECT_EQ(readBytes(fresh), readBytes(entry.path())) << fresh;
            EXPECT_TRUE(std::string(sub) != "crv" || quillon::curve::readCurveFile(fresh).ok()) << fresh;
            ++compared;
        }
    EXPECT_EQ(compared, 7); // three songs, one ROM image, three curves
    EXPECT_GT(fs::file_size(kShipped / "helpfiles" / "Index.htm"), 1000u);
}

} // namespace
