#pragma once
// Bounded sleeping waits on a POSIX semaphore, measured on the monotonic
// clock. The JACK process thread posts; program threads sleep here, never spin.
#include <cerrno>
#include <chrono>
#include <ctime>

#include <semaphore.h>

namespace quillon::midi {

inline timespec monotonicDeadline(std::chrono::milliseconds after)
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long ns = now.tv_nsec + (after.count() % 1000) * 1'000'000LL;
    timespec deadline{};
    deadline.tv_sec = now.tv_sec + after.count() / 1000 + ns / 1'000'000'000LL;
    deadline.tv_nsec = ns % 1'000'000'000LL;
    return deadline;
}

// Sleeps until the semaphore is posted (true) or the deadline passes (false).
inline bool waitUntil(sem_t& semaphore, const timespec& deadline)
{
    while (true) {
        if (sem_clockwait(&semaphore, CLOCK_MONOTONIC, &deadline) == 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

// Sleeps until the semaphore is posted; only a stop request ends the wait.
inline void waitForever(sem_t& semaphore)
{
    while (sem_wait(&semaphore) != 0 && errno == EINTR) {
    }
}

} // namespace quillon::midi
