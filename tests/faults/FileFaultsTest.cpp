// Files as users really have them: odd names and the longest the file system
// takes; things in the song folder that are not files; songs changed or removed
// around Send.
#include "Wire.h"

#include "base/core/FileListing.h"
#include "curve/core/CurveFile.h"
#include "player/core/SongFacts.h"
#include "transfer/core/FileAccess.h"
#include "transfer/core/SongCheck.h"
#include "transfer/core/TransferSnapshot.h"

#include "../support/TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <set>

using namespace quillon;
using namespace quillon::faults;

namespace {

// A format 0 song whose bytes after the header depend on the seed.
Bytes songBytes(std::uint8_t seed, std::size_t extra = 40)
{
    Bytes song = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96};
    const Bytes body = fileData(extra, seed);
    song.insert(song.end(), body.begin(), body.end());
    return song;
}

std::vector<std::string> oddNames()
{
    return {
        "  leading and trailing spaces  .mid",
        "Élégie für Klavier – Übung №5.mid",
        "emoji 🎹 keys.mid",
        "star*and?question[1].mid",
        "-starts-with-dash.mid",
        "semi;colon & 'quotes' \"double\".mid",
        "tab\tinside.mid",
        "Case.mid",
        "case.mid",
        std::string(251, 'L') + ".mid", // 255 bytes: the longest name ext4 takes
        std::string(120, 'x') + "ÄÖÜ" + std::string(120, 'y') + ".mid",
    };
}

// A song folder of its own; songs are checked and read from it as the Send command does.
class SongFolder : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::create_directories(folder); }

    void writeFile(const std::string& name, const Bytes& bytes) const { temp.write("mid/" + name, bytes); }
    transfer::Preparation prepare(const std::vector<std::string>& names) const
    {
        return transfer::prepareSongs(transfer::FileInspector::disk(), folder, names);
    }
    // What Send checks and holds of the list's files as they are in the folder now.
    auto snapshotOf(const transfer::TransferList& list) const
    {
        return transfer::takeSnapshot(list, [this](const std::string& name) { return folder / name; });
    }

    quillon::testing::TempFolder temp;
    const std::filesystem::path folder = temp.path() / "mid";
};

} // namespace

// Listed and sent under their own names; how many a folder may hold is the listing's own test.
TEST_F(SongFolder, OddNamesAreListedAndSentUnderTheirOwnNames)
{
    const auto names = oddNames();
    std::map<std::string, Bytes> contents;
    for (std::size_t i = 0; i < names.size(); ++i) {
        contents[names[i]] = songBytes(static_cast<std::uint8_t>(i));
        writeFile(names[i], contents[names[i]]);
    }
    const auto listed = listing::listFolder(folder, "*.mid");
    EXPECT_EQ(std::multiset<std::string>(listed.names.begin(), listed.names.end()),
              std::multiset<std::string>(names.begin(), names.end()));

    // Each odd name reaches the keyboard from the file of exactly its name.
    const auto prepared = prepare(names);
    ASSERT_TRUE(prepared.ok()) << prepared.refusedFile;
    Wire wire(prepared.list, [this](const std::string& name) { return transfer::readWholeFile(folder / name); });
    ASSERT_TRUE(wire.run());
    for (const auto& entry : prepared.list.entries)
        EXPECT_EQ(wire.keyboard.song(entry.slot), contents.at(entry.fileName)) << entry.fileName;
}

TEST_F(SongFolder, FoldersPipesAndDanglingLinksNeitherListNorHang)
{
    std::filesystem::create_directories(folder / "a folder.mid");
    ASSERT_EQ(::mkfifo((folder / "a pipe.mid").c_str(), 0644), 0);
    std::filesystem::create_symlink(folder / "nowhere.mid", folder / "dangling.mid");
    writeFile("real.mid", songBytes(5));

    const auto listed = listing::listFolder(folder, "*.mid");
    EXPECT_EQ(listed.names, std::vector<std::string>{"real.mid"});

    // Checking or reading a pipe by name (as a song or a curve) must not wait for a writer that never comes.
    auto check = std::async(std::launch::async, [&] {
        const auto verdict = transfer::checkSongFile(folder / "a pipe.mid");
        const auto read = transfer::readWholeFile(folder / "a pipe.mid");
        const auto details = player::readSongBytes(folder / "a pipe.mid"); // the list's tooltip
        const auto curve = curve::readCurveFile(folder / "a pipe.mid");
        return !verdict.ok() && verdict.refusal == transfer::CheckReason::CannotOpenFile && !read.ok() && !details &&
               !curve.ok() && curve.reason().find("not a regular file") != std::string::npos;
    });
    if (check.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // Play the writer until every blocked open has returned, so the test can end, then fail.
        while (check.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
            const int writer = ::open((folder / "a pipe.mid").c_str(), O_WRONLY | O_NONBLOCK);
            if (writer >= 0)
                ::close(writer);
        }
        FAIL() << "opening a pipe in the song folder blocked";
    }
    EXPECT_TRUE(check.get());

    // A 2 GiB song (sparse) is refused by its size before a byte of it is read.
    writeFile("huge.mid", songBytes(6));
    ASSERT_EQ(::truncate((folder / "huge.mid").c_str(), off_t{2} << 30), 0);
    rusage before{}, after{};
    ::getrusage(RUSAGE_SELF, &before);
    const auto details = player::readSongBytes(folder / "huge.mid");
    ::getrusage(RUSAGE_SELF, &after);
    ASSERT_FALSE(details);
    EXPECT_NE(details.reason().find("2147483648 bytes"), std::string::npos) << details.reason();
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 << 10) << "KiB more memory";
}

// Changed after Send, a song goes out as it was checked; changed or gone
// before Send, it stops the run before anything is sent.
TEST_F(SongFolder, TheBytesCheckedAtSendAreTheBytesSentAndAFileChangedBeforeSendIsRefused)
{
    const Bytes first = songBytes(1, 2000), second = songBytes(2, 100), third = songBytes(3, 100);
    writeFile("first.mid", first);
    writeFile("second.mid", second);
    writeFile("third.mid", third);
    const auto prepared = prepare({"first.mid", "second.mid", "third.mid"});
    ASSERT_TRUE(prepared.ok());
    const auto snapshot = snapshotOf(prepared.list);
    ASSERT_TRUE(snapshot->ok());

    // During the first song's transfer: one is cut to nothing, one replaced by noise.
    writeFile("second.mid", {});
    writeFile("third.mid", fileData(100, 9));

    Wire wire(prepared.list, transfer::snapshotReader(snapshot));
    ASSERT_TRUE(wire.run());
    EXPECT_TRUE(wire.handshake.isFinished());
    EXPECT_TRUE(wire.keyboard.errors().empty());
    EXPECT_EQ(wire.keyboard.song(1), first);
    EXPECT_EQ(wire.keyboard.song(2), second);
    EXPECT_EQ(wire.keyboard.song(3), third);

    // second.mid replaced by noise, then removed.
    const std::pair<std::optional<Bytes>, transfer::CheckReason> changes[] = {
        {fileData(100, 9), transfer::CheckReason::NotMidiFile},
        {std::nullopt, transfer::CheckReason::CannotOpenFile},
    };
    for (const auto& [content, reason] : changes) {
        if (content)
            writeFile("second.mid", *content);
        else
            std::filesystem::remove(folder / "second.mid");
        const auto again = snapshotOf(prepared.list);
        EXPECT_EQ(again->refusal, reason);
        EXPECT_EQ(again->refusedFile, "second.mid");
    }
}
