#include "player/core/MidiFile.h"

#include <optional>
#include <string>

namespace quillon::player {

namespace {

// A bounded cursor: every read checks the remaining length first.
class Cursor {
public:
    explicit Cursor(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::size_t offset() const { return m_offset; }
    std::size_t remaining() const { return m_bytes.size() - m_offset; }
    bool atEnd() const { return m_offset >= m_bytes.size(); }

    std::optional<std::uint32_t> bigEndian(int width)
    {
        if (remaining() < static_cast<std::size_t>(width))
            return std::nullopt;
        std::uint32_t value = 0;
        for (int i = 0; i < width; ++i)
            value = (value << 8) | m_bytes[m_offset++];
        return value;
    }
    std::optional<std::span<const std::uint8_t>> take(std::size_t count)
    {
        if (remaining() < count)
            return std::nullopt;
        auto piece = m_bytes.subspan(m_offset, count);
        m_offset += count;
        return piece;
    }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_offset = 0;
};

enum class VlqError { None, Truncated, TooLong };

std::string at(int track, std::size_t offset)
{
    return " (track " + std::to_string(track + 1) + ", byte " + std::to_string(offset) + ")";
}

std::string vlqReason(VlqError error, const char* what, int track, std::size_t offset)
{
    if (error == VlqError::TooLong)
        return std::string(what) + " is a variable-length number longer than 4 bytes" + at(track, offset);
    return std::string(what) + " runs past the end of the track" + at(track, offset);
}

// The variable-length quantity at `offset`, advancing it: at most four bytes
// (28 bits), as every SMF writer produces.
std::optional<std::uint32_t> readVlqAt(std::span<const std::uint8_t> bytes, std::size_t& offset, VlqError& error)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        if (offset >= bytes.size()) {
            error = VlqError::Truncated;
            return std::nullopt;
        }
        const std::uint8_t b = bytes[offset++];
        value = (value << 7) | (b & 0x7Fu);
        if ((b & 0x80u) == 0)
            return value;
    }
    error = VlqError::TooLong;
    return std::nullopt;
}

Result<Track> readTrack(std::span<const std::uint8_t> body, int trackIndex)
{
    TrackScanner scanner(body, trackIndex);
    Track track;
    track.events.reserve(body.size() / 3); // most events take three or four bytes
    RawEvent raw;
    while (scanner.next(raw)) {
        TrackEvent& event = track.events.emplace_back();
        event.tick = raw.tick;
        event.kind = raw.kind;
        event.status = raw.status;
        event.metaType = raw.metaType;
        event.data1 = raw.data1;
        event.data2 = raw.data2;
        if (!raw.payload.empty())
            event.payload.assign(raw.payload.begin(), raw.payload.end());
    }
    if (scanner.failed())
        return fail(scanner.reason());
    track.endTick = scanner.endTick();
    return track;
}

} // namespace

bool TrackScanner::fail(std::string reason)
{
    m_reason = std::move(reason);
    m_ended = true;
    return false;
}

bool TrackScanner::nextInFull(RawEvent& event)
{
    if (m_ended || m_offset >= m_body.size())
        return false;
    const auto bytes = m_body;
    const std::size_t eventStart = m_offset;
    VlqError error = VlqError::None;
    const auto delta = readVlqAt(bytes, m_offset, error);
    if (!delta)
        return fail(vlqReason(error, "delta time", m_track, eventStart));
    m_tick += *delta;
    if (m_offset >= bytes.size())
        return fail("event missing after its delta time" + at(m_track, m_offset));

    event.tick = m_tick;
    event.metaType = 0;
    event.data1 = 0;
    event.data2 = 0;
    event.payload = {};
    std::uint8_t status = bytes[m_offset++];

    if (status == 0xFF || status == 0xF0 || status == 0xF7) {
        const bool meta = status == 0xFF;
        if (meta) {
            if (m_offset >= bytes.size())
                return fail("meta event without a type" + at(m_track, m_offset));
            event.metaType = bytes[m_offset++];
        }
        const char* what = meta ? "meta event length" : "SysEx length";
        const std::size_t lengthAt = m_offset;
        const auto length = readVlqAt(bytes, m_offset, error);
        if (!length)
            return fail(vlqReason(error, what, m_track, lengthAt));
        if (bytes.size() - m_offset < *length)
            return fail(std::string(meta ? "meta event length " : "SysEx length ") + std::to_string(*length) +
                        " runs past the end of the track" + at(m_track, lengthAt));
        event.payload = bytes.subspan(m_offset, *length);
        m_offset += *length;
        event.kind = meta ? EventKind::Meta : EventKind::SysEx;
        event.status = status;
        if (meta && event.metaType == kMetaTempo && *length != 3)
            return fail("tempo event with " + std::to_string(*length) + " data bytes instead of 3" +
                        at(m_track, eventStart));
        if (meta && event.metaType == kMetaEndOfTrack)
            m_ended = true; // bytes after End of Track belong to nothing
        return true;
    }

    if (status >= 0xF0)
        return fail("status byte " + std::to_string(status) + " cannot stand in a MIDI file" +
                    at(m_track, m_offset - 1));

    int dataNeeded;
    if (status < 0x80) {
        // Running status: the byte just read is the first data byte. Meta and SysEx
        // events leave running status in place, which only makes sloppy files readable.
        if (m_running == 0)
            return fail("data byte without a status (no running status yet)" + at(m_track, m_offset - 1));
        event.data1 = status;
        status = m_running;
        dataNeeded = channelDataLength(status) - 1;
    } else {
        m_running = status;
        if (m_offset >= bytes.size())
            return fail("channel message cut off" + at(m_track, m_offset));
        event.data1 = bytes[m_offset++];
        dataNeeded = channelDataLength(status) - 1;
    }
    if (dataNeeded > 0) {
        if (m_offset >= bytes.size())
            return fail("channel message cut off" + at(m_track, m_offset));
        event.data2 = bytes[m_offset++];
    }
    if (event.data1 > 0x7F || event.data2 > 0x7F)
        return fail("channel message with a data byte above 127" + at(m_track, eventStart));
    event.kind = EventKind::Channel;
    event.status = status;
    return true;
}

