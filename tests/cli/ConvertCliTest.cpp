// quillon-cli convert-format0, run as a user would run it.
#include "../player/SmfBuilder.h"
#include "../support/RunCli.h"
#include "player/core/MidiFile.h"
#include "player/core/Timeline.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;
using quillon::testing::Bytes;
using quillon::testing::CliRun;
using quillon::testing::TrackBytes;

class ConvertCli : public ::testing::Test {
protected:
    fs::path folder = fs::temp_directory_path() / ("quillon-cli-convert-" + std::to_string(::getpid()));

    void SetUp() override { fs::create_directories(folder); }
    void TearDown() override { fs::remove_all(folder); }

    fs::path write(const std::string& name, const Bytes& bytes)
    {
        std::ofstream out(folder / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return folder / name;
    }
    static Bytes read(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static CliRun run(const std::string& arguments) { return quillon::testing::runCli("convert-format0 " + arguments); }

    static Bytes twoTrackSong()
    {
        TrackBytes tempo;
        tempo.tempo(0, 250000).tempo(96, 1000000).end();
        TrackBytes notes;
        notes.event(0, {0x90, 60, 90}).event(96, {60, 0}).event(96, {0x90, 64, 90}).end(96);
        return quillon::testing::smf(1, 96, {tempo, notes});
    }
};

TEST_F(ConvertCli, WritesAFormat0FileNamedOrBesideTheSong)
{
    const fs::path in = write("song.mid", twoTrackSong());
    const CliRun named = run("'" + in.string() + "' '" + (folder / "out.mid").string() + "'");
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_EQ(named.out, (folder / "out.mid").string() + "\n");
    auto file = quillon::player::readMidiFile(read(folder / "out.mid"));
    ASSERT_TRUE(file.ok());
    EXPECT_EQ(file->format, 0);
    EXPECT_EQ(quillon::player::loadTimeline(read(folder / "out.mid"))->lengthMicros, 2250000);

    for (const char* expected : {"song-0.mid", "song-0-2.mid"}) {
        const CliRun beside = run("'" + in.string() + "'");
        ASSERT_EQ(beside.status, 0) << beside.err;
        EXPECT_EQ(beside.out, (folder / expected).string() + "\n");
        EXPECT_EQ(read(folder / expected), read(folder / "out.mid"));
    }
}

TEST_F(ConvertCli, NeverOverwritesAndRefusesBadSongsWithStatus2)
{
    const fs::path in = write("in.mid", twoTrackSong());
    const fs::path existing = write("taken.mid", {'o', 'l', 'd'});
    const CliRun refused = run("'" + in.string() + "' '" + existing.string() + "'");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("exists"), std::string::npos) << refused.err;
    EXPECT_EQ(read(existing), (Bytes{'o', 'l', 'd'}));

    const fs::path text = write("notes.mid", {'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(run("'" + text.string() + "' '" + (folder / "x.mid").string() + "'").status, 2);
    EXPECT_EQ(run("'" + (folder / "absent.mid").string() + "' '" + (folder / "y.mid").string() + "'").status, 2);
    EXPECT_FALSE(fs::exists(folder / "x.mid"));
    EXPECT_FALSE(fs::exists(folder / "y.mid"));
}

} // namespace
