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

    std::optional<std::uint8_t> byte()
    {
        if (atEnd())
            return std::nullopt;
        return m_bytes[m_offset++];
    }
    std::optional<std::uint8_t> peek() const
    {
        if (atEnd())
            return std::nullopt;
        return m_bytes[m_offset];
    }
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

// Variable-length quantity: at most four bytes (28 bits), as every SMF writer produces.
std::optional<std::uint32_t> readVlq(Cursor& in, VlqError& error)
{
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        auto b = in.byte();
        if (!b) {
            error = VlqError::Truncated;
            return std::nullopt;
        }
        value = (value << 7) | (*b & 0x7Fu);
        if ((*b & 0x80u) == 0)
            return value;
    }
    error = VlqError::TooLong;
    return std::nullopt;
}

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

Result<Track> readTrack(std::span<const std::uint8_t> body, int trackIndex)
{
    Cursor in(body);
    Track track;
    track.events.reserve(body.size() / 3); // most events take three or four bytes
    std::uint64_t tick = 0;
    std::uint8_t running = 0;
    bool ended = false;

    while (!in.atEnd()) {
        const std::size_t eventStart = in.offset();
        VlqError error = VlqError::None;
        auto delta = readVlq(in, error);
        if (!delta)
            return fail(vlqReason(error, "delta time", trackIndex, eventStart));
        tick += *delta;

        auto first = in.byte();
        if (!first)
            return fail("event missing after its delta time" + at(trackIndex, in.offset()));

        TrackEvent event;
        event.tick = tick;
        std::uint8_t status = *first;

        if (status == 0xFF) {
            auto type = in.byte();
            if (!type)
                return fail("meta event without a type" + at(trackIndex, in.offset()));
            const std::size_t lengthAt = in.offset();
            auto length = readVlq(in, error);
            if (!length)
                return fail(vlqReason(error, "meta event length", trackIndex, lengthAt));
            auto data = in.take(*length);
            if (!data)
                return fail("meta event length " + std::to_string(*length) + " runs past the end of the track" +
                            at(trackIndex, lengthAt));
            event.kind = EventKind::Meta;
            event.status = 0xFF;
            event.metaType = *type;
            event.payload.assign(data->begin(), data->end());
            if (*type == kMetaTempo && *length != 3)
                return fail("tempo event with " + std::to_string(*length) + " data bytes instead of 3" +
                            at(trackIndex, eventStart));
            const bool isEnd = *type == kMetaEndOfTrack;
            track.events.push_back(std::move(event));
            if (isEnd) {
                ended = true;
                break; // bytes after End of Track belong to nothing
            }
            continue;
        }

        if (status == 0xF0 || status == 0xF7) {
            const std::size_t lengthAt = in.offset();
            auto length = readVlq(in, error);
            if (!length)
                return fail(vlqReason(error, "SysEx length", trackIndex, lengthAt));
            auto data = in.take(*length);
            if (!data)
                return fail("SysEx length " + std::to_string(*length) + " runs past the end of the track" +
                            at(trackIndex, lengthAt));
            event.kind = EventKind::SysEx;
            event.status = status;
            event.payload.assign(data->begin(), data->end());
            track.events.push_back(std::move(event));
            continue;
        }

        if (status >= 0xF0)
            return fail("status byte " + std::to_string(status) + " cannot stand in a MIDI file" +
                        at(trackIndex, in.offset() - 1));

        int dataNeeded;
        if (status < 0x80) {
            // Running status: the byte just read is the first data byte. Meta and SysEx
            // events leave running status in place, which only makes sloppy files readable.
            if (running == 0)
                return fail("data byte without a status (no running status yet)" + at(trackIndex, in.offset() - 1));
            event.data1 = status;
            status = running;
            dataNeeded = channelDataLength(status) - 1;
        } else {
            running = status;
            auto d1 = in.byte();
            if (!d1)
                return fail("channel message cut off" + at(trackIndex, in.offset()));
            event.data1 = *d1;
            dataNeeded = channelDataLength(status) - 1;
        }
        if (dataNeeded > 0) {
            auto d2 = in.byte();
            if (!d2)
                return fail("channel message cut off" + at(trackIndex, in.offset()));
            event.data2 = *d2;
        }
        if (event.data1 > 0x7F || event.data2 > 0x7F)
            return fail("channel message with a data byte above 127" + at(trackIndex, eventStart));
        event.kind = EventKind::Channel;
        event.status = status;
        track.events.push_back(std::move(event));
    }

    (void)ended; // a missing End of Track is tolerated: the track ends with its bytes
    track.endTick = tick;
    return track;
}

} // namespace

int channelDataLength(std::uint8_t status)
{
    const int kind = status & 0xF0;
    return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
}

Result<MidiFile> readMidiFile(std::span<const std::uint8_t> bytes)
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

    MidiFile file;
    file.format = static_cast<int>(format);
    if (division & 0x8000u) {
        const auto fps = static_cast<int>(-static_cast<std::int8_t>(division >> 8));
        const int ticksPerFrame = static_cast<int>(division & 0xFFu);
        if ((fps != 24 && fps != 25 && fps != 29 && fps != 30) || ticksPerFrame == 0)
            return fail("bad header: SMPTE division with " + std::to_string(fps) + " frames per second and " +
                        std::to_string(ticksPerFrame) + " ticks per frame");
        file.division = {Division::Kind::Smpte, 0, fps, ticksPerFrame};
    } else {
        if (division == 0)
            return fail("bad header: zero ticks per quarter note");
        file.division = {Division::Kind::TicksPerQuarter, static_cast<std::uint16_t>(division), 0, 0};
    }

    while (file.tracks.size() < trackCount) {
        if (in.atEnd())
            return fail("missing track: the header announces " + std::to_string(trackCount) +
                        " tracks, the file holds " + std::to_string(file.tracks.size()));
        const std::size_t chunkAt = in.offset();
        auto chunkId = in.take(4);
        auto chunkLength = in.bigEndian(4);
        if (!chunkId || !chunkLength)
            return fail("truncated chunk header at byte " + std::to_string(chunkAt));
        auto body = in.take(*chunkLength);
        if (!body)
            return fail("chunk at byte " + std::to_string(chunkAt) + " claims " + std::to_string(*chunkLength) +
                        " bytes, past the end of the file");
        if (std::string(chunkId->begin(), chunkId->end()) != "MTrk")
            continue; // unknown chunks are skipped, as SMF readers must
        auto track = readTrack(*body, static_cast<int>(file.tracks.size()));
        if (!track)
            return fail(track.reason());
        file.tracks.push_back(std::move(track).value());
    }
    return file;
}

} // namespace quillon::player
