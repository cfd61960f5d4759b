// Transfer report: the line per file, the recorder watching a real handshake
// (files sent, stopped, unreadable, restarted), appending to the log, and the
// rate and time-left arithmetic the Send File window shows.
#include "transfer/core/TransferReport.h"

#include "../support/TempFolder.h"
#include "HandshakeTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace quillon;
using namespace quillon::transfer;
using namespace quillon::transfer::testing;
using namespace std::chrono_literals;

namespace {

namespace fs = std::filesystem;

WallClock::time_point at(int hour, int minute, int second)
{
    using namespace std::chrono;
    return WallClock::time_point(sys_days(year(2026) / 12 / 6)) + hours(hour) + minutes(minute) + seconds(second);
}

std::vector<std::string> linesOf(const fs::path& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::uint64_t bytesOf(const Actions& actions)
{
    std::uint64_t total = 0;
    for (const auto& message : sent(actions))
        total += message.size();
    return total;
}

// Drives a handshake and a recorder together, the clock moving 100 ms per step.
struct Rig {
    FileStore store;
    std::unique_ptr<TransferHandshake> handshake;
    TransferRecorder recorder{[this](const std::string& name) -> std::optional<std::uintmax_t> {
        const auto found = store.files.find(name);
        if (found == store.files.end())
            return std::nullopt;
        return found->second.size();
    }};
    WallClock::time_point now = at(18, 40, 0);

    void begin(TransferList list)
    {
        handshake = std::make_unique<TransferHandshake>(std::move(list), store.reader());
        auto actions = handshake->start();
        ASSERT_TRUE(actions.ok());
        recorder.observe(*actions, *handshake, now);
    }
    Actions answer(frame::Reply code)
    {
        now += 100ms;
        Actions actions = reply(*handshake, code);
        recorder.observe(actions, *handshake, now);
        return actions;
    }
};

TEST(TransferLine, OneTabSeparatedLineWithEveryField)
{
    // 4200 bytes in 1.25 s: 3.28 KiB/s.
    const TransferRecord song{at(18, 40, 12), "my song.mid", 3584, 4, 4, 5, FileResult::Sent, 1250ms, 4200};
    EXPECT_EQ(formatRecord(song),
              "2026-12-06 18:40:12 UTC\tmy song.mid\t3584 bytes\t4/4 blocks\tslot 5\tsent\t1.250 s\t3.28 KiB/s");

    TransferRecord rom{at(0, 0, 0), "update.bin", 70000, 0, 79, std::nullopt, FileResult::Stopped, 0ms, 0};
    EXPECT_EQ(formatRecord(rom),
              "2026-12-06 00:00:00 UTC\tupdate.bin\t70000 bytes\t0/79 blocks\tROM\tstopped\t0.000 s\t0.00 KiB/s");
    rom.result = FileResult::Unreadable;
    EXPECT_NE(formatRecord(rom).find("\tunreadable\t"), std::string::npos);
}

TEST(TransferRecorder, SentSongThenStoppedSongGiveTheirLinesAndAppendingKeepsEarlierLines)
{
    Rig rig;
    rig.store.files["a.mid"] = fileData(2500); // 2858 packed: 3 blocks
    rig.store.files["b.mid"] = fileData(1500); // 1715 packed: 2 blocks
    rig.begin({TransferKind::Songs, {{"a.mid", "", 5}, {"b.mid", "", 1}}});

    std::uint64_t aBytes = bytesOf(rig.answer(frame::Reply::Ready));
    for (int block = 0; block < 3; ++block)
        aBytes += bytesOf(rig.answer(frame::Reply::SongBlockDone));
    const auto bHeader = bytesOf(rig.answer(frame::Reply::SongDone)); // a.mid taken at 18:40:00.5
    const auto bBlock = bytesOf(rig.answer(frame::Reply::SongBlockDone));
    EXPECT_EQ(rig.recorder.records().size(), 1u);

    rig.recorder.finish(at(18, 45, 0)); // the window closed with b.mid half sent
    const auto& records = rig.recorder.records();
    ASSERT_EQ(records.size(), 2u);

    EXPECT_EQ(records[0].fileName, "a.mid");
    EXPECT_EQ(records[0].result, FileResult::Sent);
    EXPECT_EQ(records[0].bytes, 2500u);
    EXPECT_EQ(records[0].blocksSent, 3u);
    EXPECT_EQ(records[0].blockCount, 3u);
    EXPECT_EQ(records[0].slot, 5);
    EXPECT_EQ(records[0].bytesSent, aBytes);
    EXPECT_EQ(records[0].duration, 400ms); // announced on the ready reply, taken on the song-done reply

    EXPECT_EQ(records[1].fileName, "b.mid");
    EXPECT_EQ(records[1].result, FileResult::Stopped);
    EXPECT_EQ(records[1].blocksSent, 1u);
    EXPECT_EQ(records[1].blockCount, 2u);
    EXPECT_EQ(records[1].slot, 1);
    EXPECT_EQ(records[1].bytesSent, bHeader + bBlock);
    EXPECT_EQ(records[1].duration, 100ms); // up to its last message, not to the closing
    EXPECT_EQ(records[1].finished, at(18, 45, 0));

    const quillon::testing::TempFolder temp;
    const fs::path& folder = temp.path();
    fs::create_directories(folder / "Quillon");
    const fs::path log = transferLogPath(DataFolders(folder));
    EXPECT_EQ(log, folder / "Quillon" / "transfer-log.txt");
    std::ofstream(log) << "an earlier transfer\n";

    ASSERT_TRUE(appendTransferLog(log, rig.recorder.takeNewRecords()).ok());
    EXPECT_TRUE(rig.recorder.takeNewRecords().empty());
    ASSERT_TRUE(appendTransferLog(log, {records[0]}).ok());
    const auto lines = linesOf(log);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "an earlier transfer");
    EXPECT_EQ(lines[1], formatRecord(records[0]));
    EXPECT_NE(lines[1].find("\ta.mid\t2500 bytes\t3/3 blocks\tslot 5\tsent\t0.400 s\t"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("\tb.mid\t1500 bytes\t1/2 blocks\tslot 1\tstopped\t0.100 s\t"), std::string::npos)
        << lines[2];
    EXPECT_EQ(lines[3], lines[1]);
}

TEST(TransferRecorder, UnreadableSongAndRestartedSongAreToldApart)
{
    Rig rig;
    rig.store.files["a.mid"] = fileData(1000); // 1143 packed: 2 blocks
    rig.begin({TransferKind::Songs, {{"a.mid", "", 2}, {"gone.mid", "", 9}}});
    rig.answer(frame::Reply::Ready);
    rig.answer(frame::Reply::SongBlockDone);
    rig.answer(frame::Reply::Ready); // the keyboard asks for a.mid again: it starts over
    EXPECT_TRUE(rig.recorder.records().empty());
    rig.answer(frame::Reply::SongBlockDone);
    rig.answer(frame::Reply::SongBlockDone);
    rig.answer(frame::Reply::SongDone); // gone.mid cannot be read: the transfer stops
    ASSERT_TRUE(rig.handshake->isStopped());
    rig.recorder.finish(rig.now);

    const auto& records = rig.recorder.records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].result, FileResult::Sent);
    EXPECT_EQ(records[0].blocksSent, 2u);
    EXPECT_EQ(records[0].duration, 500ms); // its time runs on through the restart
    EXPECT_EQ(records[1].fileName, "gone.mid");
    EXPECT_EQ(records[1].result, FileResult::Unreadable);
    EXPECT_EQ(records[1].slot, 9);
    EXPECT_EQ(records[1].blocksSent, 0u);
    EXPECT_EQ(records[1].bytes, 0u);
}

