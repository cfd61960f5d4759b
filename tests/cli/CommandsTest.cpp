// quillon-cli's curve, file, frame and song-check commands, run as a user would run them.
#include "../support/RunCli.h"
#include "../support/TempFolder.h"
#include "curve/core/CurveFile.h"
#include "curve/core/Presets.h"
#include "curve/core/VelocityCurve.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <thread>

namespace {

using namespace quillon::testing;

// The presets' numbers and the message's bytes are the curve core's to prove;
// here, that the commands print exactly them.
TEST(CurveCli, TableAndMessageAreOneLineFromAPresetOrKeyPoints)
{
    const CliRun run = runCli("curve-table --preset Hard2.crv");
    ASSERT_EQ(run.status, 0) << run.err;
    std::string expected;
    const auto& hard2 = quillon::curve::presetCurves().at(*quillon::curve::findPreset("Hard2.crv"));
    for (const auto value : quillon::curve::computeCurveTable(hard2.points))
        expected += (expected.empty() ? "" : " ") + std::to_string(value);
    EXPECT_EQ(run.out, expected + "\n");

    const CliRun typed = runCli("curve-table --points 0,5,15,32,56,71,127 --values 0,34,61,86,110,118,127");
    EXPECT_EQ(typed.status, 0) << typed.err;
    EXPECT_EQ(typed.out, run.out);

    const CliRun fixup = runCli("curve-message --preset Fixup3.crv");
    ASSERT_EQ(fixup.status, 0) << fixup.err;
    std::string message = "F0 00 20 63 00 02 00 05 01 18 00 01 29";
    for (int i = 0; i < 128; ++i)
        message += " 7F";
    EXPECT_EQ(fixup.out, message + " F7\n");
}

const std::string kFormat0 = std::string("MThd\0\0\0\6\0\0\0\1\0\x60", 14);
const std::string kFormat1 = std::string("MThd\0\0\0\6\0\1\0\1\0\x60", 14);

TEST(FramesCli, PrintsUpperCaseHexOneMessagePerLine)
{
    TempFolder temp;
    const CliRun control = runCli("frames --control");
    EXPECT_EQ(control.status, 0);
    EXPECT_EQ(control.out, "F0 00 20 63 00 02 00 00 00 01 00 01 29 F7\n");

    const CliRun frames = runCli("frames --song " + quoted(temp.touch("a.mid", kFormat0)) + " --slot 12");
    EXPECT_EQ(frames.status, 0);
    EXPECT_EQ(frames.out,
              "F0 00 20 63 00 01 00 02 00 0C 00 01 29 F7\n"
              "F0 00 20 63 00 01 00 7F 00 01 00 00 89 00 4D 54 68 64 00 00 00 00 06 00 00 00 01 00 60 F7\n");

    const CliRun rom = runCli("frames --rom " + quoted(temp.touch("rom.bin", std::string(7168, '\x80'))));
    EXPECT_EQ(rom.status, 0);
    EXPECT_EQ(std::count(rom.out.begin(), rom.out.end(), '\n'), 9); // header and eight full blocks
    EXPECT_EQ(rom.out.substr(0, 42), "F0 00 20 63 00 01 00 04 00 18 00 08 29 F7\n");
}

TEST(CheckSongCli, ReportsEachFileAndFailsWhenAnyIsRefused)
{
    TempFolder temp;
    const auto good = quoted(temp.touch("good.mid", kFormat0 + std::string(3584 - 14, '\0')));
    const CliRun mixed = runCli("check-song " + good + " " + quoted(temp.touch("other.mid", kFormat1)) + " " +
                                quoted(temp.path() / "absent.mid"));
    EXPECT_EQ(mixed.status, 1);
    EXPECT_EQ(mixed.out, "ok\t 3.50K\n"
                         "refused\t   Sorry, this program only process MIDI file format 0!\\n \\nYou can use the tool "
                         "Smfshift to change the midi file format!\n"
                         "refused\tThe file can't be opened,please Select Right Download File, try again!\n");

    // A name starting with "-" is a file, not an option; no "--" needed.
    temp.touch("-lead.mid", kFormat0);
    const CliRun dash = runCli("check-song -lead.mid", temp.path());
    EXPECT_EQ(dash.status, 0) << dash.err;
    EXPECT_EQ(dash.out, "ok\t 0.01K\n");

    // 15 MiB needs more blocks than a header counts: refused with the sizes, and never sent.
    const auto huge = quoted(temp.touch("huge.mid", kFormat0 + std::string((15u << 20) - 14, '\0')));
    const std::string why = "The file is too large to be sent: ";
    const std::string sizes = " (15728640 bytes).\\r\\nThe largest file that can be sent is 14679168 bytes.";
    EXPECT_EQ(runCli("check-song " + huge).out, "refused\t" + why + temp.path().string() + "/huge.mid" + sizes + "\n");
    const CliRun send = runCli("send-songs " + huge);
    EXPECT_EQ(send.status, 2);
    EXPECT_EQ(send.out, "");
    EXPECT_NE(send.err.find("huge.mid (15728640 bytes)"), std::string::npos) << send.err;
}

TEST(Cli, BadInputIsOneLineOnStandardErrorWithStatusTwo)
{
    TempFolder temp;
    const std::string song = quoted(temp.touch("a.mid", kFormat0));
    for (const std::string& arguments :
         {std::string("curve-table --preset Hard3.crv"), std::string("curve-table --points 0,20,127 --values 0,20,127"),
          std::string("curve-message --points 0,20,40,x,73,97,127 --values 0,20,40,58,73,97,127"),
          std::string("curve-table --points 0,40,20,58,73,97,127 --values 0,20,40,58,73,97,127"),
          std::string("curve-table --points 0,20,40,58,73,97,127 --values 0,20,40,58,73,97,200"),
          std::string("curve-table --preset Hard2.crv --points 0,20,40,58,73,97,127 --values 0,20,40,58,73,97,127"),
          std::string("curve-table"), std::string("list everything"), std::string("check-song"), std::string("frames"),
          "frames --song " + song, "frames --song " + song + " --slot 29", "frames --song " + song + " --slot x",
          "frames --rom " + quoted(temp.path() / "absent.bin"), "send-rom " + quoted(temp.touch("empty.bin", ""))}) {
        const CliRun run = runCli(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_TRUE(run.out.empty()) << arguments;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << arguments << ": " << run.err;
        EXPECT_EQ(run.err.back(), '\n') << arguments;
    }
}

TEST(FileCli, ListsNewestFirstAndRefusesTooMany)
{
    TempFolder temp;
    temp.touch("Quillon/crv/a.crv");
    temp.touch("Quillon/mid/song.mid");
    const CliRun curves = runCli("list curves", temp.path());
    EXPECT_EQ(curves.status, 0) << curves.err;
    EXPECT_EQ(curves.out, "a.crv\n");
    EXPECT_EQ(runCli("list songs", temp.path()).out, "song.mid\n");
    // A line break (or backslash) inside a name is escaped: one entry, one line; the newer comes first.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    temp.touch("Quillon/mid/two\nlines\\n.mid");
    EXPECT_EQ(runCli("list songs", temp.path()).out, "two\\nlines\\\\n.mid\nsong.mid\n");

    for (int i = 0; i < 300; ++i)
        temp.touch("Quillon/bin/r" + std::to_string(i) + ".bin");
    const CliRun tooMany = runCli("list roms", temp.path());
    EXPECT_EQ(tooMany.status, 1);
    EXPECT_EQ(tooMany.out, "");
    EXPECT_EQ(tooMany.err, "The file name is excess!\n");
}

TEST(FileCli, CurveInfoShowsAFileOrItsRefusal)
{
    TempFolder temp;
    // The default (identity) curve, entry 5 of its stored table changed to 99; the layout is CurveFileTest's.
    auto stored = quillon::curve::storedCurveOf(quillon::curve::VelocityCurve());
    stored.table[5] = 99;
    const auto bytes = quillon::curve::encodeCurveFile(stored);
    temp.touch("good.crv", std::string(bytes.begin(), bytes.end()));
    temp.touch("short.crv", std::string(bytes.begin(), bytes.begin() + 500));

    const CliRun good = runCli("crv-info good.crv", temp.path());
    EXPECT_EQ(good.status, 0) << good.err;
    EXPECT_NE(good.out.find("key-points x: 0 20 40 58 73 97 127\n"), std::string::npos) << good.out;
    EXPECT_NE(good.out.find("table: 0 1 2 3 4 99 6 7"), std::string::npos) << good.out;
    EXPECT_NE(good.out.find("from entry 5"), std::string::npos) << good.out;

    const CliRun refused = runCli("crv-info short.crv", temp.path());
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out.rfind("refused\t", 0), 0u) << refused.out;
    EXPECT_NE(refused.out.find("500"), std::string::npos) << refused.out;

    // A pipe named like a curve is refused at once: reading it would wait for a writer.
    ASSERT_EQ(::mkfifo((temp.path() / "pipe.crv").c_str(), 0644), 0);
    auto piped = std::async(std::launch::async, [&] { return runCli("crv-info pipe.crv", temp.path()); });
    bool blocked = false;
    while (piped.wait_for(std::chrono::seconds(blocked ? 0 : 10)) != std::future_status::ready) {
        blocked = true; // play the writer so the run can end and the test report it
        const int writer = ::open((temp.path() / "pipe.crv").c_str(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const CliRun pipe = piped.get();
    EXPECT_FALSE(blocked) << "crv-info waited on a pipe";
    EXPECT_EQ(pipe.status, 1);
    EXPECT_EQ(pipe.out, "refused\tcannot open pipe.crv: it is not a regular file\n");
}

// add does what a drop onto the main window does: each file copied only when
// it is of its kind, never through a link, never cutting the old file short.
TEST(FileCli, AddCopiesOnlyFilesOfTheirKindAndReplacesWholeOrNotAtAll)
{
    TempFolder temp;
    temp.touch("Quillon/mid/old.mid", kFormat1);
    std::filesystem::create_symlink(temp.touch("outside/victim.mid", "keep"), temp.path() / "Quillon/mid/linked.mid");
    std::filesystem::create_symlink(temp.touch("passwd", "root:x:0:0"), temp.path() / "pw.mid");
    temp.touch("old.mid", kFormat0);
    temp.touch("linked.mid", kFormat0);
    temp.touch("a.crv", "ab");
    temp.touch("empty.bin", "");
    ASSERT_EQ(::truncate(temp.touch("huge.bin").c_str(), off_t{2} << 30), 0); // sparse: costs no disk
    const std::pair<std::string, std::string> runs[] = {
        {"--replace linked.mid", "Quillon/mid/linked.mid\n"}, // the link is replaced, its target kept
        {"old.mid", "Quillon/mid/old-2.mid\n"},
        {"pw.mid", "pw.mid: not a MIDI file"},
        {"a.crv", "a.crv: a curve file holds 568 bytes, this one only 2"},
        {"empty.bin", "empty.bin: the ROM image is empty"},
        {"huge.bin", "2147483648 bytes, more than the 14679168"},
        {"notes.txt", "notes.txt: not a song, ROM image, curve or SysEx file"},
    };
    for (const auto& [arguments, said] : runs) {
        const CliRun run = runCli("add " + arguments, temp.path());
        EXPECT_EQ(run.status, run.err.empty() ? 0 : 1) << arguments;
        EXPECT_NE((run.out + run.err).find(said), std::string::npos) << arguments << ": " << run.out << run.err;
    }
    EXPECT_EQ(quillon::testing::readText(temp.path() / "outside/victim.mid"), "keep");
    EXPECT_EQ(quillon::testing::readText(temp.path() / "Quillon/mid/linked.mid"), kFormat0);
    EXPECT_EQ(quillon::testing::readText(temp.path() / "Quillon/mid/old.mid"), kFormat1);
    EXPECT_EQ(runCli("list songs", temp.path()).out, "old-2.mid\nlinked.mid\nold.mid\n");
    EXPECT_FALSE(std::filesystem::exists(temp.path() / "Quillon/bin"));

    // A full disk: the old song stays whole, no temporary is left, and the message says why.
    const std::filesystem::path small = temp.path() / "small";
    std::filesystem::create_directory(small);
    if (::mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "no small tmpfs to fill (mounting needs root): " << std::strerror(errno);
    const struct Unmount {
        const char* at;
        ~Unmount() { ::umount2(at, MNT_DETACH); }
    } unmount{small.c_str()};
    temp.touch("small/Quillon/mid/old.mid", kFormat1);
    temp.touch("small/filler", std::string(60 << 10, 'f'));
    temp.touch("big/old.mid", kFormat0 + std::string(16 << 10, '\0'));
    const CliRun full = runCli("add --replace ../big/old.mid", small);
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("No space left on device"), std::string::npos) << full.err;
    EXPECT_EQ(quillon::testing::readText(small / "Quillon/mid/old.mid"), kFormat1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(small / "Quillon/mid"), {}), 1); // nothing left over
}

} // namespace
