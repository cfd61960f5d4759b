#include "midi/io/SendWorker.h"

namespace quillon::midi {

SendWorker::SendWorker() : m_thread([this](std::stop_token stop) { loop(stop); }) {}

SendWorker::~SendWorker()
{
    m_thread.request_stop();
    m_changed.notify_all();
}

bool SendWorker::run(std::function<void()> job, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    if (m_busy)
        return false;
    m_job = std::move(job);
    m_busy = true;
    const std::uint64_t ticket = m_finished + 1;
    m_changed.notify_all();
    return m_changed.wait_for(lock, timeout, [&] { return m_finished >= ticket; });
}

void SendWorker::loop(std::stop_token stop)
{
    std::unique_lock lock(m_mutex);
    while (m_changed.wait(lock, stop, [this] { return static_cast<bool>(m_job); })) {
        auto job = std::move(m_job);
        m_job = nullptr;
        lock.unlock();
        job();
        lock.lock();
        m_busy = false;
        ++m_finished;
        m_changed.notify_all();
    }
}

} // namespace quillon::midi