TEST(TransferRecorder, RomUpdateIsOneLineWithoutASlot)
{
    Rig rig;
    rig.store.files["fw.bin"] = fileData(2000); // 2286 packed: 3 blocks
    rig.begin({TransferKind::RomImage, {{"fw.bin", "", 1}}});
    rig.answer(frame::Reply::Ready);
    for (int block = 0; block < 3; ++block)
        rig.answer(frame::Reply::RomBlockDone);
    ASSERT_TRUE(rig.handshake->isFinished());
    rig.recorder.finish(rig.now + 10s); // nothing is left open: no further line
    ASSERT_EQ(rig.recorder.records().size(), 1u);
    const auto& rom = rig.recorder.records()[0];
    EXPECT_EQ(rom.result, FileResult::Sent);
    EXPECT_EQ(rom.blocksSent, 3u);
    EXPECT_FALSE(rom.slot.has_value());
    EXPECT_NE(formatRecord(rom).find("\t3/3 blocks\tROM\tsent\t0.300 s\t"), std::string::npos) << formatRecord(rom);
}

TEST(TransferLog, NothingIsWrittenWithoutTheDataFolder)
{
    const quillon::testing::TempFolder temp;
    const fs::path missing = temp.path() / "absent";
    TransferRecord record;
    record.fileName = "a.mid";
    EXPECT_FALSE(appendTransferLog(transferLogPath(DataFolders(missing)), {record}).ok());
    EXPECT_FALSE(fs::exists(missing));
}

