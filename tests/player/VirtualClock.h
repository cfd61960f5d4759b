#pragma once
// A clock for tests: time stands still until the test lets it run with
// runUntil(t); playing threads then see time jump straight to each deadline
// they wait for (up to t), so a song plays in virtual time with no real sleeps.
// runUntil returns only when every playing thread has done all it had to do
// until t and waits again (or has finished), so the test can look at results.
#include "player/engine/Clock.h"

#include <algorithm>
#include <list>

namespace quillon::testing {

class VirtualClock final : public player::Clock {
public:
    using Micros = player::Micros;

    Micros now() override
    {
        std::lock_guard lock(m_mutex);
        return m_now;
    }

    void waitUntil(std::unique_lock<std::mutex>& held, std::condition_variable& wake, Micros deadline) override
    {
        std::list<Waiter>::iterator me;
        {
            std::lock_guard lock(m_mutex);
            if (deadline <= m_limit) {
                m_now = std::max(m_now, deadline);
                return;
            }
            m_now = std::max(m_now, m_limit);
            me = m_waiters.insert(m_waiters.end(), Waiter{held.mutex(), &wake, m_limit});
            m_changed.notify_all();
        }
        // `held` stays locked until wait() releases it, so a notify from runUntil
        // (which takes that mutex first) cannot slip in before we wait.
        wake.wait(held);
        std::lock_guard lock(m_mutex);
        m_waiters.erase(me);
    }

    void threadStarting() override
    {
        std::lock_guard lock(m_mutex);
        ++m_active;
    }

    void threadFinished() override
    {
        std::lock_guard lock(m_mutex);
        --m_active;
        m_changed.notify_all();
    }

    void runUntil(Micros t)
    {
        std::vector<Waiter> parked;
        {
            std::lock_guard lock(m_mutex);
            m_limit = std::max(m_limit, t);
            parked.assign(m_waiters.begin(), m_waiters.end());
        }
        for (const Waiter& w : parked) {
            std::lock_guard lock(*w.mutex);
            w.wake->notify_all();
        }
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] {
            const auto settled = std::count_if(m_waiters.begin(), m_waiters.end(),
                                               [&](const Waiter& w) { return w.parkedAt == m_limit; });
            return settled == m_active;
        });
        m_now = std::max(m_now, t);
    }

    void runFor(Micros step) { runUntil(now() + step); }

private:
    struct Waiter {
        std::mutex* mutex;
        std::condition_variable* wake;
        Micros parkedAt; // the limit at the time it parked
    };

    std::mutex m_mutex;
    std::condition_variable m_changed;
    Micros m_now{0};
    Micros m_limit{0};
    int m_active = 0;
    std::list<Waiter> m_waiters;
};

} // namespace quillon::testing
