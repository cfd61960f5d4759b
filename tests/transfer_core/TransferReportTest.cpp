// Transfer report: the line per file, the recorder's timing and byte counts over
// a real handshake, and the rate and time-left arithmetic the Send File window shows.
#include "transfer/core/TransferReport.h"
#include "transfer/core/SlotMap.h"

#include "../support/TempFolder.h"
#include "HandshakeTestSupport.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <numeric>
#include <sstream>

using namespace quillon;
using namespace quillon::transfer;
using namespace quillon::transfer::testing;
using namespace std::chrono_literals;

namespace {

namespace fs = std::filesystem;

WallClock::time_point at(int hour, int minute, int second, unsigned day = 6)
{
    using namespace std::chrono;
    return WallClock::time_point(sys_days(year(2026) / 12 / day)) + hours(hour) + minutes(minute) + seconds(second);
}

std::uint64_t bytesOf(const Actions& actions)
{
    const auto messages = sent(actions);
    return std::accumulate(messages.begin(), messages.end(), std::uint64_t{0},
                           [](std::uint64_t total, const Bytes& message) { return total + message.size(); });
}

// Drives a handshake and a recorder together, the clock moving 100 ms per step.
struct Rig {
    FileStore store;
    std::unique_ptr<TransferHandshake> handshake;
    TransferRecorder recorder{[this](const std::string& name) -> std::optional<std::uintmax_t> {
        const auto found = store.files.find(name);
        return found == store.files.end() ? std::nullopt : std::optional<std::uintmax_t>(found->second.size());
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
    const TransferRecord song{at(18, 40, 12), "my song.mid", 3584, 4, 4, 5, FileResult::Sent, 1250ms, 4200, ""};
    EXPECT_EQ(formatRecord(song),
              "2026-12-06 18:40:12 UTC\tmy song.mid\t3584 bytes\t4/4 blocks\tslot 5\tsent\t1.250000 s\t3.28 KiB/s");

    const TransferRecord rom{at(0, 0, 0), "update.bin", 70000, 0, 79, std::nullopt, FileResult::Stopped, 0ms, 0, ""};
    EXPECT_EQ(formatRecord(rom),
              "2026-12-06 00:00:00 UTC\tupdate.bin\t70000 bytes\t0/79 blocks\tROM\tstopped\t0.000000 s\t0.00 KiB/s");
}

// The Send File tests check the lines a run leaves in the log; here, the timing and byte counts,
// and that a song the keyboard cut short or the window closed on is never logged as sent.
TEST(TransferRecorder, ASongIsTimedFromItsFirstAnnouncementAndOnlyOneThatArrivedWholeIsSent)
{
    Rig rig;
    rig.store.files["a.mid"] = fileData(2500); // 2858 packed: 3 blocks
    rig.store.files["b.mid"] = fileData(2500);
    rig.store.files["c.mid"] = fileData(1500); // 1715 packed: 2 blocks
    rig.begin({TransferKind::Songs, {{"a.mid", "", 5}, {"b.mid", "", 6}, {"c.mid", "", 1}}});

    std::uint64_t aBytes = bytesOf(rig.answer(frame::Reply::Ready));
    aBytes += bytesOf(rig.answer(frame::Reply::SongBlockDone));
    aBytes += bytesOf(rig.answer(frame::Reply::Ready)); // asked for again: a.mid starts over, its time runs on
    for (int block = 0; block < 3; ++block)
        aBytes += bytesOf(rig.answer(frame::Reply::SongBlockDone));
    rig.answer(frame::Reply::SongDone); // a.mid taken at 18:40:00.7
    rig.answer(frame::Reply::SongBlockDone);
    const auto cHeader = bytesOf(rig.answer(frame::Reply::SongDone)); // b.mid ended after 1 of its 3 blocks
    const auto cBlock = bytesOf(rig.answer(frame::Reply::SongBlockDone));
    EXPECT_EQ(rig.recorder.records().size(), 2u);

    rig.recorder.finish(at(18, 45, 0)); // the window closed with c.mid half sent
    const auto& records = rig.recorder.records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].result, FileResult::Sent);
    EXPECT_EQ(records[0].blocksSent, 3u);
    EXPECT_EQ(records[0].bytesSent, aBytes);
    EXPECT_EQ(records[0].duration, 600ms); // announced on the first ready reply, taken on the song-done reply
    EXPECT_NE(formatRecord(records[1]).find("\t1/3 blocks\tslot 6\tcut short\t"), std::string::npos);
    EXPECT_EQ(records[2].result, FileResult::Stopped);
    EXPECT_EQ(records[2].bytesSent, cHeader + cBlock);
    EXPECT_EQ(records[2].duration, 100ms); // up to its last message, not to the closing
    EXPECT_EQ(records[2].finished, at(18, 45, 0));
    EXPECT_EQ(rig.recorder.takeNewRecords().size(), 3u);
    EXPECT_TRUE(rig.recorder.takeNewRecords().empty());

