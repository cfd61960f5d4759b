// The ring that carries whole MIDI messages from the JACK input's real-time
// thread to its reader: a stream of pushes and pops against a plain queue.
// The first byte sets the ring's size; then a byte with the top bit clear
// pushes a message of that many bytes (times 3), one with it set pops.
//   - a push is refused exactly when the message and its length do not fit;
//   - every pop gives the oldest message still held, whole and unchanged;
//   - a pop from an empty ring gives nothing and leaves its target alone;
//   - the ring wraps any number of times without losing a byte.
#include "midi/core/MessageRing.h"

#include "FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

using quillon::midi::MessageRing;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    MessageRing ring(4 + std::size_t{data[0]} * 3);
    std::deque<std::vector<std::uint8_t>> held;
    std::size_t heldBytes = 0;
    std::uint8_t counter = 0;

    const auto popOne = [&] {
        std::vector<std::uint8_t> out{0xEE};
        const bool got = ring.pop(out);
        FUZZ_CHECK(got == !held.empty());
        if (!got) {
            FUZZ_CHECK(out == std::vector<std::uint8_t>{0xEE});
            return;
        }
        FUZZ_CHECK(out == held.front());
        heldBytes -= 4 + held.front().size();
        held.pop_front();
    };

    for (std::size_t i = 1; i < size; ++i) {
        if (data[i] & 0x80) {
            popOne();
            continue;
        }
        std::vector<std::uint8_t> message(std::size_t{data[i]} * 3);
        for (auto& b : message)
            b = counter++;
        const bool fits = heldBytes + 4 + message.size() <= ring.capacity();
        FUZZ_CHECK(ring.push(message) == fits);
        if (fits) {
            heldBytes += 4 + message.size();
            held.push_back(std::move(message));
        }
    }
    while (!held.empty())
        popOne();
    popOne(); // empty now
    return 0;
}
