#pragma once
// quillon-keyboard's ports: NAME:in takes the SysEx messages, NAME:out sends
// the Note On replies (on ALSA the replies come from a second client,
// NAME-out:out). Whole messages reach an Inbox, which the main thread drains
// in arrival order.
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
    std::string stopReason; // empty when asked to stop; else why the ports are of no more use

    void push(std::span<const std::uint8_t> message)
    {
        {
            std::lock_guard lock(mutex);
            messages.emplace_back(message.begin(), message.end());
        }
        changed.notify_one();
    }

    void requestStop(std::string reason = {})
    {
        {
            std::lock_guard lock(mutex);
            stop = true;
            if (stopReason.empty())
                stopReason = std::move(reason);
        }
        changed.notify_all();
    }
};

// The keyboard's two ports. The JACK ones stop the inbox with a reason when the server goes away.
class KeyboardPorts {
public:
    virtual ~KeyboardPorts() = default;
    virtual void reply(std::span<const std::uint8_t> message) = 0;
    virtual void close() = 0;
    virtual std::uint64_t droppedMessages() const { return 0; }
    virtual std::string inputName() const = 0;  // where the SysEx goes, as others list it
    virtual std::string outputName() const = 0; // where the replies come from, as others list it
};

// Each prints why on standard error and returns nullptr when the ports cannot be opened.
std::unique_ptr<KeyboardPorts> openJackPorts(const std::string& name, Inbox& inbox);
std::unique_ptr<KeyboardPorts> openAlsaPorts(const std::string& name, Inbox& inbox);

} // namespace quillon::keyboard_program
