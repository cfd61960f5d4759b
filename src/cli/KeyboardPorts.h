#pragma once
// quillon-keyboard's ports: NAME:in takes the SysEx messages, NAME-out:out
// sends the Note On replies. Whole messages reach an Inbox, which the main
// thread drains in arrival order.
#include "midi/core/DeviceFrame.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <span>
#include <string>

namespace quillon::keyboard_program {

using quillon::frame::Bytes;

// Messages from the input thread to the main thread, plus the stop request.
struct Inbox {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Bytes> messages;
    bool stop = false;

    void push(std::span<const std::uint8_t> message)
    {
        {
            std::lock_guard lock(mutex);
            messages.emplace_back(message.begin(), message.end());
        }
        changed.notify_one();
    }
};

// The keyboard's two ports: NAME:in takes SysEx, NAME-out:out sends the replies.
class KeyboardPorts {
public:
    virtual ~KeyboardPorts() = default;
    virtual void reply(std::span<const std::uint8_t> message) = 0;
    virtual void close() = 0;
    virtual std::uint64_t droppedMessages() const { return 0; }
};

// Each prints why on standard error and returns nullptr when the ports cannot be opened.
std::unique_ptr<KeyboardPorts> openJackPorts(const std::string& name, Inbox& inbox);
std::unique_ptr<KeyboardPorts> openAlsaPorts(const std::string& name, Inbox& inbox);

} // namespace quillon::keyboard_program
