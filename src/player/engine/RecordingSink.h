#pragma once
// A sink that keeps every message with the clock time at which it arrived:
// for tests, benchmarks and the command line's dry runs. Thread-safe.
#include "player/engine/Clock.h"
#include "player/engine/OutputSink.h"

#include <mutex>
#include <vector>

namespace quillon::player {

struct RecordedMessage {
    Micros at;
    std::vector<std::uint8_t> bytes;
};

class RecordingSink final : public OutputSink {
public:
    explicit RecordingSink(Clock& clock) : m_clock(clock) {}

    void sendShort(std::uint8_t status, std::uint8_t data1, std::uint8_t data2) override;
    void sendSysEx(std::span<const std::uint8_t> bytes) override;

    std::vector<RecordedMessage> messages() const;
    std::vector<RecordedMessage> take(); // returns and forgets what was recorded
    void reserve(std::size_t count);

private:
    Clock& m_clock;
    mutable std::mutex m_mutex;
    std::vector<RecordedMessage> m_messages;
};

} // namespace quillon::player
