// The velocity monitor fed from a real input: the built-in keyboard's input
// port, whose messages arrive on the keyboard's own thread. The keyboard
// answers every transfer message with a Note On of velocity 127, which is
// exactly the kind of key the monitor counts.
#include "curve/core/VelocityMonitor.h"
#include "midi/core/DeviceFrame.h"
#include "midi/io/MidiSystem.h"
#include "midi/io/VirtualKeyboard.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

using namespace quillon;
using namespace std::chrono_literals;

namespace {

// What the window does: the input thread hands each message over; the monitor is fed on one thread.
struct HandOver {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::uint32_t> messages;

    bool waitFor(std::size_t count)
    {
        std::unique_lock lock(mutex);
        return arrived.wait_for(lock, 3s, [&] { return messages.size() >= count; });
    }
};

TEST(VelocityMonitorInput, KeysFromTheBuiltInKeyboardsInputReachTheHistogram)
{
    std::vector<std::unique_ptr<midi::Backend>> backends;
    backends.push_back(std::make_unique<midi::VirtualKeyboard>());
    midi::MidiSystem system(std::move(backends));
    const auto port = midi::PortChoice::of({midi::VirtualKeyboard::kBackendName, midi::VirtualKeyboard::kPortName, 0});

    HandOver handOver;
    auto input = system.openInput(port, [&](std::uint32_t packed) {
        {
            std::lock_guard lock(handOver.mutex);
            handOver.messages.push_back(packed);
        }
        handOver.arrived.notify_one();
    });
    ASSERT_NE(input, nullptr);

    // Control messages open, close and open a transfer again: two ready replies
    // (Note On, note 54, velocity 127); closing is not answered.
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(system.sendOne(port, frame::buildTransferControl()), midi::SendResult::Sent);
    ASSERT_TRUE(handOver.waitFor(2));
    input->close();

    curve::VelocityMonitor monitor;
    std::lock_guard lock(handOver.mutex);
    for (const std::uint32_t packed : handOver.messages)
        EXPECT_TRUE(monitor.feed(packed));
    EXPECT_EQ(monitor.count(), 2u);
    EXPECT_EQ(monitor.histogram()[127], 2);
    EXPECT_EQ(monitor.lastVelocity(), 127);
    EXPECT_EQ(monitor.histogramBins(4).back(), 2);
}

} // namespace
