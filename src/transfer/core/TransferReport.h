#pragma once
// What each transfer did, for the user to look back on: one plain-text line
// per file (time, file name, bytes, blocks, slot, result, duration, rate,
// device) appended to "Quillon/transfer-log.txt", and the rate and time left that the
// Send File window shows while sending.
//
// TransferRecorder watches a TransferHandshake through the actions it hands
// out and turns them into records; it needs nothing else from the window but
// the time. Not thread-safe: use it on the thread that drives the handshake.
#include "base/core/DataFolders.h"
#include "base/core/Result.h"
#include "transfer/core/TransferHandshake.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillon::transfer {

using WallClock = std::chrono::system_clock;

enum class FileResult {
    Sent,       // every block went out and the keyboard took the file
    Stopped,    // the transfer ended (closed, no reply) before the file was complete
    Unreadable, // the file could not be read when its turn came
    CutShort,   // the keyboard ended the song before all of its blocks went out
    Refused,    // the file could not be announced (empty, or too large)
    Failed,     // a message of the file did not leave the port, or the keyboard fell silent
};

// "sent", "stopped", "unreadable", "cut short", "refused", "failed"
std::string_view resultWord(FileResult result);

struct TransferRecord {
    WallClock::time_point finished; // when the file's line was settled
    std::string fileName;
    std::uintmax_t bytes = 0; // the file's own length
    unsigned blocksSent = 0;
    unsigned blockCount = 0;
    std::optional<int> slot; // songs only; nothing for a ROM image
    FileResult result = FileResult::Sent;
    // From the file's announcement to its last message. Microseconds: a short
    // song to the built-in keyboard takes well under a millisecond.
    std::chrono::microseconds duration{0};
    std::uint64_t bytesSent = 0; // message bytes that went out for this file (header and blocks)
    // The keyboard it went to (see deviceIdentity); empty in lines written before it was recorded.
    std::string device;

    // bytesSent over the duration, in KiB per second; 0 when no time has passed.
    double kibPerSecond() const;
};

// One line, fields separated by a tab, times in UTC:
// "2026-12-06 18:40:12 UTC<TAB>song.mid<TAB>3584 bytes<TAB>4/4 blocks<TAB>slot 5<TAB>sent<TAB>1.250000 s<TAB>3.28
// KiB/s<TAB>device USB Keys" A ROM image shows "ROM" in place of the slot; a
// record without a device has no device field. No line break at the end.
std::string formatRecord(const TransferRecord& record);

// A line as formatRecord writes it, with or without the device field (older
// logs); nothing when it is not such a line. The duration and rate are not read back.
std::optional<TransferRecord> parseRecord(std::string_view line);

// "Quillon/transfer-log.txt" (relative when the folders are).
std::filesystem::path transferLogPath(const DataFolders& folders);

// Appends one line per record ("\n" after each), keeping what the file held.
// Creates the file but no folder: without the data folder nothing is written.
// Each line goes out in one write and is there whole or not at all: a write
// cut short (a full disk) is cut back off, so no half line is left for the
// next record to be glued onto.
Status appendTransferLog(const std::filesystem::path& logFile, const std::vector<TransferRecord>& records);

// Turns one handshake's actions into one record per file it started.
class TransferRecorder {
public:
    // The length of a listed file in bytes (nothing when it cannot be measured).
    using FileSizer = std::function<std::optional<std::uintmax_t>(const std::string& fileName)>;

    explicit TransferRecorder(FileSizer sizeOf);

    // Call after every start() and onShortMessage()/onMidiMessage() with the actions
    // they returned, the handshake itself and the present time.
    void observe(const Actions& actions, const TransferHandshake& handshake, WallClock::time_point now);
    // The transfer is over (window closed, keyboard silent): a file still under way is stopped.
    // `result` says why: Stopped when the user ended it, Failed when the port or the keyboard did.
    void finish(WallClock::time_point now, FileResult result = FileResult::Stopped);
    // A message of file `fileIndex` (in list order) did not leave the port: the
    // file does not count as sent even when every block was handed on.
    void noteFailedSend(int fileIndex);
    // The keyboard the records go to, written into each of them.
    void setDevice(std::string device) { m_device = std::move(device); }

    // Records settled so far, in the order the files were started.
    const std::vector<TransferRecord>& records() const { return m_records; }
    // The list position of the file a record is of, and of the file under way (-1: none).
    int fileOf(std::size_t record) const { return m_recordIndex.at(record); }
    int currentFile() const { return m_current ? m_currentIndex : -1; }
    // Records settled since the last call, for appending to the log.
    std::vector<TransferRecord> takeNewRecords();

private:
    struct Current {
        TransferRecord record;
        bool failed = false;
        WallClock::time_point started;
        WallClock::time_point lastMessage;
    };
    void open(const TransferHandshake& handshake, WallClock::time_point now);
    void settle(FileResult result, WallClock::time_point now);

    FileSizer m_sizeOf;
    std::optional<Current> m_current;
    int m_currentIndex = -1;
    void add(TransferRecord record, int fileIndex);

    std::vector<TransferRecord> m_records;
    std::vector<int> m_recordIndex; // the list position of each record's file
    std::size_t m_taken = 0;
    std::string m_device;
};

// The total message bytes a transfer of files of these lengths sends, control
// messages included: what the handshake's bytesSent() reaches at the end.
std::uint64_t expectedTransferBytes(TransferKind kind, const std::vector<std::uintmax_t>& fileLengths);

// Speed and time left from what has gone out so far. The rate is the average
// since the start; time left assumes it holds.
struct RateEstimate {
    double kibPerSecond = 0;
    std::optional<double> secondsLeft; // nothing while nothing has gone out yet
};

RateEstimate estimateRate(std::uint64_t bytesDone, std::uint64_t bytesTotal, std::chrono::nanoseconds elapsed);

// "12.5 KiB/s, 8 s left" (seconds rounded up), "12.5 KiB/s" when the time left is unknown.
std::string rateText(const RateEstimate& estimate);

} // namespace quillon::transfer
