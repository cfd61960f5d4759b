#pragma once
// The keyboard's Note On replies, counted from whichever thread they arrive
// on; the measuring thread sleeps until the count it needs is reached.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>

namespace quillon::bench {

class ReplyCounter {
public:
    void add()
    {
        {
            std::lock_guard lock(m_mutex);
            ++m_count;
        }
        m_changed.notify_one();
    }

    // Waits until `count` replies have arrived in all; false after `timeout`.
    bool waitFor(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5))
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return m_count >= count; });
    }

    // Sends, then waits for one more reply than there were before.
    bool exchange(const std::function<void()>& send, std::chrono::milliseconds timeout = std::chrono::seconds(2))
    {
        std::size_t before = 0;
        {
            std::lock_guard lock(m_mutex);
            before = m_count;
        }
        send();
        return waitFor(before + 1, timeout);
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_count = 0;
};

} // namespace quillon::bench