TEST(TransferEstimate, ExpectedBytesMatchWhatAWholeTransferSends)
{
    for (const auto& lengths : std::vector<std::vector<std::uintmax_t>>{{2500}, {1, 896, 897, 7000}, {0}}) {
        Rig rig;
        TransferList list{TransferKind::Songs, {}};
        for (std::size_t i = 0; i < lengths.size(); ++i) {
            const std::string name = "s" + std::to_string(i) + ".mid";
            rig.store.files[name] = fileData(lengths[i]);
            list.entries.push_back({name, "", 1});
        }
        rig.begin(list);
        rig.answer(frame::Reply::Ready);
        for (std::size_t song = 0; song < lengths.size(); ++song) {
            for (unsigned b = 0; b < rig.handshake->blockCount(); ++b)
                rig.answer(frame::Reply::SongBlockDone);
            rig.answer(frame::Reply::SongDone);
        }
        ASSERT_TRUE(rig.handshake->isFinished());
        EXPECT_EQ(expectedTransferBytes(TransferKind::Songs, lengths), rig.handshake->bytesSent());
    }

    Rig rom;
    rom.store.files["fw.bin"] = fileData(5000);
    rom.begin({TransferKind::RomImage, {{"fw.bin", "", 1}}});
    rom.answer(frame::Reply::Ready);
    while (!rom.handshake->isFinished())
        rom.answer(frame::Reply::RomBlockDone);
    EXPECT_EQ(expectedTransferBytes(TransferKind::RomImage, {5000}), rom.handshake->bytesSent());
}

TEST(TransferEstimate, RateAndTimeLeftArithmetic)
{
    const auto half = estimateRate(10240, 30720, 2s);
    EXPECT_DOUBLE_EQ(half.kibPerSecond, 5.0);
    ASSERT_TRUE(half.secondsLeft.has_value());
    EXPECT_DOUBLE_EQ(*half.secondsLeft, 4.0);
    EXPECT_EQ(rateText(half), "5.0 KiB/s, 4 s left");

    // Time left is rounded up: a sliver of a second still reads 1 s.
    const auto almost = estimateRate(10000, 10001, 1s);
    EXPECT_EQ(rateText(almost), "9.8 KiB/s, 1 s left");

    const auto done = estimateRate(4096, 4000, 500ms);
    EXPECT_DOUBLE_EQ(done.kibPerSecond, 8.0);
    EXPECT_EQ(done.secondsLeft, 0.0);

    for (const auto& unknown : {estimateRate(0, 1000, 3s), estimateRate(500, 1000, 0s)}) {
        EXPECT_EQ(unknown.kibPerSecond, 0.0);
        EXPECT_FALSE(unknown.secondsLeft.has_value());
        EXPECT_EQ(rateText(unknown), "0.0 KiB/s");
    }
}

} // namespace
