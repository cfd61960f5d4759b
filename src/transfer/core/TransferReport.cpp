#include "transfer/core/TransferReport.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <ctime>

#include <fcntl.h>
#include <unistd.h>

namespace quillon::transfer {

namespace {

std::string utcTime(WallClock::time_point when)
{
    const std::time_t seconds = WallClock::to_time_t(when);
    std::tm parts{};
    if (!gmtime_r(&seconds, &parts))
        return "(time unknown)";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

std::string fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::uint8_t messageKind(const frame::Bytes& message)
{
    return message.size() > frame::kOffKind ? message[frame::kOffKind] : 0xFF;
}

bool isHeader(const frame::Bytes& message)
{
    const auto kind = messageKind(message);
    return message.size() > frame::kOffFamily && message[frame::kOffFamily] == frame::kFamilyTransfer &&
           (kind == frame::kKindSongHeader || kind == frame::kKindRomHeader);
}

bool isDataBlock(const frame::Bytes& message)
{
    return message.size() > frame::kOffFamily && message[frame::kOffFamily] == frame::kFamilyTransfer &&
           messageKind(message) == frame::kKindDataBlock;
}

std::chrono::microseconds between(WallClock::time_point from, WallClock::time_point to)
{
    // A clock set back meanwhile gives no negative durations.
    return std::max(std::chrono::microseconds(0), std::chrono::duration_cast<std::chrono::microseconds>(to - from));
}

// Writes the whole of text at the end of the file in one write, or leaves the
// file as it was: a short write (a full disk) is cut back off.
bool appendWhole(int fd, const std::string& text)
{
    const off_t before = ::lseek(fd, 0, SEEK_END);
    if (before < 0)
        return false;
    ssize_t written = 0;
    do {
        written = ::write(fd, text.data(), text.size());
    } while (written < 0 && errno == EINTR);
    if (written == static_cast<ssize_t>(text.size()))
        return true;
    if (written > 0 && ::ftruncate(fd, before) != 0)
        return false; // nothing more can be done about it
    return false;
}

} // namespace

std::string_view resultWord(FileResult result)
{
    switch (result) {
    case FileResult::Sent: return "sent";
    case FileResult::Stopped: return "stopped";
    case FileResult::Unreadable: return "unreadable";
    case FileResult::CutShort: return "cut short";
    case FileResult::Refused: return "refused";
    }
    return "?";
}

double TransferRecord::kibPerSecond() const
{
    if (duration.count() <= 0)
        return 0;
    return static_cast<double>(bytesSent) / 1024.0 / std::chrono::duration<double>(duration).count();
}

std::string formatRecord(const TransferRecord& record)
{
    std::string line = utcTime(record.finished);
    line += '\t' + record.fileName;
    line += '\t' + std::to_string(record.bytes) + " bytes";
    line += '\t' + std::to_string(record.blocksSent) + "/" + std::to_string(record.blockCount) + " blocks";
    line += '\t' + (record.slot ? "slot " + std::to_string(*record.slot) : std::string("ROM"));
    line += '\t' + std::string(resultWord(record.result));
    line += '\t' + fixed(std::chrono::duration<double>(record.duration).count(), 6) + " s";
    line += '\t' + fixed(record.kibPerSecond(), 2) + " KiB/s";
    return line;
}

std::filesystem::path transferLogPath(const DataFolders& folders) { return folders.root() / "transfer-log.txt"; }

Status appendTransferLog(const std::filesystem::path& logFile, const std::vector<TransferRecord>& records)
{
    if (records.empty())
        return success();
    const int fd = ::open(logFile.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail("cannot open \"" + logFile.string() + "\" to add to it");
    bool ok = true;
    for (const TransferRecord& record : records) {
        if (!appendWhole(fd, formatRecord(record) + '\n')) {
            ok = false;
            break;
        }
    }
    ::close(fd);
    if (!ok)
        return fail("cannot write to \"" + logFile.string() + "\"");
    return success();
}

TransferRecorder::TransferRecorder(FileSizer sizeOf) : m_sizeOf(std::move(sizeOf)) {}

void TransferRecorder::observe(const Actions& actions, const TransferHandshake& handshake, WallClock::time_point now)
{
    for (const Action& action : actions) {
        if (const auto* message = std::get_if<SendMessage>(&action)) {
            if (isHeader(message->bytes))
                open(handshake, now);
            if (!m_current)
                continue; // the control messages around the files belong to none of them
            m_current->record.bytesSent += message->bytes.size();
            m_current->lastMessage = now;
            if (isDataBlock(message->bytes))
                m_current->record.blocksSent = std::min(m_current->record.blocksSent + 1, m_current->record.blockCount);
        } else if (std::get_if<SongCutShort>(&action)) {
            if (m_current)
                settle(FileResult::CutShort, now);
        } else if (std::holds_alternative<Finished>(action)) {
            if (m_current)
                settle(m_current->record.blocksSent == m_current->record.blockCount ? FileResult::Sent
                                                                                    : FileResult::Stopped,
                       now);
        } else if (const auto* stopped = std::get_if<Stopped>(&action)) {
            if (stopped->reason == StopReason::Interrupted) {
                if (m_current)
                    settle(FileResult::Stopped, now);
                continue;
            }
            // The file before it was done (the keyboard asked for the next one).
            if (m_current)
                settle(m_current->record.blocksSent == m_current->record.blockCount ? FileResult::Sent
                                                                                    : FileResult::Stopped,
                       now);
            TransferRecord unreadable;
            unreadable.finished = now;
            unreadable.fileName = stopped->fileName;
            unreadable.bytes = m_sizeOf ? m_sizeOf(stopped->fileName).value_or(0) : 0;
            if (handshake.list().kind == TransferKind::Songs && handshake.songIndex() >= 0 &&
                static_cast<std::size_t>(handshake.songIndex()) < handshake.list().entries.size())
                unreadable.slot = handshake.list().entries[static_cast<std::size_t>(handshake.songIndex())].slot;
            unreadable.result =
                stopped->reason == StopReason::FileRefused ? FileResult::Refused : FileResult::Unreadable;
            m_records.push_back(std::move(unreadable));
        }
    }
}

void TransferRecorder::open(const TransferHandshake& handshake, WallClock::time_point now)
{
    const int index = handshake.songIndex();
    if (m_current && index == m_currentIndex) {
        // The keyboard asked for the same file again: it starts over, its time runs on.
        m_current->record.blocksSent = 0;
        m_current->record.blockCount = handshake.blockCount();
        return;
    }
    if (m_current) // the keyboard moved on to the next file
        settle(m_current->record.blocksSent == m_current->record.blockCount ? FileResult::Sent : FileResult::Stopped,
               now);
    const TransferEntry& entry = handshake.list().entries.at(static_cast<std::size_t>(index));
    Current current;
    current.record.fileName = entry.fileName;
    current.record.bytes = m_sizeOf ? m_sizeOf(entry.fileName).value_or(0) : 0;
    current.record.blockCount = handshake.blockCount();
    if (handshake.list().kind == TransferKind::Songs)
        current.record.slot = entry.slot;
    current.started = now;
    current.lastMessage = now;
    m_current = std::move(current);
    m_currentIndex = index;
}

void TransferRecorder::settle(FileResult result, WallClock::time_point now)
{
    TransferRecord record = std::move(m_current->record);
    record.result = result;
    record.finished = now;
    // A file the keyboard took counts until it said so; a stopped one until its last message.
    record.duration = between(m_current->started, result == FileResult::Sent ? now : m_current->lastMessage);
    m_records.push_back(std::move(record));
    m_current.reset();
    m_currentIndex = -1;
}

void TransferRecorder::finish(WallClock::time_point now)
{
    if (m_current)
        settle(FileResult::Stopped, now);
}

std::vector<TransferRecord> TransferRecorder::takeNewRecords()
{
    std::vector<TransferRecord> fresh(m_records.begin() + static_cast<std::ptrdiff_t>(m_taken), m_records.end());
    m_taken = m_records.size();
    return fresh;
}

std::uint64_t expectedTransferBytes(TransferKind kind, const std::vector<std::uintmax_t>& fileLengths)
{
    const std::uint64_t control = frame::buildTransferControl().size();
    // The song transfer ends with a second control message; a ROM update does not.
    std::uint64_t total = kind == TransferKind::Songs ? 2 * control : control;
    for (const std::uintmax_t length : fileLengths) {
        const std::size_t packed = frame::packedLength(static_cast<std::size_t>(length));
        const unsigned blocks = frame::blockCount(packed);
        total += kind == TransferKind::Songs ? frame::buildSongHeader(1, blocks).size()
                                             : frame::buildRomHeader(blocks).size();
        total += static_cast<std::uint64_t>(blocks) * frame::kFrameOverhead + packed;
    }
    return total;
}

RateEstimate estimateRate(std::uint64_t bytesDone, std::uint64_t bytesTotal, std::chrono::nanoseconds elapsed)
{
    RateEstimate estimate;
    const double seconds = std::chrono::duration<double>(elapsed).count();
    if (bytesDone == 0 || seconds <= 0)
        return estimate;
    const double bytesPerSecond = static_cast<double>(bytesDone) / seconds;
    estimate.kibPerSecond = bytesPerSecond / 1024.0;
    const std::uint64_t left = bytesTotal > bytesDone ? bytesTotal - bytesDone : 0;
    estimate.secondsLeft = static_cast<double>(left) / bytesPerSecond;
    return estimate;
}

std::string rateText(const RateEstimate& estimate)
{
    std::string text = fixed(estimate.kibPerSecond, 1) + " KiB/s";
    if (estimate.secondsLeft)
        text += ", " + std::to_string(static_cast<long long>(std::ceil(*estimate.secondsLeft))) + " s left";
    return text;
}

} // namespace quillon::transfer