Result<SmfLayout> readSmfLayout(std::span<const std::uint8_t> bytes)
{
    Cursor in(bytes);
    auto id = in.take(4);
    if (!id || std::string(id->begin(), id->end()) != "MThd")
        return fail("not a MIDI file: it does not begin with \"MThd\"");
    auto headerLength = in.bigEndian(4);
    if (!headerLength || *headerLength < 6)
        return fail("bad header: the header chunk is shorter than 6 bytes");
    auto header = in.take(*headerLength);
    if (!header)
        return fail("bad header: the header chunk runs past the end of the file");

    Cursor head(*header);
    const auto format = *head.bigEndian(2);
    const auto trackCount = *head.bigEndian(2);
    const auto division = *head.bigEndian(2);

    if (format == 2)
        return fail("format 2 MIDI files (independent patterns) cannot be played");
    if (format > 2)
        return fail("unknown MIDI file format " + std::to_string(format));
    if (trackCount == 0)
        return fail("the header announces no tracks");
    if (format == 0 && trackCount != 1)
        return fail("a format 0 file must have exactly one track, the header announces " + std::to_string(trackCount));

    SmfLayout layout;
    layout.format = static_cast<int>(format);
    if (division & 0x8000u) {
        const auto fps = static_cast<int>(-static_cast<std::int8_t>(division >> 8));
        const int ticksPerFrame = static_cast<int>(division & 0xFFu);
        if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || ticksPerFrame == 0)
            return fail("bad header: SMPTE division with " + std::to_string(fps) + " frames per second and " +
                        std::to_string(ticksPerFrame) + " ticks per frame");
        layout.division = {Division::Kind::Smpte, 0, fps, ticksPerFrame};
    } else {
        if (division == 0)
            return fail("bad header: zero ticks per quarter note");
        layout.division = {Division::Kind::TicksPerQuarter, static_cast<std::uint16_t>(division), 0, 0};
    }

    layout.tracks.reserve(trackCount);
    while (layout.tracks.size() < trackCount) {
        if (in.atEnd()) {
            layout.chunkError = "missing track: the header announces " + std::to_string(trackCount) +
                                " tracks, the file holds " + std::to_string(layout.tracks.size());
            break;
        }
        const std::size_t chunkAt = in.offset();
        auto chunkId = in.take(4);
        auto chunkLength = in.bigEndian(4);
        if (!chunkId || !chunkLength) {
            layout.chunkError = "truncated chunk header at byte " + std::to_string(chunkAt);
            break;
        }
        auto body = in.take(*chunkLength);
        if (!body) {
            layout.chunkError = "chunk at byte " + std::to_string(chunkAt) + " claims " + std::to_string(*chunkLength) +
                                " bytes, past the end of the file";
            break;
        }
        if (std::string(chunkId->begin(), chunkId->end()) != "MTrk")
            continue; // unknown chunks are skipped, as SMF readers must
        layout.tracks.push_back(*body);
    }
    return layout;
}

Result<MidiFile> readMidiFile(std::span<const std::uint8_t> bytes)
{
    auto layout = readSmfLayout(bytes);
    if (!layout)
        return fail(layout.reason());
    MidiFile file;
    file.format = layout->format;
    file.division = layout->division;
    file.tracks.reserve(layout->tracks.size());
    for (const auto& body : layout->tracks) {
        auto track = readTrack(body, static_cast<int>(file.tracks.size()));
        if (!track)
            return fail(track.reason());
        file.tracks.push_back(std::move(track).value());
    }
    if (!layout->chunkError.empty())
        return fail(layout->chunkError);
    return file;
}

} // namespace quillon::player
