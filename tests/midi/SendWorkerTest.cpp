// The bounded wait behind driver sends: a stuck send is given up on in time.
#include "midi/io/SendWorker.h"

#include <gtest/gtest.h>

#include <future>

using namespace quillon::midi;
using namespace std::chrono_literals;

TEST(SendWorker, FinishedJobsSucceedAndAStuckOneIsGivenUpOn)
{
    SendWorker worker;
    int runs = 0;
    EXPECT_TRUE(worker.run([&] { ++runs; }, 1000ms));
    EXPECT_TRUE(worker.run([&] { ++runs; }, 1000ms));
    EXPECT_EQ(runs, 2);

    std::promise<void> release;
    auto released = release.get_future().share();
    // Returns while the job is still blocked: the caller is not held by it.
    EXPECT_FALSE(worker.run([released] { released.wait(); }, 50ms));
    // Still stuck: a further send fails at once instead of queueing behind it.
    EXPECT_FALSE(worker.run([&] { ++runs; }, 1000ms));
    EXPECT_EQ(runs, 2);

    release.set_value();
    bool again = false;
    for (int attempt = 0; attempt < 100 && !again; ++attempt) {
        again = worker.run([&] { ++runs; }, 1000ms);
        if (!again)
            std::this_thread::sleep_for(10ms);
    }
    EXPECT_TRUE(again);
    EXPECT_EQ(runs, 3);
}
