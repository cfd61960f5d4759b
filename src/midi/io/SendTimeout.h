#pragma once
// How long one SysEx message may take to leave the program before the send
// is reported as failed: twice its time on a 31250-baud MIDI cable, and never
// less than a second (a JACK cycle or a busy sequencer can hold a message briefly).
#include <algorithm>
#include <chrono>
#include <cstddef>

namespace quillon::midi {

inline std::chrono::milliseconds sendTimeout(std::size_t messageLength)
{
    using namespace std::chrono_literals;
    // 10 bits per byte at 31250 baud = 320 us per byte; allow twice that.
    const auto wire = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::microseconds(640) *
                                                                            static_cast<long long>(messageLength));
    return std::max<std::chrono::milliseconds>(1000ms, wire);
}

} // namespace quillon::midi
