// quillon-cli frames and check-song, run as a user would run them.
#include "../support/RunCli.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using quillon::testing::CliRun;

class Cli : public ::testing::Test {
protected:
    fs::path folder = fs::temp_directory_path() / ("quillon-cli-frames-" + std::to_string(::getpid()));

    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override { fs::remove_all(folder); }

    fs::path write(const std::string& name, const std::string& content)
    {
        const fs::path path = folder / name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    static CliRun run(const std::string& arguments) { return quillon::testing::runCli(arguments); }
};

const std::string kFormat0 = std::string("MThd\0\0\0\6\0\0\0\1\0\x60", 14);
const std::string kFormat1 = std::string("MThd\0\0\0\6\0\1\0\1\0\x60", 14);

TEST_F(Cli, FramesPrintsUpperCaseHexOneMessagePerLine)
{
    const CliRun control = run("frames --control");
    EXPECT_EQ(control.status, 0);
    EXPECT_EQ(control.out, "F0 00 20 63 00 02 00 00 00 01 00 01 29 F7\n");

    const auto song = write("a.mid", kFormat0);
    const CliRun frames = run("frames --song '" + song.string() + "' --slot 12");
    EXPECT_EQ(frames.status, 0);
    EXPECT_EQ(frames.out,
              "F0 00 20 63 00 01 00 02 00 0C 00 01 29 F7\n"
              "F0 00 20 63 00 01 00 7F 00 01 00 00 89 00 4D 54 68 64 00 00 00 00 06 00 00 00 01 00 60 F7\n");

    const auto image = write("rom.bin", std::string(7168, '\x80'));
    const CliRun rom = run("frames --rom '" + image.string() + "'");
    EXPECT_EQ(rom.status, 0);
    std::istringstream lines(rom.out);
    std::string line;
    int count = 0;
    while (std::getline(lines, line))
        ++count;
    EXPECT_EQ(count, 9); // header and eight full blocks
    EXPECT_EQ(rom.out.substr(0, 42), "F0 00 20 63 00 01 00 04 00 18 00 08 29 F7\n");
}

TEST_F(Cli, CheckSongReportsEachFileAndFailsWhenAnyIsRefused)
{
    const auto good = write("good.mid", kFormat0 + std::string(3584 - 14, '\0'));
    const auto other = write("other.mid", kFormat1);
    const CliRun ok = run("check-song '" + good.string() + "'");
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out, "ok\t 3.50K\n");

    const CliRun mixed =
        run("check-song '" + good.string() + "' '" + other.string() + "' '" + (folder / "absent.mid").string() + "'");
    EXPECT_EQ(mixed.status, 1);
    EXPECT_EQ(mixed.out, "ok\t 3.50K\n"
                         "refused\t   Sorry, this program only process MIDI file format 0!\\n \\nYou can use the tool "
                         "Smfshift to change the midi file format!\n"
                         "refused\tThe file can't be opened,please Select Right Download File, try again!\n");
}

TEST_F(Cli, BadInputIsOneLineOnStandardErrorWithStatusTwo)
{
    const auto song = write("a.mid", kFormat0);
    const std::vector<std::string> badArguments = {"check-song",
                                                   "frames",
                                                   "frames --song '" + song.string() + "'",
                                                   "frames --song '" + song.string() + "' --slot 29",
                                                   "frames --song '" + song.string() + "' --slot x",
                                                   "frames --rom '" + (folder / "absent.bin").string() + "'"};
    for (const std::string& arguments : badArguments) {
        const CliRun bad = run(arguments);
        EXPECT_EQ(bad.status, 2) << arguments;
        EXPECT_TRUE(bad.out.empty()) << arguments;
        EXPECT_EQ(std::count(bad.err.begin(), bad.err.end(), '\n'), 1) << arguments << ": " << bad.err;
    }
}

} // namespace
