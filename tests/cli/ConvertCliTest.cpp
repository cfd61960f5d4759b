// quillon-cli convert-format0, run as a user would run it.
#include "../player/SmfBuilder.h"
#include "../support/RunCli.h"
#include "../support/TempFolder.h"
#include "player/core/Format0Converter.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace quillon::testing;

CliRun run(const std::string& arguments) { return quillon::testing::runCli("convert-format0 " + arguments); }

Bytes twoTrackSong()
{
    TrackBytes notes;
    notes.event(0, {0x90, 60, 90}).event(96, {60, 0}).end();
    return quillon::testing::smf(1, 96, {notes, notes});
}

// Writes a format 0 file where it is told or beside the song; never overwrites,
// and refuses bad songs with status 2.
TEST(ConvertCli, WritesAFormat0FileAndNeverOverwrites)
{
    const quillon::testing::TempFolder temp;
    const fs::path& folder = temp.path();
    const fs::path in = temp.write("song.mid", twoTrackSong());
    const CliRun named = run(quoted(in) + " " + quoted(folder / "out.mid"));
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(named.out, (folder / "out.mid").string() + "\n");
    // What the conversion writes and which free name it takes are the converter's own tests'.
    EXPECT_EQ(readBytes(folder / "out.mid"), *quillon::player::convertToFormat0(twoTrackSong()));

    const CliRun beside = run(quoted(in));
    ASSERT_EQ(beside.status, 0) << beside.err;
    EXPECT_EQ(beside.out, (folder / "song-0.mid").string() + "\n");
    EXPECT_EQ(readBytes(folder / "song-0.mid"), readBytes(folder / "out.mid"));

    const fs::path existing = temp.write("taken.mid", {'o', 'l', 'd'});
    const CliRun refused = run(quoted(in) + " " + quoted(existing));
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("exists"), std::string::npos) << refused.err;
    EXPECT_EQ(readBytes(existing), (Bytes{'o', 'l', 'd'}));

    const fs::path text = temp.write("notes.mid", {'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(run(quoted(text) + " " + quoted(folder / "x.mid")).status, 2);
    EXPECT_FALSE(fs::exists(folder / "x.mid"));

    // Failures carry the system's own reason.
    const CliRun absent = run(quoted(folder / "absent.mid") + " " + quoted(folder / "y.mid"));
    EXPECT_EQ(absent.status, 2);
    EXPECT_NE(absent.err.find("No such file or directory"), std::string::npos) << absent.err;
    EXPECT_FALSE(fs::exists(folder / "y.mid"));
    const CliRun nowhere = run(quoted(in) + " " + quoted(folder / "no folder" / "z.mid"));
    EXPECT_EQ(nowhere.status, 1);
    EXPECT_NE(nowhere.err.find("z.mid: No such file or directory"), std::string::npos) << nowhere.err;
}

} // namespace
