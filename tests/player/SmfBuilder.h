#pragma once
// Builds Standard MIDI Files in memory for tests and benchmarks, byte by byte,
// so that each case shows exactly what the reader is given.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace quillon::testing {

using Bytes = std::vector<std::uint8_t>;

inline Bytes vlq(std::uint32_t value)
{
    Bytes out{static_cast<std::uint8_t>(value & 0x7F)};
    while (value >>= 7)
        out.insert(out.begin(), static_cast<std::uint8_t>(0x80 | (value & 0x7F)));
    return out;
}

inline void append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

inline Bytes be(std::uint32_t value, int width)
{
    Bytes out;
    for (int i = width - 1; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return out;
}

inline Bytes chunk(const std::string& id, const Bytes& body)
{
    Bytes out(id.begin(), id.end());
    append(out, be(static_cast<std::uint32_t>(body.size()), 4));
    append(out, body);
    return out;
}

inline Bytes header(int format, int tracks, std::uint16_t division)
{
    Bytes body = be(format, 2);
    append(body, be(tracks, 2));
    append(body, be(division, 2));
    return chunk("MThd", body);
}

// One track's event bytes: each call adds a delta time and an event.
class TrackBytes {
public:
    TrackBytes& event(std::uint32_t delta, std::initializer_list<int> bytes)
    {
        append(m_bytes, vlq(delta));
        return raw(bytes);
    }
    TrackBytes& tempo(std::uint32_t delta, std::uint32_t microsPerQuarter)
    {
        return event(delta, {0xFF, 0x51, 0x03, int(microsPerQuarter >> 16) & 0xFF, int(microsPerQuarter >> 8) & 0xFF,
                             int(microsPerQuarter) & 0xFF});
    }
    TrackBytes& end(std::uint32_t delta = 0) { return event(delta, {0xFF, 0x2F, 0x00}); }
    TrackBytes& raw(std::initializer_list<int> bytes)
    {
        for (int b : bytes)
            m_bytes.push_back(static_cast<std::uint8_t>(b));
        return *this;
    }
    const Bytes& bytes() const { return m_bytes; }
    Bytes chunk() const { return testing::chunk("MTrk", m_bytes); }

private:
    Bytes m_bytes;
};

inline Bytes smf(int format, std::uint16_t division, std::initializer_list<TrackBytes> tracks)
{
    Bytes out = header(format, static_cast<int>(tracks.size()), division);
    for (const TrackBytes& t : tracks)
        append(out, t.chunk());
    return out;
}

} // namespace quillon::testing
