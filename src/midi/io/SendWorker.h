#pragma once
// Runs a blocking call (a driver's send) on a thread of its own so that the
// caller can give up after a deadline instead of hanging with it. Sleeps while
// waiting; no polling.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace quillon::midi {

class SendWorker {
public:
    SendWorker();
    ~SendWorker(); // waits for a call still running

    // True when job finished within timeout. After a timeout the worker stays
    // busy until that job ends, and further calls fail at once.
    bool run(std::function<void()> job, std::chrono::milliseconds timeout);

private:
    void loop(std::stop_token stop);

    std::mutex m_mutex;
    std::condition_variable_any m_changed;
    std::function<void()> m_job;
    bool m_busy = false;
    std::uint64_t m_finished = 0;
    std::jthread m_thread;
};

} // namespace quillon::midi
