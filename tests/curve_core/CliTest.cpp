// quillon-cli's curve and file commands, run as a user would run them.
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using quillon::testing::TempFolder;

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string slurp(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs the built tool in a folder with the given arguments (quoted for the shell).
CliRun runCli(const std::string& arguments, const std::filesystem::path& folder = std::filesystem::temp_directory_path())
{
    static int counter = 0;
    const auto outFile = std::filesystem::temp_directory_path() /
                         ("quillon-cli-test-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
    const std::string command = "cd '" + folder.string() + "' && '" QUILLON_BINARY_DIR "/src/cli/quillon-cli' " +
                                arguments + " >'" + outFile.string() + ".out' 2>'" + outFile.string() + ".err'";
    CliRun run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = slurp(outFile.string() + ".out");
    run.err = slurp(outFile.string() + ".err");
    std::filesystem::remove(outFile.string() + ".out");
    std::filesystem::remove(outFile.string() + ".err");
    return run;
}

std::vector<std::string> words(const std::string& line)
{
    std::vector<std::string> result;
    std::istringstream in(line);
    for (std::string word; in >> word;)
        result.push_back(word);
    return result;
}

TEST(CurveCli, TableOfAPresetIsOneLineOf128Numbers)
{
    const CliRun run = runCli("curve-table --preset Hard2.crv");
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(run.out.back(), '\n');
    EXPECT_EQ(run.out.find('\n'), run.out.size() - 1) << "one line";
    EXPECT_EQ(run.out.find("  "), std::string::npos) << "single spaces";
    const auto values = words(run.out);
    ASSERT_EQ(values.size(), 128u);
    EXPECT_EQ(values[0], "0");
    EXPECT_EQ(values[1], "9");
    EXPECT_EQ(values[2], "12");
    EXPECT_EQ(values[3], "18");
    EXPECT_EQ(values[10], "43");
    EXPECT_EQ(values[64], "110");
    EXPECT_EQ(values[96], "121");
    EXPECT_EQ(values[126], "126");
    EXPECT_EQ(values[127], "127");
}

TEST(CurveCli, TableFromKeyPointsMatchesThePreset)
{
    const CliRun typed = runCli("curve-table --points 0,5,15,32,56,71,127 --values 0,34,61,86,110,118,127");
    ASSERT_EQ(typed.status, 0) << typed.err;
    EXPECT_EQ(typed.out, runCli("curve-table --preset Hard2.crv").out);
}

TEST(CurveCli, MessageIsUpperCaseHex)
{
    const CliRun fixup = runCli("curve-message --preset Fixup3.crv");
    ASSERT_EQ(fixup.status, 0) << fixup.err;
    std::string expected = "F0 00 20 63 00 02 00 05 01 18 00 01 29";
    for (int i = 0; i < 128; ++i)
        expected += " 7F";
    expected += " F7\n";
    EXPECT_EQ(fixup.out, expected);

    const CliRun identity = runCli("curve-message --points 0,20,40,58,73,97,127 --values 0,20,40,58,73,97,127");
    ASSERT_EQ(identity.status, 0) << identity.err;
    const auto bytes = words(identity.out);
    ASSERT_EQ(bytes.size(), 142u);
    EXPECT_EQ(bytes[13], "00");
    EXPECT_EQ(bytes[13 + 0x2A], "2A");
    EXPECT_EQ(bytes[140], "7F");
}

TEST(CurveCli, BadInputIsOneLineOnStderrAndStatusTwo)
{
    for (const char* arguments :
         {"curve-table --preset Hard3.crv", "curve-table --points 0,20,127 --values 0,20,127",
          "curve-message --points 0,20,40,x,73,97,127 --values 0,20,40,58,73,97,127",
          "curve-table --points 0,40,20,58,73,97,127 --values 0,20,40,58,73,97,127",
          "curve-table --points 0,20,40,58,73,97,127 --values 0,20,40,58,73,97,200",
          "curve-table --preset Hard2.crv --points 0,20,40,58,73,97,127 --values 0,20,40,58,73,97,127",
          "curve-table", "list everything"}) {
        const CliRun run = runCli(arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_TRUE(run.out.empty()) << arguments;
        ASSERT_FALSE(run.err.empty()) << arguments;
        EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << arguments << ": " << run.err;
    }
}

TEST(FileCli, ListsCurvesNewestFirstAndRefusesTooMany)
{
    TempFolder temp;
    temp.touch("Quillon/crv/old.crv");
    temp.touch("Quillon/crv/new.crv");
    temp.touch("Quillon/mid/notacurve.mid");
    std::filesystem::create_directories(temp.path() / "Quillon/bin");

    // Birth times within one millisecond may tie; order the two by waiting.
    std::filesystem::remove(temp.path() / "Quillon/crv/new.crv");
    struct timespec pause {0, 20'000'000};
    nanosleep(&pause, nullptr);
    temp.touch("Quillon/crv/new.crv");

    const CliRun curves = runCli("list curves", temp.path());
    EXPECT_EQ(curves.status, 0) << curves.err;
    EXPECT_EQ(curves.out, "new.crv\nold.crv\n");
    EXPECT_EQ(runCli("list songs", temp.path()).out, "notacurve.mid\n");
    const CliRun roms = runCli("list roms", temp.path());
    EXPECT_EQ(roms.status, 0);
    EXPECT_EQ(roms.out, "");

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
    // Identity key-points with entry 5 of the stored table changed to 99.
    std::string bytes;
    auto put = [&bytes](std::int32_t value) {
        for (int shift = 0; shift < 32; shift += 8)
            bytes += static_cast<char>((static_cast<std::uint32_t>(value) >> shift) & 0xFF);
    };
    for (int v = 0; v < 128; ++v)
        put(v == 5 ? 99 : v);
    for (int pass = 0; pass < 2; ++pass)
        for (int x : {0, 20, 40, 58, 73, 97, 127})
            put(x);
    temp.touch("good.crv", bytes);
    temp.touch("short.crv", bytes.substr(0, 500));

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

} // namespace
