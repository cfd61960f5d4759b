// quillon-cli's curve, file, frame, song-check and conversion commands, run as a user would run them.
#include "../player/SmfBuilder.h"
#include "../support/RunCli.h"
#include "../support/TempFolder.h"
#include "curve/core/CurveFile.h"
#include "curve/core/Presets.h"
#include "curve/core/VelocityCurve.h"
#include "player/core/Format0Converter.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace quillon::testing;

const std::string kFormat0 = std::string("MThd\0\0\0\6\0\0\0\1\0\x60", 14);
const std::string kFormat1 = std::string("MThd\0\0\0\6\0\1\0\1\0\x60", 14);

// The presets' numbers and the messages' bytes are the cores' to prove; here,
// that the commands print exactly them, as upper-case hex, one message a line.
TEST(PrintingCli, CurveTablesMessagesAndFramesFromPresetsKeyPointsAndSongs)
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

    TempFolder temp;
    const CliRun control = runCli("frames --control");
    EXPECT_EQ(control.status, 0);
    EXPECT_EQ(control.out, "F0 00 20 63 00 02 00 00 00 01 00 01 29 F7\n");

    const CliRun frames = runCli("frames --song " + quoted(temp.touch("a.mid", kFormat0)) + " --slot 12");
    EXPECT_EQ(frames.status, 0);
    EXPECT_EQ(frames.out,
              "F0 00 20 63 00 01 00 02 00 0C 00 01 29 F7\n"
              "F0 00 20 63 00 01 00 7F 00 01 00 00 89 00 4D 54 68 64 00 00 00 00 06 00 00 00 01 00 60 F7\n");
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

    // 15 MiB needs more blocks than a header counts: refused with its size before anything is sent.
    const auto huge = quoted(temp.touch("huge.mid", kFormat0 + std::string((15u << 20) - 14, '\0')));
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
    EXPECT_EQ(runCli("list curves", temp.path()).out, "a.crv\n");
    // A line break (or backslash) inside a name is escaped: one entry, one line; the newer comes first.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    temp.touch("Quillon/mid/two\nlines\\n.mid");
    EXPECT_EQ(runCli("list songs", temp.path()).out, "two\\nlines\\\\n.mid\nsong.mid\n");

    for (int i = 0; i < 300; ++i)
        temp.touch("Quillon/bin/r" + std::to_string(i) + ".bin");
    const CliRun tooMany = runCli("list roms", temp.path());
    EXPECT_EQ(tooMany.status, 1);
    EXPECT_EQ(tooMany.out + tooMany.err, "The file name is excess!\n");
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
}

// add does what a drop onto the main window does: each file copied only when
// it is of its kind, never through a link, never cutting the old file short.
TEST(FileCli, AddCopiesOnlyFilesOfTheirKindAndReplacesWholeOrNotAtAll)
{
    TempFolder temp;
    temp.touch("Quillon/mid/old.mid", kFormat1);
    fs::create_symlink(temp.touch("outside/victim.mid", "keep"), temp.path() / "Quillon/mid/linked.mid");
    fs::create_symlink(temp.touch("passwd", "root:x:0:0"), temp.path() / "pw.mid");
    temp.touch("old.mid", kFormat0);
    temp.touch("linked.mid", kFormat0);
    temp.touch("empty.bin", "");
    ASSERT_EQ(::truncate(temp.touch("huge.bin").c_str(), off_t{2} << 30), 0); // sparse: costs no disk
    const std::pair<std::string, std::string> runs[] = {
        {"--replace linked.mid", "Quillon/mid/linked.mid\n"}, // the link is replaced, its target kept
        {"old.mid", "Quillon/mid/old-2.mid\n"},
        {"pw.mid", "pw.mid: not a MIDI file"},
        {"empty.bin", "empty.bin: the ROM image is empty"},
        {"huge.bin", "2147483648 bytes, more than the 14679168"},
    };
    for (const auto& [arguments, said] : runs) {
        const CliRun run = runCli("add " + arguments, temp.path());
        EXPECT_EQ(run.status, run.err.empty() ? 0 : 1) << arguments;
        EXPECT_NE((run.out + run.err).find(said), std::string::npos) << arguments << ": " << run.out << run.err;
    }
    EXPECT_EQ(readText(temp.path() / "outside/victim.mid"), "keep");
    EXPECT_EQ(readText(temp.path() / "Quillon/mid/linked.mid"), kFormat0);
    EXPECT_EQ(readText(temp.path() / "Quillon/mid/old.mid"), kFormat1);
    EXPECT_EQ(runCli("list songs", temp.path()).out, "old-2.mid\nlinked.mid\nold.mid\n");
    EXPECT_FALSE(fs::exists(temp.path() / "Quillon/bin"));
}

// Writes a format 0 file where it is told or beside the song; never overwrites.
TEST(ConvertCli, WritesAFormat0FileAndNeverOverwrites)
{
    const TempFolder temp;
    const fs::path& folder = temp.path();
    TrackBytes notes;
    notes.event(0, {0x90, 60, 90}).event(96, {60, 0}).end();
    const Bytes song = smf(1, 96, {notes, notes});
    const auto convert = [](const std::string& arguments) { return runCli("convert-format0 " + arguments); };
    const fs::path in = temp.write("song.mid", song);
    const CliRun named = convert(quoted(in) + " " + quoted(folder / "out.mid"));
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(named.out, (folder / "out.mid").string() + "\n");
    // What the conversion writes and which free name it takes are the converter's own tests'.
    EXPECT_EQ(readBytes(folder / "out.mid"), *quillon::player::convertToFormat0(song));

    const CliRun beside = convert(quoted(in));
    ASSERT_EQ(beside.status, 0) << beside.err;
    EXPECT_EQ(beside.out, (folder / "song-0.mid").string() + "\n");
    EXPECT_EQ(readBytes(folder / "song-0.mid"), readBytes(folder / "out.mid"));

    const fs::path existing = temp.write("taken.mid", {'o', 'l', 'd'});
    const CliRun refused = convert(quoted(in) + " " + quoted(existing));
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("exists"), std::string::npos) << refused.err;
    EXPECT_EQ(readBytes(existing), (Bytes{'o', 'l', 'd'}));

    // A write that fails is reported with the system's reason, never as done.
    const CliRun nowhere = convert(quoted(in) + " " + quoted(folder / "no folder" / "z.mid"));
    EXPECT_EQ(nowhere.status, 1);
    EXPECT_NE(nowhere.err.find("z.mid: No such file or directory"), std::string::npos) << nowhere.err;
}

} // namespace
