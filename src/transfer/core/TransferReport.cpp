#include "transfer/core/TransferReport.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
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
    case FileResult::Failed: return "failed";
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
    if (!record.device.empty())
        line += "\tdevice " + record.device;
    return line;
}

namespace {

constexpr std::string_view kDevicePrefix = "device ";

std::vector<std::string_view> splitTabs(std::string_view line)
{
    std::vector<std::string_view> fields;
    while (true) {
        const auto tab = line.find('\t');
        fields.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos)
            return fields;
        line.remove_prefix(tab + 1);
    }
}

// The whole of `text` as a number, or nothing.
template <typename Number>
std::optional<Number> wholeNumber(std::string_view text)
{
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// "<number><suffix>", the number part.
std::optional<std::string_view> before(std::string_view field, std::string_view suffix)
{
    if (field.size() <= suffix.size() || !field.ends_with(suffix))
        return std::nullopt;
    return field.substr(0, field.size() - suffix.size());
}

std::optional<WallClock::time_point> parseUtcTime(std::string_view text)
{
    if (text.size() != 23 || !text.ends_with(" UTC"))
        return std::nullopt;
    std::tm parts{};
    const std::string copy(text);
    int consumed = 0;
    if (std::sscanf(copy.c_str(), "%4d-%2d-%2d %2d:%2d:%2d UTC%n", &parts.tm_year, &parts.tm_mon, &parts.tm_mday,
                    &parts.tm_hour, &parts.tm_min, &parts.tm_sec, &consumed) != 6 ||
        consumed != static_cast<int>(copy.size()))
        return std::nullopt;
    if (parts.tm_mon < 1 || parts.tm_mon > 12 || parts.tm_mday < 1 || parts.tm_mday > 31 || parts.tm_hour > 23 ||
        parts.tm_min > 59 || parts.tm_sec > 60)
        return std::nullopt;
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    return WallClock::from_time_t(::timegm(&parts));
}

std::optional<FileResult> parseResultWord(std::string_view word)
{
    for (const FileResult result : {FileResult::Sent, FileResult::Stopped, FileResult::Unreadable, FileResult::CutShort,
                                    FileResult::Refused, FileResult::Failed})
        if (resultWord(result) == word)
            return result;
    return std::nullopt;
}

} // namespace

std::optional<TransferRecord> parseRecord(std::string_view line)
{
    const auto fields = splitTabs(line);
    // Time, name, bytes, blocks, slot, result, duration, rate, then perhaps the device.
    const bool withDevice = fields.size() >= 9 && fields.back().starts_with(kDevicePrefix);
    const std::size_t tail = withDevice ? 7 : 6;
    if (fields.size() < 2 + tail)
        return std::nullopt;
    TransferRecord record;
    const auto when = parseUtcTime(fields[0]);
    if (!when)
        return std::nullopt;
    record.finished = *when;
    // A name may hold a tab of its own: it is whatever lies between the time and the fixed fields.
    const std::size_t nameEnd = fields.size() - tail;
    const char* nameBegin = fields[1].data();
    record.fileName.assign(
        nameBegin, static_cast<std::size_t>(fields[nameEnd - 1].data() + fields[nameEnd - 1].size() - nameBegin));
    const auto* rest = &fields[nameEnd];

    const auto bytes = before(rest[0], " bytes");
    const auto blocks = before(rest[1], " blocks");
    const auto slash = blocks ? blocks->find('/') : std::string_view::npos;
    if (!bytes || slash == std::string_view::npos)
        return std::nullopt;
    const auto byteCount = wholeNumber<std::uintmax_t>(*bytes);
    const auto sentBlocks = wholeNumber<unsigned>(blocks->substr(0, slash));
    const auto allBlocks = wholeNumber<unsigned>(blocks->substr(slash + 1));
    if (!byteCount || !sentBlocks || !allBlocks)
        return std::nullopt;
    record.bytes = *byteCount;
    record.blocksSent = *sentBlocks;
    record.blockCount = *allBlocks;
    if (rest[2] != "ROM") {
        const auto slot = rest[2].starts_with("slot ") ? wholeNumber<int>(rest[2].substr(5)) : std::nullopt;
        if (!slot || !isValidSlot(*slot))
            return std::nullopt;
        record.slot = *slot;
    }
    const auto result = parseResultWord(rest[3]);
    if (!result || !before(rest[4], " s") || !before(rest[5], " KiB/s"))
        return std::nullopt;
    record.result = *result;
    if (withDevice)
        record.device = std::string(rest[6].substr(kDevicePrefix.size()));
    return record;
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
            add(std::move(unreadable), handshake.songIndex());
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
    record.result = m_current->failed && result == FileResult::Sent ? FileResult::Failed : result;
    record.finished = now;
    // A file the keyboard took counts until it said so; a stopped one until its last message.
    record.duration = between(m_current->started, result == FileResult::Sent ? now : m_current->lastMessage);
    add(std::move(record), m_currentIndex);
    m_current.reset();
    m_currentIndex = -1;
}

void TransferRecorder::add(TransferRecord record, int fileIndex)
{
    record.device = m_device;
    m_records.push_back(std::move(record));
    m_recordIndex.push_back(fileIndex);
}

void TransferRecorder::finish(WallClock::time_point now, FileResult result)
{
    if (m_current)
        settle(result, now);
}

void TransferRecorder::noteFailedSend(int fileIndex)
{
    if (m_current && m_currentIndex == fileIndex) {
        m_current->failed = true;
        return;
    }
    // The message went out after its file was settled (its last block, handed on with the reply that ended it).
    for (std::size_t i = m_records.size(); i-- > m_taken;) {
        if (m_recordIndex[i] == fileIndex) {
            if (m_records[i].result == FileResult::Sent)
                m_records[i].result = FileResult::Failed;
            return;
        }
    }
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
