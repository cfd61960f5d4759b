// The data folder shipped with the program: `quillon-cli make-demo` writes
// exactly the shipped files again (so they have no other source); its songs are
// format-0 MIDI files the keyboard takes, its curves read back.
#include "../support/RunCli.h"
#include "../support/TempFolder.h"
#include "curve/core/CurveFile.h"
#include "transfer/core/SongCheck.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using quillon::testing::readBytes;

TEST(DemoData, MakeDemoWritesTheShippedFilesWhichAreSendableSongsAndReadableCurves)
{
    const fs::path shipped = QUILLON_DATA_DIR;
    quillon::testing::TempFolder temp;
    const fs::path folder = temp.path() / "Quillon";
    const auto run = quillon::testing::runCli("make-demo --folder " + quillon::testing::quoted(folder));
    ASSERT_EQ(run.status, 0) << run.err;
    int compared = 0;
    for (const std::string sub : {"mid", "bin", "crv"})
        for (const auto& entry : fs::directory_iterator(shipped / sub)) {
            const fs::path fresh = folder / sub / entry.path().filename();
            EXPECT_EQ(readBytes(fresh), readBytes(entry.path())) << fresh;
            EXPECT_TRUE(sub != "crv" || quillon::curve::readCurveFile(fresh).ok()) << fresh;
            EXPECT_TRUE(sub != "mid" || !quillon::transfer::checkSongHead(readBytes(fresh))) << fresh;
            ++compared;
        }
    EXPECT_EQ(compared, 7); // three songs, one ROM image, three curves
    EXPECT_GT(fs::file_size(shipped / "helpfiles" / "Index.htm"), 1000u);
}

} // namespace
