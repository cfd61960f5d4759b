#pragma once
// SIGINT and SIGTERM taken by one thread with sigwait(), never by a handler,
// so that what a signal asks is done by ordinary code. Construct before any
// other thread starts: every thread started afterwards blocks them too. A
// signal the shell told this program to ignore (a background job) stays ignored.
#include <atomic>
#include <csignal>
#include <functional>
#include <thread>

#include <pthread.h>

namespace quillon::cli {

class StopSignals {
public:
    StopSignals()
    {
        sigemptyset(&m_signals);
        sigaddset(&m_signals, SIGINT);
        sigaddset(&m_signals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &m_signals, &m_previous);
    }
    // Ends the waiting thread (a signal of its own ends its sigwait()) and lets signals in again.
    ~StopSignals()
    {
        if (m_waiter.joinable()) {
            m_ending = true;
            pthread_kill(m_waiter.native_handle(), SIGTERM);
            m_waiter.join();
        }
        pthread_sigmask(SIG_SETMASK, &m_previous, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // `onSignal` runs once, on the waiting thread, with the signal's number.
    void start(std::function<void(int)> onSignal)
    {
        m_waiter = std::thread([this, onSignal = std::move(onSignal)] {
            int signal = 0;
            sigwait(&m_signals, &signal);
            if (!m_ending) {
                m_received = signal;
                onSignal(signal);
            }
        });
    }
    // The signal taken, 0 for none.
    int received() const { return m_received; }

private:
    sigset_t m_signals;
    sigset_t m_previous;
    std::atomic<bool> m_ending{false};
    std::atomic<int> m_received{0};
    std::thread m_waiter;
};

} // namespace quillon::cli
