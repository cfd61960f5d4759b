#pragma once
// The time source of the sequencer's playing thread. The real clock is the
// steady clock and sleeps on a condition variable; tests hand in a virtual
// clock so that playback runs in virtual time and never sleeps for real.
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quillon::player {

using Micros = std::chrono::microseconds;

class Clock {
public:
    virtual ~Clock() = default;

    // Time since the clock's own epoch.
    virtual Micros now() = 0;

    // Called on a playing thread that holds `lock`: returns once now() has reached
    // `deadline` or when `wake` is notified (or spuriously). Callers re-check their state.
    virtual void waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake, Micros deadline) = 0;

    // A playing thread is about to start (called on the starting thread) / has finished
    // (called last on the playing thread). Lets a virtual clock know when all is quiet.
    virtual void threadStarting() {}
    virtual void threadFinished() {}
};

class SteadyClock final : public Clock {
public:
    SteadyClock() : m_epoch(std::chrono::steady_clock::now()) {}

    Micros now() override { return std::chrono::duration_cast<Micros>(std::chrono::steady_clock::now() - m_epoch); }

    void waitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake, Micros deadline) override
    {
        wake.wait_until(lock, m_epoch + deadline);
    }

private:
    std::chrono::steady_clock::time_point m_epoch;
};

} // namespace quillon::player
