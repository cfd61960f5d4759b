#pragma once
// Runs the JACK calls that wait for the server (connect, disconnect, port
// registration, deactivation, closing) on a thread of their own, each bounded
// by a deadline. A server that is stopped or stuck can otherwise hold the
// calling thread for minutes; once one call has run out of time the server is
// taken as stuck, every further call fails at once, and the worker thread is
// left behind (detached) instead of being waited for.
#include <chrono>
#include <functional>
#include <memory>

namespace quillon::midi {

class JackServerCalls {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{5000};

    JackServerCalls();
    ~JackServerCalls(); // never waits for a call that is stuck
    JackServerCalls(const JackServerCalls&) = delete;
    JackServerCalls& operator=(const JackServerCalls&) = delete;

    // True when the call finished in time. False, without running it, once a
    // call has been stuck, or when a call from another thread holds the
    // worker for all of `timeout`.
    bool run(std::function<void()> call, std::chrono::milliseconds timeout = kDefaultTimeout);
    bool stuck() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace quillon::midi
