#include "midi/io/JackServerCalls.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace quillon::midi {

// Shared with the worker thread, which may outlive its owner when a call is stuck.
struct JackServerCalls::State {
    std::mutex mutex;
    std::condition_variable changed;
    std::function<void()> call;
    bool quit = false;
    bool stuck = false;
    std::uint64_t finished = 0;
    std::thread thread;
    std::timed_mutex oneCaller; // callers on several threads take turns

    static void loop(const std::shared_ptr<State>& state)
    {
        std::unique_lock lock(state->mutex);
        while (true) {
            state->changed.wait(lock, [&] { return state->quit || static_cast<bool>(state->call); });
            if (!state->call)
                return;
            auto call = std::move(state->call);
            state->call = nullptr;
            lock.unlock();
            call();
            lock.lock();
            ++state->finished;
            state->changed.notify_all();
        }
    }
};

JackServerCalls::JackServerCalls() : m_state(std::make_shared<State>())
{
    m_state->thread = std::thread([state = m_state] { State::loop(state); });
}

JackServerCalls::~JackServerCalls()
{
    bool stuck = false;
    {
        std::lock_guard lock(m_state->mutex);
        m_state->quit = true;
        stuck = m_state->stuck;
    }
    m_state->changed.notify_all();
    if (stuck)
        m_state->thread.detach(); // it ends, if ever, when the server lets go
    else
        m_state->thread.join();
}

bool JackServerCalls::run(std::function<void()> call, std::chrono::milliseconds timeout)
{
    std::unique_lock turn(m_state->oneCaller, timeout);
    if (!turn)
        return false; // another thread's call is taking long: the server may be stuck
    std::unique_lock lock(m_state->mutex);
    if (m_state->stuck)
        return false;
    const std::uint64_t ticket = m_state->finished + 1;
    m_state->call = std::move(call);
    m_state->changed.notify_all();
    if (m_state->changed.wait_for(lock, timeout, [&] { return m_state->finished >= ticket; }))
        return true;
    m_state->stuck = true;
    return false;
}

bool JackServerCalls::stuck() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->stuck;
}

} // namespace quillon::midi