    Rig rom; // a ROM update is one line
    rom.store.files["fw.bin"] = fileData(5000);
    rom.begin({TransferKind::RomImage, {{"fw.bin", "", 1}}});
    rom.answer(frame::Reply::Ready);
    while (!rom.handshake->isFinished())
        rom.answer(frame::Reply::RomBlockDone);
    ASSERT_EQ(rom.recorder.records().size(), 1u);
    EXPECT_NE(formatRecord(rom.recorder.records()[0]).find("\t6/6 blocks\tROM\tsent\t"), std::string::npos);
}

// A full disk takes part of a line: it is cut back off, so the file keeps
// whole lines only, and the next record starts on a line of its own.
TEST(TransferLog, AWriteCutShortLeavesNoHalfLineAndNoDataFolderNoLine)
{
    const quillon::testing::TempFolder temp;
    const std::string earlier = "an earlier line\n";
    const fs::path log = temp.touch("transfer-log.txt", earlier);
    TransferRecord record;
    record.fileName = std::string(200, 'x') + ".mid";

    // The file may grow by a few bytes only, as on a disk that is nearly full.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = earlier.size() + 40;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const Status full = appendTransferLog(log, {record});
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
    EXPECT_FALSE(full.ok());

    EXPECT_EQ(quillon::testing::readText(log), earlier);
    ASSERT_TRUE(appendTransferLog(log, {record}).ok());
    EXPECT_EQ(quillon::testing::readText(log), earlier + formatRecord(record) + "\n");

    // Without the data folder nothing is written, and no folder made.
    EXPECT_FALSE(appendTransferLog(transferLogPath(DataFolders(temp.path() / "absent")), {record}).ok());
    EXPECT_FALSE(fs::exists(temp.path() / "absent"));
}

// The slot map believes only songs that arrived whole, and says what it cannot know.
TEST(SlotMap, BuiltFromLogLinesOfEveryOutcome)
{
    using enum FileResult;
    const auto line = [](unsigned day, std::string name, std::optional<int> slot, FileResult result,
                         std::string device = "Keys") {
        return formatRecord(
            {at(12, 0, 0, day), std::move(name), 3584, 4, 4, slot, result, 1s, 4200, std::move(device)});
    };
    const std::string a6 = "No.05 · a.mid · 6 Dec";
    const std::string since6 = "on the keyboard in slot 5 since 6 Dec";
    const std::string a5 = line(6, "a.mid", 5, Sent);
    const struct {
        std::vector<std::string> lines;
        std::optional<std::string> device; // the chosen keyboard; nothing: none chosen
        std::string slot5;                 // the drop-down's text for slot 5
        std::string whereIsA;              // a.mid's tooltip line
    } cases[] = {
        {{a5}, "Keys", a6, since6},
        {{a5, line(7, "b.mid", 5, CutShort)}, "Keys", "No.05 · not known: b.mid cut short · 7 Dec", ""},
        {{a5, line(7, "b.mid", 5, Failed)}, "Keys", "No.05 · not known: b.mid failed · 7 Dec", ""},
        {{a5, line(7, "b.mid", 5, Stopped)}, "Keys", "No.05 · not known: b.mid stopped · 7 Dec", ""},
        // Never announced: the slot kept what it had.
        {{a5, line(7, "b.mid", 5, Unreadable), line(7, "c.mid", 5, Refused)}, std::nullopt, a6, since6},
        {{a5, line(7, "fw.bin", std::nullopt, Stopped), line(8, "a.mid", 9, Sent)},
         "Keys",
         "No.05 · a.mid · 6 Dec (then a ROM update)",
         "on the keyboard in slot 5 since 6 Dec (a ROM update since may have reset it), in slot 9 since 8 Dec"},
        {{a5, line(7, "b.mid", 5, Sent, "Other keys")}, "Keys", a6, since6},
        {{a5, line(7, "b.mid", 5, Sent, "Other keys")}, std::nullopt, "No.05", ""}, // which one?
        // A line from before devices were logged, and a name holding a tab.
        {{"2026-12-06 12:00:00 UTC	a.mid	3584 bytes	4/4 blocks	slot 5	sent	1.0 s	3.2 KiB/s",
          line(7, "x	y.mid", 6, Sent, "")},
         std::nullopt,
         a6,
         since6},
        {{a5, "2026-12-07 12:00:00 UTC	b.mid	3584 bytes	4/4 blocks	slot 29	sent	1.0 s	3.2 KiB/s"},
         "Keys",
         "No.05",
         ""},
        {{a5, a5.substr(0, 40)}, "Keys", "No.05", ""},
    };
    for (const auto& c : cases) {
        std::string log;
        for (const auto& text : c.lines)
            log += text + "\n";
        std::istringstream in(log + "\n");
        const SlotMap map = buildSlotMap(in);
        const DeviceSlots* device = map.forOutput(c.device);
        EXPECT_EQ(slotChoiceText(5, device), c.slot5) << log;
        EXPECT_EQ(slotChoiceText(6, device),
                  device && device->contents.contains(6) ? "No.06 · x\ty.mid · 7 Dec" : "No.06");
        EXPECT_EQ(device ? whereStoredText(*device, "a.mid") : "", c.whereIsA) << log;
        // A damaged log shows nothing and says why; a sound one has no note.
        EXPECT_EQ(map.note.empty(), !map.devices.empty()) << log;
    }
}

// Time left is rounded up: a sliver of a second still reads 1 s. Nothing sent or no time gone: no estimate.
TEST(TransferEstimate, RateAndTimeLeftArithmetic)
{
    const struct {
        std::uint64_t sent, total;
        std::chrono::milliseconds elapsed;
        std::string text;
    } cases[] = {{10240, 30720, 2s, "5.0 KiB/s, 4 s left"},
                 {10000, 10001, 1s, "9.8 KiB/s, 1 s left"},
                 {4096, 4000, 500ms, "8.0 KiB/s, 0 s left"},
                 {0, 1000, 3s, "0.0 KiB/s"},
                 {500, 1000, 0s, "0.0 KiB/s"}};
    for (const auto& c : cases)
        EXPECT_EQ(rateText(estimateRate(c.sent, c.total, c.elapsed)), c.text) << c.sent << " of " << c.total;
}

} // namespace
