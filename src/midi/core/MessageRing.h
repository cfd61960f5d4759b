#pragma once
// Whole MIDI messages handed from one thread to another through a fixed ring
// of bytes, each stored as its length (4 bytes) then its bytes. One thread
// pushes (the real-time one: no lock, no allocation), one thread pops. A
// message goes in whole or not at all, and comes out whole, in order; a ring
// too full for a message refuses it and keeps everything before it intact.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quillon::midi {

class MessageRing {
public:
    // Room for `capacity` bytes of lengths and messages together.
    explicit MessageRing(std::size_t capacity);

    // Producer side. False (nothing stored) when the message does not fit.
    bool push(std::span<const std::uint8_t> message);
    // Consumer side. False when no whole message is waiting; `message` then stays as it was.
    bool pop(std::vector<std::uint8_t>& message);

    std::size_t capacity() const { return m_bytes.size(); }

private:
    void copyIn(std::size_t at, const std::uint8_t* from, std::size_t count);
    void copyOut(std::size_t at, std::uint8_t* to, std::size_t count) const;

    std::vector<std::uint8_t> m_bytes;
    // Bytes ever written and ever read; their difference is what the ring holds.
    std::atomic<std::size_t> m_written{0};
    std::atomic<std::size_t> m_read{0};
};

} // namespace quillon::midi
